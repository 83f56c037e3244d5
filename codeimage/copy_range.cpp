#include "codeimage/copy_range.h"

#include <algorithm>
#include <vector>

namespace qv {

bool copyRange(CallControl &call, File &in, int64_t at, uint64_t n, File &out) {
    constexpr uint64_t kBlock = uint64_t(1) << 17;
    std::vector<uint8_t> block(size_t(std::min(n, kBlock)));
    LongLoop loop(call, n);
    while (n > 0) {
        const size_t want = size_t(std::min<uint64_t>(n, block.size()));
        const size_t got = in.readAt(block.data(), want, at);
        if (got != want || out.write(block.data(), got) != got) return false;
        at += int64_t(got);
        n -= got;
        if (!loop.advance(got)) return false;
    }
    return true;
}

} // namespace qv
