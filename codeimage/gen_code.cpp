#include "codeimage/gen_code.h"

#include "codeimage/bytes.h"

#include <vector>

namespace qv {

uint32_t xor_words(uint32_t seed, const void *words, uint32_t count) {
    const uint8_t *p = static_cast<const uint8_t *>(words);
    for (uint32_t i = 0; i < count; ++i, p += 4) seed ^= le32(p);
    return seed;
}

int gen_code(File &in, File &out, uint32_t &checksum) {
    if (!in.seek(kCodeHeaderSize)) return -34;
    std::vector<uint8_t> block(kCodeBlockSize);
    uint32_t sum = 0;
    size_t n = 0;
    do {
        // A read error ends the copy like the end of the file.
        n = in.read(block.data(), block.size());
        if (out.write(block.data(), n) < n) return -41;
        sum = xor_words(sum, block.data(), uint32_t(n / 4));
    } while (n == kCodeBlockSize);
    checksum = sum;
    return 0;
}

} // namespace qv
