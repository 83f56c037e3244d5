#include "codeimage/ad_write.h"

#include "base/bytes.h"
#include "base/log.h"

namespace qv {
namespace {
constexpr const char *kName = "fms_adWrite";
}

void fms_adSetWriteAddr(CodeState &ci, uint32_t address) { ci.adWriteAddr = address; }

int fms_adWrite(CodeState &ci, const uint8_t *data, uint32_t len, uint32_t ident, uint32_t chunkSize, File &out) {
    uint32_t &writeAddr = ci.adWriteAddr;
    logValue(ci.io.log, kName, "AD_write_addr", writeAddr);
    uint32_t nextRec = writeAddr + ((len + 3) & ~3u) + kRecordHeaderSize;
    logValue(ci.io.log, kName, "next_rec", nextRec);

    uint8_t header[kRecordHeaderSize];
    putLe32(header, chunkSize == len ? nextRec - writeAddr : chunkSize + kRecordHeaderSize);
    putLe32(header + 4, len);
    putLe32(header + 8, ident);
    putLe32(header + 12, kRecordTail);
    out.write(header, sizeof header);
    out.write(data, len);

    // Pad against the real stream position, so that the record ends at
    // next_rec whenever the stream was not ahead of AD_write_addr.
    int32_t pos = int32_t(nextRec - uint32_t(out.tell()));
    logValue(ci.io.log, kName, "pos", uint32_t(pos));
    if (pos < 0) return -53;
    out.fill(0xFF, uint32_t(pos));
    writeAddr = nextRec;
    return 0;
}

} // namespace qv
