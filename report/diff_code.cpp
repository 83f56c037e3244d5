// The code image of two releases: the figures the reader gives, the changed
// byte runs of the code section, and the CUS records by ident.
#include "report/diff.h"
#include "report/files.h"
#include "report/format.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace qvcli {
namespace {

constexpr size_t kCompareBlock = 1 << 16;

std::string optionalHex(const std::optional<uint32_t> &v) { return v ? hex(*v, 8) : "none"; }

void field(ReleaseDiff &d, const std::string &name, const std::string &a, const std::string &b) {
    if (a != b) d.code.push_back({name, a, b});
}

// The runs of differing bytes of two buffers over their common length, and
// the longer one's tail as one more run. Equal blocks are passed over whole.
RangeList changedRuns(ByteView a, ByteView b) {
    RangeList l;
    const uint64_t common = std::min(a.size(), b.size());
    bool open = false;
    uint64_t start = 0;
    for (uint64_t at = 0; at < common; at += kCompareBlock) {
        const uint64_t n = std::min<uint64_t>(kCompareBlock, common - at);
        if (!open && std::memcmp(a.data() + at, b.data() + at, n) == 0) continue;
        for (uint64_t i = at; i < at + n; ++i) {
            const bool differs = a[i] != b[i];
            if (differs && !open) start = i;
            if (!differs && open) l.add(start, i);
            open = differs;
        }
    }
    if (open) l.add(start, common);
    if (a.size() != b.size()) l.add(common, std::max(a.size(), b.size()));
    return l;
}

ByteView section(const MappedFile &f, const CodeImageContents &c) {
    return f.bytes().subspan(0, std::min<uint64_t>(c.codeLength, f.bytes().size()));
}

ByteView recordBytes(const MappedFile &f, const CusRecord &r) {
    const uint64_t end = std::min<uint64_t>(r.next, f.bytes().size());
    return r.offset < end ? f.bytes().subspan(r.offset, end - r.offset) : ByteView();
}

// A CUS record with the name of the CUS file it holds, keyed by ident and
// its occurrence among records of that ident.
struct NamedRecord {
    const CusRecord *record;
    std::string name;
};

std::map<std::pair<std::string, int>, NamedRecord> namedRecords(const CodeImageContents &c, const MergeArgs &a) {
    std::map<std::pair<std::string, int>, NamedRecord> out;
    std::map<std::string, int> seen;
    size_t cusFile = 0;
    for (const CusRecord &r : c.records) {
        const std::string ident = identText(r.ident.data());
        const bool isFile = std::string(cusRecordKind(r.ident)) == "CUS file";
        const std::string name = isFile && cusFile < a.cus.size() ? fileName(a.cus[cusFile]) : "";
        if (isFile) ++cusFile;
        out.emplace(std::make_pair(ident, seen[ident]++), NamedRecord{&r, name});
    }
    return out;
}

void compareCus(const CodeImageContents &ca, const CodeImageContents &cb, const MappedFile &fa, const MappedFile &fb,
                const ReleaseRead &a, const ReleaseRead &b, ReleaseDiff &d) {
    const auto ra = namedRecords(ca, a.disk.args), rb = namedRecords(cb, b.disk.args);
    for (const auto &[key, x] : ra) {
        auto it = rb.find(key);
        const std::string kind = cusRecordKind(x.record->ident);
        if (it == rb.end()) {
            d.cus.push_back({Change::Removed, key.first, kind, x.name, x.record->length, 0});
            continue;
        }
        const NamedRecord &y = it->second;
        const ByteView bx = recordBytes(fa, *x.record), by = recordBytes(fb, *y.record);
        const bool same = bx.size() == by.size() && std::memcmp(bx.data(), by.data(), bx.size()) == 0;
        if (!same || x.name != y.name)
            d.cus.push_back({Change::Changed, key.first, kind, y.name.empty() ? x.name : y.name, x.record->length,
                             y.record->length});
    }
    for (const auto &[key, y] : rb)
        if (!ra.count(key)) d.cus.push_back({Change::Added, key.first, cusRecordKind(y.record->ident), y.name, 0, y.record->length});
}

} // namespace

void compareCode(const ReleaseRead &a, const ReleaseRead &b, ReleaseDiff &d) {
    const auto &ca = a.model.code, &cb = b.model.code;
    if (!ca || !cb) {
        if (ca || cb) d.code.push_back({"code image", ca ? "read" : "none", cb ? "read" : "none"});
        return;
    }
    field(d, "file size", std::to_string(ca->fileSize), std::to_string(cb->fileSize));
    field(d, "code section length", std::to_string(ca->codeLength), std::to_string(cb->codeLength));
    field(d, "code section XOR", hex(ca->codeXor, 8), hex(cb->codeXor, 8));
    field(d, "checksum", optionalHex(ca->storedChecksum), optionalHex(cb->storedChecksum));
    field(d, "versionAddr", optionalHex(ca->versionAddr), optionalHex(cb->versionAddr));
    field(d, "versionAddr1", optionalHex(ca->versionAddr1), optionalHex(cb->versionAddr1));
    field(d, "size-and-date record", ca->sizeDate.value_or("none"), cb->sizeDate.value_or("none"));
    field(d, "CUS area length", std::to_string(ca->hasCusArea ? ca->cusLength() : 0),
          std::to_string(cb->hasCusArea ? cb->cusLength() : 0));
    const MappedFile fa(a.disk.args.outCode), fb(b.disk.args.outCode);
    d.codeSection = changedRuns(section(fa, *ca), section(fb, *cb));
    compareCus(*ca, *cb, fa, fb, a, b, d);
}

} // namespace qvcli
