#include "codeimage/ad_write.h"

#include "base/bytes.h"
#include "base/log.h"
#include "codeimage/result_codes.h"

namespace qv {
namespace {

constexpr const char *kName = "fms_adWrite";

// Offset past a record of `len` data bytes written at `writeAddr`, without
// 32-bit wrap.
uint64_t recordEnd(uint32_t writeAddr, uint32_t len) {
    return uint64_t(writeAddr) + ((uint64_t(len) + 3) & ~uint64_t(3)) + kRecordHeaderSize;
}

} // namespace

void fms_adSetWriteAddr(CodeState &ci, uint32_t address) { ci.adWriteAddr = address; }

void fms_adSetWriteLimit(CodeState &ci, uint64_t limit) { ci.adWriteLimit = limit; }

int fms_adWrite(CodeState &ci, const RecordData &data, uint32_t len, uint32_t ident, uint32_t chunkSize, File &out) {
    uint32_t &writeAddr = ci.adWriteAddr;
    logValue(ci.io.log, kName, "AD_write_addr", writeAddr);
    const uint64_t end = recordEnd(writeAddr, len);
    const uint32_t nextRec = uint32_t(end);
    logValue(ci.io.log, kName, "next_rec", nextRec);
    if (end > ci.adWriteLimit) {
        logf(ci.io.log, kName, "next_rec %#llx passes the end of the image at %#llx",
             static_cast<unsigned long long>(end), static_cast<unsigned long long>(ci.adWriteLimit));
        ci.io.cause.explain("its record of %u data bytes at image offset 0x%x would end at 0x%llx, past the end of "
                            "the flash at 0x%llx", len, writeAddr, static_cast<unsigned long long>(end),
                            static_cast<unsigned long long>(ci.adWriteLimit));
        return kErrRecordPastFlash;
    }

    const int64_t start = out.tell();
    uint8_t header[kRecordHeaderSize];
    putLe32(header, chunkSize == len ? nextRec - writeAddr : chunkSize + kRecordHeaderSize);
    putLe32(header + 4, len);
    putLe32(header + 8, ident);
    putLe32(header + 12, kRecordTail);
    out.write(header, sizeof header);
    if (int r = data(out)) {
        out.truncate(start);
        return r;
    }

    // Pad against the real stream position, so that the record ends at
    // next_rec whenever the stream was not ahead of AD_write_addr.
    int32_t pos = int32_t(nextRec - uint32_t(out.tell()));
    logValue(ci.io.log, kName, "pos", uint32_t(pos));
    if (pos < 0) return kErrRecordRefused;
    out.fill(0xFF, uint32_t(pos));
    writeAddr = nextRec;
    return 0;
}

int fms_adWrite(CodeState &ci, const uint8_t *data, uint32_t len, uint32_t ident, uint32_t chunkSize, File &out) {
    return fms_adWrite(
        ci,
        [&](File &o) {
            o.write(data, len);
            return 0;
        },
        len, ident, chunkSize, out);
}

} // namespace qv
