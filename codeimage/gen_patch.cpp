#include "codeimage/gen_patch.h"

#include "codeimage/ad_write.h"
#include "base/bytes.h"
#include "codeimage/copy_range.h"
#include "codeimage/result_codes.h"
#include "base/log.h"

#include <algorithm>
#include <cstring>

namespace qv {
namespace {

constexpr const char *kName = "gen_patch";
constexpr int64_t kHeaderAt = 16;     // "PATC", L, versions
constexpr int64_t kDescriptorAt = 32; // descriptor area
constexpr int64_t kPatchBase = 16;    // patch offsets count from here
constexpr uint32_t kDescriptorHeader = 4;
constexpr int kWantedFixed = 254;

// The part of the descriptor area held in memory: its 4-byte head and up to
// 255 patch entries, to the start of the id map that 255 entries would
// give. The id map is read from the file as it is searched, so a descriptor
// length taken from the file never decides an allocation.
constexpr uint32_t kDescriptorHeld = (kDescriptorHeader + kPatchEntrySize * 255 + 15) & ~15u;
constexpr uint32_t kIdMapBlock = 128; // id map entries read at a time

struct Descriptor {
    uint32_t length = 0; // L
    uint8_t head[kDescriptorHeld];
};

// Reads the head of the L-byte descriptor area, refusing an area that the
// file does not hold.
int readDescriptor(File &dsp, int64_t fileLength, Descriptor &desc) {
    if (kDescriptorAt + int64_t(desc.length) > fileLength) return kErrDspDescriptorPastEnd;
    const uint32_t held = std::min(desc.length, kDescriptorHeld);
    if (dsp.readAt(desc.head, held, kDescriptorAt) < held) return kErrDspDescriptorPastEnd;
    if (desc.length < kDescriptorHeader) return kErrDspDescriptorShort;
    return desc.head[0] == 1 ? 0 : kErrDspDescriptorVersion;
}

// Chip version of the first id map entry for (`chipId`, `subId`), the map
// read block by block from the file; kErrDspNoIdMatch when none matches,
// kErrDspDescriptorPastEnd when the file ends inside the map.
int findInIdMap(File &dsp, int64_t mapAt, uint32_t count, uint16_t chipId, uint16_t subId) {
    uint8_t block[kIdMapBlock * kIdMapEntrySize];
    for (uint32_t done = 0; done < count;) {
        const uint32_t n = std::min(count - done, kIdMapBlock);
        if (dsp.readAt(block, n * kIdMapEntrySize, mapAt + int64_t(done) * kIdMapEntrySize) < n * kIdMapEntrySize)
            return kErrDspDescriptorPastEnd;
        if (int v = dsp_find_chip_ver(block, n, chipId, subId); v >= 0) return v;
        done += n;
    }
    return kErrDspNoIdMatch;
}

// The chip version to look for, from the descriptor's flags.
int wantedId(File &dsp, const Descriptor &desc, uint16_t chipId, uint16_t subId, int &wanted) {
    uint8_t flags = desc.head[2];
    if (flags & 2) {
        wanted = kWantedFixed;
    } else if (flags & 1) {
        uint32_t m = (kDescriptorHeader + kPatchEntrySize * desc.head[1] + 15) & ~15u;
        if (desc.length < m + 16) return kErrDspIdMapOutside;
        wanted = findInIdMap(dsp, kDescriptorAt + m, (desc.length - m - 16) / kIdMapEntrySize, chipId, subId);
        if (wanted < 0) return wanted;
    } else {
        wanted = chipId;
    }
    return 0;
}

// Index of the first patch entry for `wanted`, logging each entry looked at;
// -141 when none has it.
int findEntry(MergeLog &log, const Descriptor &desc, int wanted, uint32_t &at) {
    unsigned count = desc.head[1];
    for (unsigned i = 0; i < count; ++i) {
        at = kDescriptorHeader + kPatchEntrySize * i;
        if (at + kPatchEntrySize > desc.length) return kErrDspEntryOutside;
        logf(log, kName, "patch %d chip ver = %d", int(i), int(desc.head[at]));
        if (desc.head[at] == wanted) {
            logf(log, kName, "found id %d at patch %d", wanted, int(i));
            return 0;
        }
    }
    logf(log, kName, "[dsp_parse_header] can't find id %d", wanted);
    return kErrDspNoEntry;
}

// The file's header and descriptor and the chip version wanted: the
// steps before the entries are looked at.
int readChoice(File &dsp, uint16_t chipId, uint16_t subId, Descriptor &desc, int &wanted) {
    uint8_t head[12];
    size_t got = dsp.seek(kHeaderAt) ? dsp.read(head, sizeof head) : 0;
    if (got < sizeof head || std::memcmp(head, "PATC", 4) != 0) return kErrDspMagic;
    if (head[8] != 1) return kErrDspVersion;
    if (head[9] != 0x44) return kErrDspKind;
    desc.length = le32(head + 4);
    if (int r = readDescriptor(dsp, dsp.length(), desc)) return r;
    return wantedId(dsp, desc, chipId, subId, wanted);
}

} // namespace

int dsp_find_chip_ver(const uint8_t *map, uint32_t count, uint16_t chipId, uint16_t subId) {
    for (uint32_t i = 0; i < count; ++i, map += kIdMapEntrySize) {
        uint16_t chipKey = le16(map);
        if ((chipKey == 0xFFFF || chipKey == chipId) && le16(map + 2) == subId) return le16(map + 4);
    }
    return -1;
}

int dspPatchChoice(File &dsp, uint16_t chipId, uint16_t subId, DspPatchChoice &c) {
    Descriptor desc;
    c = DspPatchChoice{};
    const int r = readChoice(dsp, chipId, subId, desc, c.wanted);
    if (r != 0 && r != kErrDspNoIdMatch) return r;
    if (r != 0) c.wanted = -1;
    for (unsigned i = 0; i < desc.head[1]; ++i) {
        const uint32_t at = kDescriptorHeader + kPatchEntrySize * i;
        if (at + kPatchEntrySize > desc.length) break;
        c.versions.push_back(desc.head[at]);
    }
    if (c.wanted < 0) return 0;
    MergeLog none; // gen_patch's walk, without its log lines
    uint32_t at = 0;
    const int e = findEntry(none, desc, c.wanted, at);
    c.found = e == 0;
    return e == kErrDspNoEntry ? 0 : e;
}

int gen_patch(CodeState &ci, File &dsp, File &out, uint16_t chipId, uint16_t subId) {
    Descriptor desc;
    int wanted = 0;
    uint32_t at = 0;
    if (int r = readChoice(dsp, chipId, subId, desc, wanted)) return r;
    if (int r = findEntry(ci.io.log, desc, wanted, at)) return r;
    const int64_t fileLength = dsp.length();

    uint32_t offset = le32(&desc.head[at + 1]);
    uint32_t size = le32(&desc.head[at + 5]);
    logValue(ci.io.log, kName, "patch_offset", offset);
    logValue(ci.io.log, kName, "patch_size", size);
    // The patch must lie in the file; it is copied into the record block by
    // block, and a read that falls short there cuts the record away again.
    const int64_t start = kPatchBase + int64_t(offset);
    if (start + int64_t(size) > fileLength) return kErrDspPatchPastEnd;

    fms_adSetWriteAddr(ci, uint32_t(out.tell()));
    return fms_adWrite(
        ci,
        [&](File &o) { return copyRange(ci.io.call, dsp, start, size, o) || o.failed() ? 0 : kErrDspPatchPastEnd; },
        size, kDspPatchIdent, size, out);
}

} // namespace qv
