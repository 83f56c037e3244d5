#include "codeimage/gen_code.h"

#include "base/bytes.h"
#include "base/results.h"
#include "base/page_block.h"
#include "codeimage/result_codes.h"

#include <algorithm>

namespace qv {

uint32_t xor_words(uint32_t seed, const void *words, uint32_t count) {
    const uint8_t *p = static_cast<const uint8_t *>(words);
    for (uint32_t i = 0; i < count; ++i, p += 4) seed ^= le32(p);
    return seed;
}

int gen_code(CallControl &call, File &in, File &out, uint32_t &checksum, uint64_t limit) {
    if (!in.seek(kCodeHeaderSize)) return kErrCodeSeek;
    if (int64_t length = in.length() - kCodeHeaderSize; length > 0 && uint64_t(length) > limit)
        return kErrCodeTooLarge;
    // Room for the whole section is set aside first, and each block is read
    // at its offset and written past both streams' buffers: the copy then
    // costs little more than the kernel's own copy of the file.
    out.reserveTo(uint64_t(std::max<int64_t>(out.tell() + in.length() - kCodeHeaderSize, 0)));
    PageBlock block(kCodeBlockSize);
    LongLoop loop(call, uint64_t(std::max<int64_t>(in.length() - kCodeHeaderSize, 0)));
    uint32_t sum = 0;
    size_t n = 0;
    int64_t at = kCodeHeaderSize;
    do {
        // A read error ends the copy like the end of the file.
        n = in.readAt(block.data(), block.size(), at);
        if (uint64_t(at - kCodeHeaderSize) + n > limit) return kErrCodeGrewPastFlash;
        at += int64_t(n);
        sum = xor_words(sum, block.data(), uint32_t(n / 4));
        if (out.writeThrough(block.data(), n) < n) return kErrCodeWrite;
        if (!loop.advance(n)) return kErrCancelled;
    } while (n == kCodeBlockSize);
    checksum = sum;
    return 0;
}

} // namespace qv
