#include "codeimage/gen_patch.h"

#include "codeimage/ad_write.h"
#include "base/bytes.h"
#include "codeimage/result_codes.h"
#include "base/log.h"

#include <cstring>
#include <memory>
#include <new>

namespace qv {
namespace {

constexpr const char *kName = "gen_patch";
constexpr int64_t kHeaderAt = 16;     // "PATC", L, versions
constexpr int64_t kDescriptorAt = 32; // descriptor area
constexpr int64_t kPatchBase = 16;    // patch offsets count from here
constexpr uint32_t kDescriptorHeader = 4;
constexpr int kWantedFixed = 254;

using Buffer = std::unique_ptr<uint8_t[]>;

Buffer allocate(uint32_t n) { return Buffer(new (std::nothrow) uint8_t[n ? n : 1]); }

// Reads the L bytes of the descriptor area, refusing an area that the file
// does not hold.
int readDescriptor(File &dsp, uint32_t length, int64_t fileLength, Buffer &desc) {
    if (kDescriptorAt + int64_t(length) > fileLength) return kErrDspDescriptorPastEnd;
    desc = allocate(length);
    if (!desc) return -87;
    if (!dsp.seek(kDescriptorAt) || dsp.read(desc.get(), length) < length) return kErrDspDescriptorPastEnd;
    if (length < kDescriptorHeader) return kErrDspDescriptorShort;
    return desc[0] == 1 ? 0 : -94;
}

// The chip version to look for, from the descriptor's flags.
int wantedId(const uint8_t *desc, uint32_t length, uint16_t chipId, uint16_t subId, int &wanted) {
    uint8_t flags = desc[2];
    if (flags & 2) {
        wanted = kWantedFixed;
    } else if (flags & 1) {
        uint32_t m = (kDescriptorHeader + kPatchEntrySize * desc[1] + 15) & ~15u;
        if (length < m + 16) return kErrDspIdMapOutside;
        wanted = dsp_find_chip_ver(desc + m, (length - m - 16) / kIdMapEntrySize, chipId, subId);
        if (wanted < 0) return -125;
    } else {
        wanted = chipId;
    }
    return 0;
}

// Index of the first patch entry for `wanted`, logging each entry looked at;
// -141 when none has it.
int findEntry(CodeState &ci, const uint8_t *desc, uint32_t length, int wanted, uint32_t &at) {
    unsigned count = desc[1];
    for (unsigned i = 0; i < count; ++i) {
        at = kDescriptorHeader + kPatchEntrySize * i;
        if (at + kPatchEntrySize > length) return kErrDspEntryOutside;
        logf(ci.io.log, kName, "patch %d chip ver = %d", int(i), int(desc[at]));
        if (desc[at] == wanted) {
            logf(ci.io.log, kName, "found id %d at patch %d", wanted, int(i));
            return 0;
        }
    }
    logf(ci.io.log, kName, "[dsp_parse_header] can't find id %d", wanted);
    return -141;
}

// Reads the patch data whole; a patch that the file does not hold is refused.
int readPatch(File &dsp, uint32_t offset, uint32_t size, int64_t fileLength, Buffer &data) {
    int64_t start = kPatchBase + int64_t(offset);
    if (start + int64_t(size) > fileLength) return kErrDspPatchPastEnd;
    data = allocate(size);
    if (!data) return kErrDspPatchNoMemory;
    if (!dsp.seek(start) || dsp.read(data.get(), size) < size) return kErrDspPatchPastEnd;
    return 0;
}

} // namespace

int dsp_find_chip_ver(const uint8_t *map, uint32_t count, uint16_t chipId, uint16_t subId) {
    for (uint32_t i = 0; i < count; ++i, map += kIdMapEntrySize) {
        uint16_t chipKey = le16(map);
        if ((chipKey == 0xFFFF || chipKey == chipId) && le16(map + 2) == subId) return le16(map + 4);
    }
    return -1;
}

int gen_patch(CodeState &ci, File &dsp, File &out, uint16_t chipId, uint16_t subId) {
    uint8_t head[12];
    size_t got = dsp.seek(kHeaderAt) ? dsp.read(head, sizeof head) : 0;
    if (got < sizeof head || std::memcmp(head, "PATC", 4) != 0) return -73;
    if (head[8] != 1) return -78;
    if (head[9] != 0x44) return -83;
    uint32_t length = le32(head + 4);
    int64_t fileLength = dsp.length();

    Buffer desc;
    int wanted = 0;
    uint32_t at = 0;
    if (int r = readDescriptor(dsp, length, fileLength, desc)) return r;
    if (int r = wantedId(desc.get(), length, chipId, subId, wanted)) return r;
    if (int r = findEntry(ci, desc.get(), length, wanted, at)) return r;

    uint32_t offset = le32(&desc[at + 1]);
    uint32_t size = le32(&desc[at + 5]);
    logValue(ci.io.log, kName, "patch_offset", offset);
    logValue(ci.io.log, kName, "patch_size", size);
    Buffer data;
    if (int r = readPatch(dsp, offset, size, fileLength, data)) return r;

    fms_adSetWriteAddr(ci, uint32_t(out.tell()));
    return fms_adWrite(ci, data.get(), size, fourcc("DSPP"), size, out);
}

} // namespace qv
