// The code section copy with its XOR checksum, and the expansion of a
// compressed input.
#include "micro/fixture.h"

#include "codeimage/gen_code.h"
#include "input/dewpb.h"
#include "gen/content.h"

#include <benchmark/benchmark.h>

namespace qvbench {
namespace {

constexpr uint64_t kSection = uint64_t(64) << 20;

const std::string &codeFile() {
    static const std::string path = [] {
        std::string p = scratchFile("code.bin");
        writeCodeFiles(p, scratchFile("code.wpb"), kSection, -1, 1);
        return p;
    }();
    return path;
}

void BM_XorWords(benchmark::State &st) {
    Bytes block(qv::kCodeBlockSize);
    FirmwareContent(3).fill(block.data(), block.size());
    for (auto _ : st) benchmark::DoNotOptimize(qv::xor_words(0, block.data(), uint32_t(block.size() / 4)));
    st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(block.size()));
}
BENCHMARK(BM_XorWords);

// Copies a 64 MiB code section (from the page cache) to /dev/null: the cost
// of the copy loop and the checksum without the disk.
void BM_GenCodeToNull(benchmark::State &st) {
    const std::string &path = codeFile();
    for (auto _ : st) {
        qv::File in(path, "rb"), out("/dev/null", "wb");
        uint32_t sum = 0;
        if (qv::gen_code(benchContext().io.call, in, out, sum) != 0) st.SkipWithError("gen_code failed");
        benchmark::DoNotOptimize(sum);
    }
    st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(kSection));
}
BENCHMARK(BM_GenCodeToNull)->Unit(benchmark::kMillisecond);

// The same copy into a real file.
void BM_GenCodeToFile(benchmark::State &st) {
    const std::string &path = codeFile();
    std::string outPath = scratchFile("code.out");
    for (auto _ : st) {
        qv::File in(path, "rb"), out(outPath, "wb");
        uint32_t sum = 0;
        if (qv::gen_code(benchContext().io.call, in, out, sum) != 0 || !out.close()) st.SkipWithError("gen_code failed");
        st.PauseTiming();
        qv::removeFile(outPath);
        st.ResumeTiming();
    }
    st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(kSection));
}
BENCHMARK(BM_GenCodeToFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// deWpb of the compressed 64 MiB section to /dev/null (bytes = expanded).
void BM_DeWpbToNull(benchmark::State &st) {
    codeFile();
    std::string wpb = scratchFile("code.wpb");
    for (auto _ : st) {
        qv::File in(wpb, "rb"), out("/dev/null", "wb");
        if (qv::deWpb(benchContext().io, in, out) != 0) st.SkipWithError("deWpb failed");
    }
    st.SetBytesProcessed(int64_t(st.iterations()) * int64_t(kSection));
}
BENCHMARK(BM_DeWpbToNull)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace qvbench
