// Deterministic content for the generated inputs. Code sections look like
// firmware to zlib: a mix of frequent instruction words, small constants,
// repeats of recent words, 0xFF padding runs and random words, so that a
// compressed code file deflates to roughly half its size and inflates at a
// realistic speed.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qvbench {

// xorshift64*: fast and reproducible.
class Rng {
public:
    explicit Rng(uint64_t seed) : s_(seed ? seed : 0x9E3779B97F4A7C15ull) {}
    uint64_t next() {
        s_ ^= s_ >> 12;
        s_ ^= s_ << 25;
        s_ ^= s_ >> 27;
        return s_ * 0x2545F4914F6CDD1Dull;
    }

private:
    uint64_t s_;
};

class FirmwareContent {
public:
    explicit FirmwareContent(uint64_t seed);
    // Fills `n` bytes (a multiple of 4) with the next words of the stream.
    void fill(uint8_t *dst, size_t n);

private:
    uint32_t nextWord();
    Rng rng_;
    uint32_t common_[64];
    uint32_t history_[256] = {};
    uint32_t pos_ = 0;
    uint32_t padLeft_ = 0;
};

// Fills `n` bytes with file-system-like sector content: text-ish and zero
// runs mixed with random bytes.
void fillSectorContent(Rng &rng, uint8_t *dst, size_t n);

} // namespace qvbench
