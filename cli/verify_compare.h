// Comparing the flash a release puts there with what a device holds, block by
// block: differing bytes gather into ranges, each in one part of the release,
// with the bits the device cleared that the release sets and those it set
// that the release clears. With the E2P partition compared by content, its
// bytes are kept and replayed at the end instead.
#pragma once

#include "cli/verify.h"
#include "cli/verify_parts.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace qvcli {

class Comparison {
public:
    Comparison(const ReleaseRecord &r, const FlashLayout &l, bool e2pContent);
    // `want` the release's bytes at [address, address + n), `got` the device's.
    void compare(uint64_t address, const uint8_t *want, const uint8_t *got, size_t n);
    // The differences found, as findings (the E2P content compared first).
    void finish(FlashContent &content, VerifyResult &v);

private:
    struct Range {
        uint64_t from = 0, last = 0, bytes = 0, cleared = 0, set = 0;
        std::vector<uint8_t> want, got; // the first differing bytes
        const ReleasePart *part = nullptr;
    };
    void compareBytes(uint64_t address, const uint8_t *want, const uint8_t *got, size_t n);
    void differ(uint64_t address, uint8_t want, uint8_t got);
    void close();
    void e2pContent(FlashContent &content, VerifyResult &v);

    const ReleaseRecord &record_;
    const FlashLayout &layout_;
    std::optional<ReleaseParts> parts_; // read at the first difference
    std::optional<Range> open_;
    std::vector<Range> ranges_;
    uint64_t moreRanges_ = 0;
    // The E2P partition by content: its image's range and what the device holds there.
    uint64_t e2pFrom_ = 0, e2pTo_ = 0, e2pSeen_ = 0;
    std::vector<uint8_t> e2pDevice_;
};

} // namespace qvcli
