// Parsing an E2P description file, loading it into the E2P area, and
// building the journal of the changed blocks.
#include "micro/fixture.h"

#include "e2p/access.h"
#include "e2p/e2p_file.h"
#include "e2p/e2p_load.h"
#include "e2p/journal.h"

#include <benchmark/benchmark.h>

namespace qvbench {
namespace {

const std::string &descriptionFile() {
    static const std::string path = [] {
        std::string p = scratchFile("params.e2p");
        writeText(p, e2pDescriptionText(10000, 5));
        return p;
    }();
    return path;
}

void BM_E2pParse10k(benchmark::State &st) {
    const std::string &path = descriptionFile();
    for (auto _ : st) {
        qv::CE2pFile f;
        f.Load(path, 0);
        if (f.GetObjCount() != 10000) st.SkipWithError("unexpected object count");
    }
    st.SetItemsProcessed(int64_t(st.iterations()) * 10000);
}
BENCHMARK(BM_E2pParse10k)->Unit(benchmark::kMillisecond);

void BM_E2pDownload10k(benchmark::State &st) {
    const std::string &path = descriptionFile();
    setUpFlashState(false);
    Bytes work = makeE2pBase(kE2pAreaBytes, 1024, 255, false);
    for (auto _ : st) {
        qv::fms_E2pSetImage(benchContext().e2p, work.data(), uint32_t(work.size()));
        if (qv::DownloadE2PFile4Nor(benchContext().e2p, path, work.data(), 0) != 0) st.SkipWithError("load failed");
    }
    st.SetItemsProcessed(int64_t(st.iterations()) * 10000);
}
BENCHMARK(BM_E2pDownload10k)->Unit(benchmark::kMillisecond);

// Journal of a 64 KiB area in which every 16-byte block below the record
// address limit differs from the base (the most records a journal takes).
void BM_E2pBuildJournal(benchmark::State &st) {
    setUpFlashState(st.range(0) != 0);
    Bytes base(kE2pAreaBytes, 0xFF), fresh(kE2pAreaBytes, 0xFF), out(kE2pAreaBytes, 0xFF);
    for (size_t i = 0; i < 0x4000; i += 16) fresh[i] = uint8_t(i >> 4);
    for (auto _ : st) {
        qv::E2pJournalBuild r = qv::fms_E2pBuildJournal(benchContext().e2p, {fresh.data(), uint32_t(fresh.size())},
                                                        {base.data(), uint32_t(base.size())},
                                                        {out.data(), uint32_t(out.size())});
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_E2pBuildJournal)->Arg(0)->Arg(1)->ArgName("interleaved");

} // namespace
} // namespace qvbench
