#include "cli/e2p_journal.h"

#include "cli/format.h"

#include <algorithm>
#include <cstring>

namespace qvcli {
namespace {

constexpr uint32_t kHeader = 6;

uint8_t headerCheck(const uint8_t *h) { return uint8_t(h[0] ^ (h[1] & 0x3F) ^ h[2] ^ h[3]); }

// Reads the record at `at`; returns false with the reason when the journal
// ends there.
bool readRecord(const E2pView &v, uint32_t at, JournalRecord &r, std::string &why) {
    uint8_t h[kHeader];
    if (!v.read(at, kHeader, h)) {
        why = uint64_t(at) + 2 == v.logicalSize() ? "end mark" : "no room for a header before the area's end";
        return false;
    }
    if (std::all_of(h, h + kHeader, [](uint8_t b) { return b == 0xFF; })) {
        why = "erased header";
        return false;
    }
    r.at = at;
    r.word0 = le16(h);
    r.address = r.word0 & 0x3FFF;
    r.length = le16(h + 2);
    r.storedHeaderCheck = h[4];
    r.computedHeaderCheck = headerCheck(h);
    r.storedDataCheck = h[5];
    if (r.word0 & 0x4000) {
        why = at + 2 == v.logicalSize() ? "end mark" : sformat("end flag (bit 14) in word %s", hex(r.word0, 4).c_str());
        return false;
    }
    if (r.length == 0) {
        why = "zero length";
        return false;
    }
    if ((r.storedHeaderCheck & 0x7F) != (r.computedHeaderCheck & 0x7F)) {
        why = sformat("header check %s stored, %s computed", hex(r.storedHeaderCheck, 2).c_str(),
                      hex(r.computedHeaderCheck & 0x7F, 2).c_str());
        return false;
    }
    r.data.resize(r.length);
    r.dataReadable = v.read(uint64_t(at) + kHeader + (r.length & 1u), r.length, r.data.data());
    r.computedDataCheck = 0;
    for (uint8_t b : r.data) r.computedDataCheck ^= b;
    return true;
}

void readEndMark(const E2pView &v, Journal &j) {
    j.endMarkOk = j.logicalSize >= 2 && v.word(j.logicalSize - 2, j.endMark) && j.endMark == 0x7FFF;
    if (!j.endMarkOk && !j.erased) j.problems.push_back("no end mark (FF 7F) in the last two logical bytes");
    for (uint64_t x = j.endAt; x + 2 < j.logicalSize; ++x) {
        uint8_t b = 0xFF;
        v.byte(x, b);
        if (b != 0xFF) ++j.notErasedAfterEnd;
    }
    if (j.notErasedAfterEnd)
        j.problems.push_back(std::to_string(j.notErasedAfterEnd) + " bytes between the journal's end and the end mark "
                                                                  "are not erased");
}

} // namespace

Journal readJournal(const E2pView &v) {
    Journal j;
    j.erased = v.erased();
    j.imageSize = v.imageSize();
    j.logicalSize = v.logicalSize();
    j.interleaved = v.interleaved();
    uint64_t at = 0;
    for (;;) {
        JournalRecord r;
        if (at > UINT32_MAX || !readRecord(v, uint32_t(at), r, j.endReason)) break;
        const bool readable = r.dataReadable;
        j.records.push_back(std::move(r));
        const JournalRecord &last = j.records.back();
        if (!readable) {
            j.problems.push_back("the record at " + hex(last.at) + " has data past the end of the area");
        } else if (!last.dataCheckMatches()) {
            j.problems.push_back(sformat("the record at %s has data check %s stored, %s computed",
                                         hex(last.at).c_str(), hex(last.storedDataCheck, 2).c_str(),
                                         hex(last.computedDataCheck, 2).c_str()));
        }
        at += kHeader + (last.length & 1u) + last.length;
    }
    j.endAt = uint32_t(std::min<uint64_t>(at, j.logicalSize));
    readEndMark(v, j);
    return j;
}

bool looksLikeE2pImage(const Bytes &image) {
    for (bool interleaved : {false, true}) {
        E2pView v(image, interleaved);
        uint16_t mark = 0;
        if (v.logicalSize() >= 2 && v.word(v.logicalSize() - 2, mark) && mark == 0x7FFF) return true;
    }
    return false;
}

std::vector<ChangedBlock> replayJournal(const Journal &journal, const Bytes &base, bool interleaved) {
    Bytes content = base;
    for (const JournalRecord &r : journal.records)
        if (r.dataReadable) e2pWrite(content, interleaved, journal.imageSize, r.address, r.data.data(), r.length);
    std::vector<ChangedBlock> out;
    E2pView before(base, interleaved), after(content, interleaved);
    for (uint64_t off = 0; off + 16 <= before.logicalSize(); off += 16) {
        ChangedBlock c;
        c.address = uint32_t(off);
        if (!before.read(off, 16, c.before) || !after.read(off, 16, c.after)) break;
        if (std::memcmp(c.before, c.after, 16) != 0) out.push_back(c);
    }
    return out;
}

} // namespace qvcli
