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

// Why the 16 header bytes at offset 16 are refused.
int headerFault(Cause &why, int code, const uint8_t *head, size_t got, int64_t fileLength) {
    if (code == kErrDspMagic && got < 12)
        why.explain("the file ends at %lld, inside the header at offset 0x10", static_cast<long long>(fileLength));
    else if (code == kErrDspMagic)
        why.explain("expected \"PATC\" at offset 0x10, found %02x %02x %02x %02x", head[0], head[1], head[2], head[3]);
    else if (code == kErrDspVersion)
        why.explain("header version at offset 0x18 is %u, expected 1", head[8]);
    else
        why.explain("byte at offset 0x19 is 0x%02x, expected 0x44 ('D')", head[9]);
    return code;
}

// Reads the head of the L-byte descriptor area, refusing an area that the
// file does not hold.
int readDescriptor(Cause &why, File &dsp, int64_t fileLength, Descriptor &desc) {
    const unsigned length = desc.length;
    const long long end = fileLength;
    if (kDescriptorAt + int64_t(desc.length) > fileLength) {
        why.explain("the descriptor at offset 0x20 claims %u bytes (length at offset 0x14), the file ends at %lld",
                    length, end);
        return kErrDspDescriptorPastEnd;
    }
    const uint32_t held = std::min(desc.length, kDescriptorHeld);
    if (dsp.readAt(desc.head, held, kDescriptorAt) < held) {
        why.explain("the descriptor at offset 0x20 cannot be read: %s", systemReason().c_str());
        return kErrDspDescriptorPastEnd;
    }
    if (desc.length < kDescriptorHeader) {
        why.explain("the descriptor length at offset 0x14 is %u, below the 4 bytes of its version, count and flags",
                    length);
        return kErrDspDescriptorShort;
    }
    if (desc.head[0] == 1) return 0;
    why.explain("descriptor version at offset 0x20 is %u, expected 1", desc.head[0]);
    return kErrDspDescriptorVersion;
}

