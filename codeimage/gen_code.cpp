#include "codeimage/gen_code.h"

#include "codeimage/bytes.h"
#include "driver/call_codes.h"
#include "driver/call_control.h"
#include "driver/page_block.h"

#include <algorithm>

namespace qv {

uint32_t xor_words(uint32_t seed, const void *words, uint32_t count) {
    const uint8_t *p = static_cast<const uint8_t *>(words);
    for (uint32_t i = 0; i < count; ++i, p += 4) seed ^= le32(p);
    return seed;
}

int gen_code(File &in, File &out, uint32_t &checksum) {
    if (!in.seek(kCodeHeaderSize)) return -34;
    // Room for the whole section is set aside first, and each block is read
    // at its offset and written past both streams' buffers: the copy then
    // costs little more than the kernel's own copy of the file.
    out.reserveTo(uint64_t(std::max<int64_t>(out.tell() + in.length() - kCodeHeaderSize, 0)));
    PageBlock block(kCodeBlockSize);
    LongLoop loop(uint64_t(std::max<int64_t>(in.length() - kCodeHeaderSize, 0)));
    uint32_t sum = 0;
    size_t n = 0;
    int64_t at = kCodeHeaderSize;
    do {
        // A read error ends the copy like the end of the file.
        n = in.readAt(block.data(), block.size(), at);
        at += int64_t(n);
        sum = xor_words(sum, block.data(), uint32_t(n / 4));
        if (out.writeThrough(block.data(), n) < n) return -41;
        if (!loop.advance(n)) return kErrCancelled;
    } while (n == kCodeBlockSize);
    checksum = sum;
    return 0;
}

} // namespace qv
