#include "e2p/journal_read.h"

#include "base/bytes.h"
#include "base/text_format.h"
#include "e2p/access.h"
#include "e2p/image_reader.h"
#include "e2p/journal.h"
#include "flash/flash_desc.h"
#include "flash/geometry.h"

#include <algorithm>
#include <cstring>

namespace qv {
namespace {

// Why the journal ends at a header that cannot be read or has bit 14 set:
// the end mark, when it lies right there.
std::string endAtEdge(const E2pJournal &j, uint32_t at, const std::string &otherwise) {
    return uint64_t(at) + 2 == j.logicalSize ? "end mark" : otherwise;
}

std::string endReason(const E2pJournal &j, uint32_t at, const E2pRecHeader &h) {
    switch (e2pRecEnd(h)) {
    case E2pRecEnd::Erased: return "erased header";
    case E2pRecEnd::EndFlag: return endAtEdge(j, at, strprintf("end flag (bit 14) in word %s", hex(h.word0(), 4).c_str()));
    case E2pRecEnd::ZeroLength: return "zero length";
    case E2pRecEnd::BadCheck:
        return strprintf("header check %s stored, %s computed", hex(h.storedCheck(), 2).c_str(),
                         hex(e2pRecHeaderCheck(h) & 0x7F, 2).c_str());
    case E2pRecEnd::None: break;
    }
    return "";
}

// Reads the record at `at`; false, with the reason, when the journal ends there.
bool readRecord(E2pState &e2p, uint32_t at, E2pJournal &j, E2pJournalRecord &r) {
    E2pRecHeader h;
    if (!e2pReadRecHeader(e2p, at, h)) {
        j.endReason = endAtEdge(j, at, "no room for a header before the area's end");
        return false;
    }
    if (e2pRecEnd(h) != E2pRecEnd::None) {
        j.endReason = endReason(j, at, h);
        return false;
    }
    r.at = at;
    r.word0 = h.word0();
    r.address = h.address();
    r.length = h.count();
    r.storedHeaderCheck = h.storedCheck();
    r.computedHeaderCheck = e2pRecHeaderCheck(h);
    r.storedDataCheck = h.dataCheck();
    r.dataReadable = e2pReadRecData(e2p, at, h, r.data);
    r.computedDataCheck = 0;
    for (uint8_t b : r.data) r.computedDataCheck ^= b;
    return true;
}

void noteRecordProblem(E2pJournal &j, const E2pJournalRecord &r) {
    if (!r.dataReadable)
        j.problems.push_back("the record at " + hex(r.at) + " has data past the end of the area");
    else if (!r.dataCheckMatches())
        j.problems.push_back(strprintf("the record at %s has data check %s stored, %s computed", hex(r.at).c_str(),
                                       hex(r.storedDataCheck, 2).c_str(), hex(r.computedDataCheck, 2).c_str()));
}

bool readWord(E2pState &e2p, uint32_t x, uint16_t &v) {
    uint8_t b[2];
    if (fms_E2pRead(e2p, x, 2, b) != 0) return false;
    v = le16(b);
    return true;
}

void readEndMark(E2pState &e2p, E2pJournal &j) {
    j.endMarkOk = j.logicalSize >= 2 && readWord(e2p, j.logicalSize - 2, j.endMark) && j.endMark == 0x7FFF;
    if (!j.endMarkOk && !j.erased) j.problems.push_back("no end mark (FF 7F) in the last two logical bytes");
    for (uint64_t x = j.endAt; x + 2 < j.logicalSize; ++x) {
        uint8_t b = 0xFF;
        fms_E2pRead(e2p, uint32_t(x), 1, &b);
        if (b != 0xFF) ++j.notErasedAfterEnd;
    }
    if (j.notErasedAfterEnd)
        j.problems.push_back(std::to_string(j.notErasedAfterEnd) + " bytes between the journal's end and the end mark "
                                                                  "are not erased");
}

} // namespace

std::vector<E2pChangedBlock> e2pChangedBlocks(E2pState &before, E2pState &after) {
    std::vector<E2pChangedBlock> out;
    const uint32_t logical = e2pLogicalBytes(before.flash, before.e2pImageSize);
    for (uint64_t off = 0; off + 16 <= logical; off += 16) {
        E2pChangedBlock c;
        c.address = uint32_t(off);
        if (fms_E2pRead(before, c.address, 16, c.before) != 0 || fms_E2pRead(after, c.address, 16, c.after) != 0) break;
        if (std::memcmp(c.before, c.after, 16) != 0) out.push_back(c);
    }
    return out;
}

E2pJournal readE2pJournal(E2pState &e2p) {
    E2pJournal j;
    const uint8_t *image = e2p.e2pImage;
    j.imageSize = e2p.e2pImageSize;
    j.erased = j.imageSize > 0 && std::all_of(image, image + j.imageSize, [](uint8_t b) { return b == 0xFF; });
    j.logicalSize = e2pLogicalBytes(e2p.flash, j.imageSize);
    j.interleaved = fms_IsInterleaved(e2p.flash);
    uint64_t at = 0;
    for (;;) {
        E2pJournalRecord r;
        if (at > UINT32_MAX || !readRecord(e2p, uint32_t(at), j, r)) break;
        noteRecordProblem(j, r);
        at = fms_E2pRecNext(e2p, r.at);
        j.records.push_back(std::move(r));
    }
    j.endAt = uint32_t(std::min<uint64_t>(at, j.logicalSize));
    readEndMark(e2p, j);
    return j;
}

bool e2pHasEndMark(std::span<const uint8_t> image, bool interleaved) {
    E2pImageReader r(image, layoutOnly(interleaved));
    const uint32_t logical = e2pLogicalBytes(r.flash, uint32_t(image.size()));
    uint16_t mark = 0;
    return logical >= 2 && readWord(r.e2p, logical - 2, mark) && mark == 0x7FFF;
}

bool looksLikeE2pImage(std::span<const uint8_t> image) { return e2pHasEndMark(image, false) || e2pHasEndMark(image, true); }

E2pReplay replayE2pJournal(E2pState &e2p, std::span<const uint8_t> base) {
    E2pReplay out;
    out.content.assign(base.begin(), base.end());
    const E2pImageRef journal{e2p.e2pImage, e2p.e2pImageSize};
    fms_E2pReplay(e2p, journal, {out.content.data(), uint32_t(out.content.size())});
    E2pImageReader before(base, e2p.flash), after(out.content, e2p.flash);
    out.changed = e2pChangedBlocks(before.e2p, after.e2p);
    return out;
}

} // namespace qv
