// RAI item writes: filling a 32 MiB RAI area with 512-byte items through
// fms_rai_write (hash look-up, space check, three image writes, hash put),
// and writing the finished image out.
#include "micro/fixture.h"

#include "entry/context.h"
#include "rai/image_buffer.h"
#include "rai/partition_map.h"
#include "rai/download.h"
#include "rai/hash.h"
#include "rai/launch.h"
#include "rai/store.h"

#include <benchmark/benchmark.h>

namespace qvbench {
namespace {

struct Area {
    uint32_t base = 0, length = 0, items = 0;
};

// Places the RAI area and launches the store over it, as the merge does.
Area launch(bool interleaved) {
    setUpFlashState(interleaved);
    benchContext().rai.clear();
    Area a;
    if (qv::fms_MapOutMemoryExt(benchContext().rai, a.base, a.length) != 0 ||
        qv::fms_MapLaunchService(benchContext().rai, a.base, a.length) != 0)
        return a;
    a.items = raiItemCapacity(a.length / kSector, kSector, interleaved, 255 * 256);
    return a;
}

const Bytes &sectors() {
    static const Bytes s = fatStream(0, 1024, 21);
    return s;
}

void BM_RaiFillArea(benchmark::State &st) {
    bool interleaved = st.range(0) != 0;
    const Bytes &data = sectors();
    uint64_t items = 0;
    for (auto _ : st) {
        st.PauseTiming();
        Area a = launch(interleaved);
        if (a.items == 0) st.SkipWithError("launch failed");
        st.ResumeTiming();
        for (uint32_t i = 0; i < a.items; ++i) {
            const uint8_t *rec = data.data() + size_t(i % 1024) * 516;
            if (qv::fms_rai_write(benchContext().rai, qv::kUserFatIdBase + i, 512, rec + 4) != 0) {
                st.SkipWithError("item refused");
                break;
            }
        }
        items += a.items;
    }
    st.SetItemsProcessed(int64_t(items));
    st.SetBytesProcessed(int64_t(items) * 512);
}
BENCHMARK(BM_RaiFillArea)->Arg(0)->Arg(1)->ArgName("interleaved")->Unit(benchmark::kMillisecond);

// Look-ups of stored identifiers in a full table: each probe reads the key
// back from the image.
void BM_RaiHashGet(benchmark::State &st) {
    Area a = launch(false);
    const Bytes &data = sectors();
    for (uint32_t i = 0; i < a.items; ++i)
        qv::fms_rai_write(benchContext().rai, qv::kUserFatIdBase + i, 512, data.data() + 4);
    uint32_t i = 0;
    for (auto _ : st) {
        benchmark::DoNotOptimize(qv::frai_hash_get(benchContext().rai, qv::kUserFatIdBase + i));
        if (++i == a.items) i = 0;
    }
    st.SetItemsProcessed(int64_t(st.iterations()));
}
BENCHMARK(BM_RaiHashGet);

// Writing a full image out to a file in large blocks.
void BM_RaiImageSave(benchmark::State &st) {
    Area a = launch(false);
    const Bytes &data = sectors();
    for (uint32_t i = 0; i < a.items; ++i)
        qv::fms_rai_write(benchContext().rai, qv::kUserFatIdBase + i, 512, data.data() + 4);
    std::string path = scratchFile("rai.img");
    for (auto _ : st) {
        qv::File out(path, "wb");
        if (!qv::imageSave(benchContext().rai.image, out) || !out.close()) st.SkipWithError("save failed");
        st.PauseTiming();
        qv::removeFile(path);
        st.ResumeTiming();
    }
    st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(a.length));
}
BENCHMARK(BM_RaiImageSave)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace qvbench
