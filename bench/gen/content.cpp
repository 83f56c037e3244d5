#include "gen/content.h"

#include <cstring>

namespace qvbench {

FirmwareContent::FirmwareContent(uint64_t seed) : rng_(seed) {
    for (uint32_t &w : common_) w = uint32_t(rng_.next() >> 32);
}

uint32_t FirmwareContent::nextWord() {
    if (padLeft_ > 0) {
        --padLeft_;
        return 0xFFFFFFFF;
    }
    uint64_t r = rng_.next();
    uint32_t pick = uint32_t(r & 1023);
    uint32_t w;
    if (pick < 360) {
        w = common_[(r >> 10) & 63];
    } else if (pick < 600) {
        w = uint32_t(r >> 40) & 0x3FF;
    } else if (pick < 700) {
        w = history_[(pos_ - 1 - uint32_t((r >> 16) & 127)) & 255];
    } else if (pick < 701) {
        padLeft_ = uint32_t((r >> 20) & 511);
        w = 0xFFFFFFFF;
    } else {
        w = uint32_t(r >> 32);
    }
    history_[pos_++ & 255] = w;
    return w;
}

void FirmwareContent::fill(uint8_t *dst, size_t n) {
    for (size_t i = 0; i + 4 <= n; i += 4) {
        uint32_t w = nextWord();
        dst[i] = uint8_t(w);
        dst[i + 1] = uint8_t(w >> 8);
        dst[i + 2] = uint8_t(w >> 16);
        dst[i + 3] = uint8_t(w >> 24);
    }
}

void fillSectorContent(Rng &rng, uint8_t *dst, size_t n) {
    size_t i = 0;
    while (i < n) {
        uint64_t r = rng.next();
        size_t run = 8 + size_t((r >> 8) & 63);
        if (run > n - i) run = n - i;
        switch (r & 3) {
        case 0: std::memset(dst + i, 0, run); break;
        case 1:
            for (size_t k = 0; k < run; ++k) dst[i + k] = uint8_t('a' + (rng.next() >> 59) % 26);
            break;
        default:
            for (size_t k = 0; k < run; ++k) dst[i + k] = uint8_t(rng.next() >> 56);
            break;
        }
        i += run;
    }
}

} // namespace qvbench