// Up to `most` entries of the id map as "chip 0x.. sub 0x.. -> 0x..", for a
// cause; "" when the map cannot be read.
std::string idMapText(File &dsp, int64_t mapAt, uint32_t count, uint32_t most = 4) {
    std::string text;
    for (uint32_t i = 0; i < count && i < most; ++i) {
        uint8_t e[6];
        if (dsp.readAt(e, sizeof e, mapAt + int64_t(i) * kIdMapEntrySize) < sizeof e) break;
        text += strprintf("%schip 0x%x sub 0x%x -> 0x%x", i ? ", " : "", le16(e), le16(e + 2), le16(e + 4));
    }
    if (count > most) text += strprintf(" and %u more", count - most);
    return text;
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

// Why the id map gave no chip version.
int idMapFault(Cause &why, int code, File &dsp, int64_t mapAt, uint32_t count, uint16_t chipId, uint16_t subId) {
    const unsigned long long at = mapAt;
    if (code == kErrDspDescriptorPastEnd)
        why.explain("the id map of %u entries at offset 0x%llx runs past the file's end at %lld", count, at,
                    static_cast<long long>(dsp.length()));
    else
        why.explain("the id map (%u entries at offset 0x%llx) has no entry for the flash description's chip id 0x%x "
                    "(chipId, low 4 bits) and sub id 0x%x; it holds %s", count, at, chipId, subId,
                    count ? idMapText(dsp, mapAt, count).c_str() : "none");
    return code;
}

// The chip version to look for, from the descriptor's flags; `source` says
// where it came from, for a cause.
int wantedId(Cause &why, File &dsp, const Descriptor &desc, uint16_t chipId, uint16_t subId, int &wanted,
             std::string &source) {
    uint8_t flags = desc.head[2];
    if (flags & 2) {
        wanted = kWantedFixed;
        source = strprintf("the descriptor's flags 0x%02x ask for 0x%x", flags, wanted);
    } else if (flags & 1) {
        uint32_t m = (kDescriptorHeader + kPatchEntrySize * desc.head[1] + 15) & ~15u;
        if (desc.length < m + 16) {
            why.explain("its flags 0x%02x use the id map, which would begin at offset 0x%llx after %u patch entries, "
                        "but the %u-byte descriptor leaves no room for it", flags,
                        static_cast<unsigned long long>(kDescriptorAt + m), desc.head[1], desc.length);
            return kErrDspIdMapOutside;
        }
        const uint32_t count = (desc.length - m - 16) / kIdMapEntrySize;
        wanted = findInIdMap(dsp, kDescriptorAt + m, count, chipId, subId);
        if (wanted < 0) return idMapFault(why, wanted, dsp, kDescriptorAt + m, count, chipId, subId);
        source = strprintf("its id map gives 0x%x for the flash description's chip id 0x%x and sub id 0x%x", wanted,
                           chipId, subId);
    } else {
        wanted = chipId;
        source = strprintf("the flash description asks for 0x%x (chipId, low 4 bits)", wanted);
    }
    return 0;
}

// The chip versions of the patch entries, for a cause: "0x12, 0x13".
std::string chipVersions(const Descriptor &desc) {
    std::string text;
    for (unsigned i = 0; i < desc.head[1]; ++i)
        text += strprintf("%s0x%x", i ? ", " : "", desc.head[kDescriptorHeader + kPatchEntrySize * i]);
    return text;
}

// Index of the first patch entry for `wanted`, logging each entry looked at;
// -141 when none has it.
int findEntry(MergeLog &log, Cause &why, const Descriptor &desc, int wanted, const std::string &source,
              uint32_t &at) {
    unsigned count = desc.head[1];
    for (unsigned i = 0; i < count; ++i) {
        at = kDescriptorHeader + kPatchEntrySize * i;
        if (at + kPatchEntrySize > desc.length) {
            why.explain("patch entry %u at offset 0x%llx ends past the %u-byte descriptor (it counts %u entries)", i,
                        static_cast<unsigned long long>(kDescriptorAt + at), desc.length, count);
            return kErrDspEntryOutside;
        }
        logf(log, kName, "patch %d chip ver = %d", int(i), int(desc.head[at]));
        if (desc.head[at] == wanted) {
            logf(log, kName, "found id %d at patch %d", wanted, int(i));
            return 0;
        }
    }
    logf(log, kName, "[dsp_parse_header] can't find id %d", wanted);
    if (count == 0) why.explain("holds no patch (entry count 0 at offset 0x21); %s", source.c_str());
    else why.explain("is built for chip version%s %s; %s", count == 1 ? "" : "s", chipVersions(desc).c_str(),
                     source.c_str());
    return kErrDspNoEntry;
}

// The file's header and descriptor and the chip version wanted: the
// steps before the entries are looked at.
int readChoice(Cause &why, File &dsp, uint16_t chipId, uint16_t subId, Descriptor &desc, int &wanted,
               std::string &source) {
    uint8_t head[12];
    size_t got = dsp.seek(kHeaderAt) ? dsp.read(head, sizeof head) : 0;
    const int64_t fileLength = dsp.length();
    if (got < sizeof head || std::memcmp(head, "PATC", 4) != 0)
        return headerFault(why, kErrDspMagic, head, got, fileLength);
    if (head[8] != 1) return headerFault(why, kErrDspVersion, head, got, fileLength);
    if (head[9] != 0x44) return headerFault(why, kErrDspKind, head, got, fileLength);
    desc.length = le32(head + 4);
    if (int r = readDescriptor(why, dsp, fileLength, desc)) return r;
    return wantedId(why, dsp, desc, chipId, subId, wanted, source);
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
    Cause ignored; // the strict check words its own refusal
    std::string source;
    const int r = readChoice(ignored, dsp, chipId, subId, desc, c.wanted, source);
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
    const int e = findEntry(none, ignored, desc, c.wanted, source, at);
    c.found = e == 0;
    return e == kErrDspNoEntry ? 0 : e;
}

int gen_patch(CodeState &ci, File &dsp, File &out, uint16_t chipId, uint16_t subId) {
    Cause &why = ci.io.cause;
    Descriptor desc;
    int wanted = 0;
    uint32_t at = 0;
    std::string source;
    if (int r = readChoice(why, dsp, chipId, subId, desc, wanted, source)) return r;
    if (int r = findEntry(ci.io.log, why, desc, wanted, source, at)) return r;
    const int64_t fileLength = dsp.length();

    uint32_t offset = le32(&desc.head[at + 1]);
    uint32_t size = le32(&desc.head[at + 5]);
    logValue(ci.io.log, kName, "patch_offset", offset);
    logValue(ci.io.log, kName, "patch_size", size);
    // The patch must lie in the file; it is copied into the record block by
    // block, and a read that falls short there cuts the record away again.
    const int64_t start = kPatchBase + int64_t(offset);
    const unsigned entry = (at - kDescriptorHeader) / kPatchEntrySize;
    if (start + int64_t(size) > fileLength) {
        why.explain("patch %u claims %u bytes at offset 0x%llx (0x10 + its offset), the file ends at %lld", entry, size,
                    static_cast<unsigned long long>(start), static_cast<long long>(fileLength));
        return kErrDspPatchPastEnd;
    }

    fms_adSetWriteAddr(ci, uint32_t(out.tell()));
    return fms_adWrite(
        ci,
        [&](File &o) {
            if (copyRange(ci.io.call, dsp, start, size, o) || o.failed()) return 0;
            if (!cancelRequested(ci.io.call))
                why.explain("patch %u (%u bytes at offset 0x%llx) could not be read whole: the file is %lld bytes now",
                            entry, size, static_cast<unsigned long long>(start), static_cast<long long>(dsp.length()));
            return kErrDspPatchPastEnd;
        },
        size, kDspPatchIdent, size, out);
}

} // namespace qv
