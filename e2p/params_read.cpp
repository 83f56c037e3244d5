#include "e2p/params_read.h"

#include "base/text_format.h"
#include "e2p/access.h"
#include "e2p/e2p_load.h"
#include "e2p/image_reader.h"
#include "e2p/journal.h"

#include <algorithm>
#include <set>

namespace qv {
namespace {

constexpr int32_t kNoOwner = -1;

std::string baseName(const std::string &path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string label(const E2pParam &p) { return p.name + " (" + baseName(p.file) + ")"; }

uint64_t streamLength(const E2pFileObjTag &obj) {
    uint64_t n = 0;
    for (const E2pFileObjValueTag &v : obj.values) n += e2pValueLength(v);
    return n;
}

// The loader's verdict on one object; false when the load ends at it.
bool judge(E2pState &area, const E2pFileObjTag &obj, E2pParam &p, std::string &refusal) {
    if (!E2pRecordBuilder::fits(obj.size, streamLength(obj), kE2pRecordBuffer)) {
        refusal = strprintf("its record of %d bytes does not fit the loader's buffer of %zu bytes", obj.size,
                            kE2pRecordBuffer);
        return false;
    }
    const auto offset = e2pObjectOffset(obj.address);
    if (!offset) {
        refusal = strprintf("the load refuses its address %d", obj.address);
        return false;
    }
    p.offset = *offset;
    std::vector<uint8_t> probe(uint16_t(obj.size));
    p.written = fms_E2pRead(area, p.offset, uint32_t(probe.size()), probe.data()) == 0;
    if (!p.written) p.notWritten = strprintf("bytes %u to %u pass the end of the E2P area", p.offset,
                                             p.offset + uint32_t(probe.size()) - 1);
    return true;
}

// Marks the bytes each written object wrote with its index, the later
// object taking them over.
std::vector<int32_t> owners(const std::vector<E2pParam> &params, uint32_t logical) {
    std::vector<int32_t> owner(logical, kNoOwner);
    for (size_t i = 0; i < params.size(); ++i) {
        if (!params[i].written) continue;
        const uint32_t end = std::min<uint32_t>(logical, params[i].offset + uint16_t(params[i].size));
        for (uint32_t x = params[i].offset; x < end; ++x) owner[x] = int32_t(i);
    }
    return owner;
}

// Leaves out the objects that later ones wrote over entirely and notes the
// partly overwritten ones.
void resolveOverlaps(E2pParamTable &t, uint32_t logical) {
    const std::vector<int32_t> owner = owners(t.params, logical);
    std::vector<bool> keep(t.params.size(), true);
    for (size_t i = 0; i < t.params.size(); ++i) {
        E2pParam &p = t.params[i];
        if (!p.written || p.size == 0) continue;
        const uint32_t end = std::min<uint32_t>(logical, p.offset + uint16_t(p.size));
        std::set<int32_t> over;
        bool kept = false;
        for (uint32_t x = p.offset; x < end; ++x) {
            if (owner[x] == int32_t(i)) kept = true;
            else over.insert(owner[x]);
        }
        for (int32_t o : over) {
            if (kept) p.overwrittenBy.push_back(label(t.params[size_t(o)]));
            else t.params[size_t(o)].replaces.push_back(label(p));
        }
        keep[i] = kept;
    }
    std::vector<E2pParam> listed;
    for (size_t i = 0; i < t.params.size(); ++i)
        if (keep[i]) listed.push_back(std::move(t.params[i]));
    t.params = std::move(listed);
    t.covered.assign(logical, 0);
    for (uint32_t x = 0; x < logical; ++x) t.covered[x] = owner[x] != kNoOwner;
}

int64_t decodeNumber(const uint8_t *b, size_t n, bool isSigned) {
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) v |= uint64_t(b[i]) << (8 * i);
    if (isSigned && n > 0 && (b[n - 1] & 0x80)) v |= ~uint64_t(0) << (8 * n);
    return int64_t(v);
}

bool signedType(int32_t type) { return type == kE2pS8 || type == kE2pS16 || type == kE2pS32; }

// A numeric value whose every bit in its width is set: what a placeholder writes.
bool holdsAllOnes(const E2pParamValue &v) {
    E2pFileObjValueTag t;
    t.type = v.type;
    const uint64_t mask = (uint64_t(1) << (8 * e2pValueLength(t))) - 1;
    return (uint64_t(v.number) & mask) == mask;
}

} // namespace

E2pParamTable readE2pParams(E2pState &area, const std::vector<std::string> &files) {
    E2pParamTable t;
    const uint32_t logical = std::min(area.e2pAreaSize, e2pLogicalBytes(area.flash, area.e2pImageSize));
    for (const std::string &path : files) {
        CE2pFile file;
        std::string error;
        if (file.Load(path, 0, &error) < 0) {
            t.problems.push_back(error);
            break;
        }
        std::string refusal;
        for (const E2pFileObjTag &obj : file.Objects()) {
            E2pParam p{obj.name, path, obj.address, obj.size, 0, false, "", obj.values, {}, {}};
            if (!judge(area, obj, p, refusal)) {
                t.problems.push_back(strprintf("%s: object %s: %s; the merge's load ends there", path.c_str(),
                                               obj.name.c_str(), refusal.c_str()));
                break;
            }
            t.params.push_back(std::move(p));
        }
        if (!refusal.empty()) break;
    }
    resolveOverlaps(t, logical);
    return t;
}

E2pParamNow readE2pParam(E2pState &image, const E2pParam &p) {
    E2pParamNow now;
    if (p.written) {
        now.bytes.resize(uint16_t(p.size));
        if (fms_E2pRead(image, p.offset, uint32_t(now.bytes.size()), now.bytes.data()) != 0) now.bytes.clear();
    }
    size_t at = 0;
    for (const E2pFileObjValueTag &d : p.declared) {
        E2pParamValue v{d.type, d.typeName, d.placeholder, false, 0, ""};
        const size_t n = e2pValueLength(d);
        v.stored = !now.bytes.empty() && at + n <= now.bytes.size();
        if (v.stored && d.type == kE2pAscii) v.text.assign(now.bytes.begin() + long(at), now.bytes.begin() + long(at + n));
        else if (v.stored) v.number = decodeNumber(now.bytes.data() + at, n, signedType(d.type));
        at += n;
        now.values.push_back(std::move(v));
    }
    return now;
}

std::string e2pValueText(const E2pParamValue &v) {
    if (!v.stored) return "(not stored)";
    if (v.type == kE2pAscii) {
        std::string out = "\"";
        for (unsigned char c : v.text) out += c >= 0x20 && c < 0x7F && c != '"' && c != '\\' ? std::string(1, char(c))
                                                                                            : strprintf("\\x%02x", c);
        return out + "\"";
    }
    if (v.placeholder && holdsAllOnes(v))
        return "%p";
    return std::to_string(v.number);
}

std::string e2pValuesText(const E2pParamNow &now) {
    std::string out;
    for (const E2pParamValue &v : now.values) out += (out.empty() ? "" : ", ") + e2pValueText(v);
    return out;
}

std::string e2pTypesText(const E2pParam &p) {
    std::string out, last;
    for (const E2pFileObjValueTag &v : p.declared) {
        if (v.typeName == last) continue;
        last = v.typeName;
        out += (out.empty() ? "" : " ") + (v.typeName.empty() ? std::string("%u8") : v.typeName);
    }
    return out;
}

std::vector<E2pChangedBlock> e2pUncoveredChanges(E2pState &before, E2pState &after,
                                                 const std::vector<const E2pParamTable *> &tables) {
    std::vector<E2pChangedBlock> out;
    for (const E2pChangedBlock &c : e2pChangedBlocks(before, after))
        for (uint32_t i = 0; i < 16; ++i) {
            if (c.before[i] == c.after[i]) continue;
            if (std::none_of(tables.begin(), tables.end(), [&](const E2pParamTable *t) { return t->covers(c.address + i); })) {
                out.push_back(c);
                break;
            }
        }
    return out;
}

E2pImageParams readE2pImageParams(E2pState &image, std::span<const uint8_t> base,
                                  const std::vector<std::string> &files) {
    E2pImageParams out;
    out.replay = replayE2pJournal(image, base);
    E2pImageReader before(base, image.flash), after(out.replay.content, image.flash);
    out.table = readE2pParams(after.e2p, files);
    for (const E2pParam &p : out.table.params) {
        out.before.push_back(readE2pParam(before.e2p, p));
        out.now.push_back(readE2pParam(after.e2p, p));
    }
    out.uncovered = e2pUncoveredChanges(before.e2p, after.e2p, {&out.table});
    return out;
}

} // namespace qv
