// The two version words of a code file: FMS_FLASH_VELMORINE_VERSION_ADDR1 at
// offset 0x1094 and FMS_FLASH_VELMORINE_VERSION_ADDR at 0x10A0. They are read
// from a code file, or caught from the bytes of a compressed one as its
// expansion streams past (at their offsets in the expanded form, behind the
// 16 bytes that stand for the header). A file that holds a word only partly
// replaces only the bytes it holds.
#pragma once

#include "base/file.h"

#include <cstddef>
#include <cstdint>

namespace qv {

inline constexpr int64_t kVersionAddr1At = 0x1094;
inline constexpr int64_t kVersionAddrAt = 0x10A0;

class VersionWords {
public:
    // Offers the n bytes at code-file offset `pos`; offers come in file order.
    void watch(int64_t pos, const uint8_t *bytes, size_t n);
    // Reads both words from the code file.
    void read(File &code);
    // Replaces the bytes of the two words that the file held.
    void store(uint32_t &addr1, uint32_t &addr) const;

private:
    struct Word {
        int64_t at;
        uint8_t bytes[4] = {};
        size_t seen = 0; // bytes [at, at + seen) were offered
        void watch(int64_t pos, const uint8_t *p, size_t n);
        void store(uint32_t &word) const;
    };
    Word addr1_{kVersionAddr1At};
    Word addr_{kVersionAddrAt};
};

} // namespace qv
