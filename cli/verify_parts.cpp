#include "cli/verify_parts.h"

#include "e2p/image_reader.h"
#include "report/format.h"
#include "report/readers.h"

#include <algorithm>

namespace qvcli {
namespace {

const PlacedImage *placed(const FlashLayout &l, const char *image) {
    for (const PlacedImage &p : l.images)
        if (p.image == image) return &p;
    return nullptr;
}

void add(std::vector<ReleasePart> &parts, uint64_t from, uint64_t to, std::string name) {
    if (from < to) parts.push_back({from, to, std::move(name)});
}

std::string recordName(const CusRecord &rec, size_t k) {
    std::string ident;
    for (uint8_t c : rec.ident) ident += (c >= 0x20 && c < 0x7F) ? char(c) : '?';
    return strprintf("CUS area, record %zu (%s, \"%s\")", k + 1, cusRecordKind(rec.ident), ident.c_str());
}

void codeParts(const PlacedImage &p, std::vector<ReleasePart> &parts) {
    const MappedFile file(p.path);
    const CodeImageContents c = qv::readCodeImage(file.bytes());
    const uint64_t a = p.address;
    if (!c.cusOnly) add(parts, a, a + c.codeLength, "code section");
    if (!c.hasCusArea) return add(parts, a + c.codeLength, p.end(), "code image, after the code section");
    add(parts, a + c.codeLength, a + c.cusfOffset, "code image: size-and-date record, checksum, end marker and fill");
    const uint64_t first = c.records.empty() ? c.recordsEnd : c.records.front().offset;
    add(parts, a + c.cusfOffset, a + first, "CUS area, header (\"CUSF\" and its position)");
    for (size_t k = 0; k < c.records.size(); ++k)
        add(parts, a + c.records[k].offset, a + std::max(c.records[k].offset, c.records[k].next), recordName(c.records[k], k));
    add(parts, a + c.recordsEnd, p.end(), "CUS area, closing fill and end marker");
}

void e2pParts(const PlacedImage &p, uint64_t partitionEnd, std::vector<ReleasePart> &parts) {
    const Bytes image = readWholeFile(p.path, kImageBound);
    qv::E2pImageReader reader(image, qv::layoutOnly(p.interleaved));
    const E2pJournal j = qv::readE2pJournal(reader.e2p);
    const uint64_t a = p.address;
    for (size_t k = 0; k < j.records.size(); ++k) {
        const uint64_t end = k + 1 < j.records.size() ? j.records[k + 1].at : j.endAt;
        add(parts, a + j.records[k].at, a + std::max<uint64_t>(end, j.records[k].at),
            strprintf("E2P partition, journal record %zu (block 0x%04X)", k + 1, j.records[k].address));
    }
    const uint64_t markAt = j.logicalSize >= 2 ? j.logicalSize - 2 : 0;
    add(parts, a + j.endAt, a + std::max<uint64_t>(markAt, j.endAt), "E2P partition, erased after the journal");
    add(parts, a + std::max<uint64_t>(markAt, j.endAt), a + j.logicalSize, "E2P partition, end mark");
    add(parts, a + j.logicalSize, partitionEnd, "E2P partition, past the E2P image");
}

void raiParts(const ReleaseRecord &r, std::vector<ReleasePart> &parts) {
    const FlashRecord flash = qv::flashRecordOf(r.flash);
    const qv::FlashState state = flash.state();
    const uint64_t base = r.areas->raiBase, end = r.areas->traceBase;
    const int32_t size = qv::fms_GetSectorSize(state, uint32_t(base));
    const uint64_t sector = size > 0 ? uint64_t(size) : end - base;
    for (uint64_t s = base, n = 0; s < end; s += sector, ++n)
        add(parts, s, std::min(end, s + sector), strprintf("RAI sector %llu", (unsigned long long)n));
}

} // namespace

ReleaseParts::ReleaseParts(const ReleaseRecord &r, const FlashLayout &l) {
    std::vector<ReleasePart> found;
    if (const PlacedImage *code = placed(l, "code")) codeParts(*code, found);
    if (r.areas) {
        raiParts(r, found);
        add(found, r.areas->traceBase, r.areas->e2pBase, "trace area");
        const PlacedImage *e2p = placed(l, "e2p");
        if (e2p && e2p->address == r.areas->e2pBase) e2pParts(*e2p, std::min<uint64_t>(l.end, r.areas->top), found);
        else add(found, r.areas->e2pBase, std::min<uint64_t>(l.end, r.areas->top), "E2P partition");
    }
    std::sort(found.begin(), found.end(), [](const auto &a, const auto &b) { return a.from < b.from; });
    // What no part claims is free space; parts are clipped to the flash and
    // to each other so that every address has exactly one.
    uint64_t at = l.base;
    for (ReleasePart &p : found) {
        p.from = std::max(p.from, at);
        p.to = std::min(p.to, l.end);
        if (p.from >= p.to) continue;
        add(parts_, at, p.from, "free space");
        parts_.push_back(p);
        at = p.to;
    }
    add(parts_, at, l.end, "free space");
}

const ReleasePart &ReleaseParts::at(uint64_t address) const {
    auto it = std::upper_bound(parts_.begin(), parts_.end(), address, [](uint64_t a, const ReleasePart &p) { return a < p.from; });
    return *(it == parts_.begin() ? it : it - 1);
}

} // namespace qvcli
