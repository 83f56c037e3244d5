// Strict inputs, the host's buffers: a FlashInfo record with faults its
// description cannot hold, and E2P buffers that are not what they are given
// as (the base image given twice, the two the wrong way round, a dump of
// something else), told by the journal reader inspection uses.
#include "entry/strict_inputs.h"

#include "base/log.h"
#include "base/results.h"
#include "e2p/image_reader.h"
#include "e2p/journal_read.h"
#include "entry/file_kind.h"
#include "flash/flash_desc.h"

#include <algorithm>

namespace qv {
namespace {

std::string joined(const std::vector<std::string> &items) {
    std::string out;
    for (const std::string &s : items) out += (out.empty() ? "" : "; ") + s;
    return out;
}

// A buffer read as an E2P area in the flash's layout.
struct AreaReading {
    AreaReading(std::span<const uint8_t> bytes, const FlashState &flash)
        : reader(bytes, flash), journal(readE2pJournal(reader.e2p)) {}
    E2pImageReader reader;
    E2pJournal journal;

    bool sound() const { return journal.problems.empty() && !journal.erased; }
    std::string text() const {
        const size_t n = journal.records.size();
        return strprintf("an E2P journal of %zu record%s", n, n == 1 ? "" : "s");
    }
};

bool sameBytes(std::span<const uint8_t> a, std::span<const uint8_t> b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

// What an area that is no journal looks like instead.
std::string areaHint(const StrictBuffers &b, const AreaReading &base) {
    if (sameBytes(b.e2pArea, b.e2pBase))
        return "; it holds the same bytes as the E2P base " + b.baseName + ": the base image given twice?";
    if (base.sound())
        return "; the E2P base " + b.baseName + " reads as " + base.text() + ": the two given the wrong way round?";
    if (auto kind = inputKindOf(b.e2pArea, b.e2pArea.size())) return std::string("; it looks like ") + fileKindText(*kind);
    if (base.journal.erased)
        return "; the E2P base " + b.baseName + " is erased, as an unused E2P area is: the two given the wrong way round?";
    return "";
}

int checkE2pBuffers(const StrictBuffers &b, const FlashState &flash, std::string &msg) {
    const AreaReading area(b.e2pArea, flash), base(b.e2pBase, flash);
    if (!area.journal.erased && !area.journal.problems.empty()) {
        msg = strprintf("%s: neither an erased E2P area nor a sound E2P journal (%s)%s", b.areaName.c_str(),
                        area.journal.problems.front().c_str(), areaHint(b, base).c_str());
        return kErrE2pAreaNotJournal;
    }
    if (base.sound() && !base.journal.records.empty()) {
        msg = strprintf("%s: the E2P base reads as %s and the end mark, not as parameter content: %s",
                        b.baseName.c_str(), base.text().c_str(),
                        sameBytes(b.e2pArea, b.e2pBase) ? "the E2P area given twice?" : "the E2P area given as the base?");
        return kErrE2pBaseIsJournal;
    }
    return 0;
}

} // namespace

int checkStrictFlashInfo(std::span<const uint8_t> record, const std::string &name, std::string &msg) {
    if (record.empty() || flashRecordShortfall(record)) return 0; // refused by the merge itself
    if (const auto kind = inputKindOf(record, record.size());
        kind && *kind != FileKind::FlashInfo && !looksLikeFlashRecord(flashRecordFields(record))) {
        msg = strprintf("%s: %s given as the FlashInfo record", name.c_str(), fileKindText(*kind));
        return kErrInputOfOtherKind;
    }
    const std::vector<std::string> problems = flashRecordProblems(flashRecordFrom({record.begin(), record.end()}));
    if (problems.empty()) return 0;
    msg = name + ": " + joined(problems);
    return kErrFlashInfoUnsound;
}

int checkStrictBuffers(const StrictBuffers &b, std::string &msg) {
    if (int r = checkStrictFlashInfo(b.flashInfo, b.flashName, msg)) return r;
    if (b.eraseAll || b.flashInfo.empty() || flashRecordShortfall(b.flashInfo)) return 0;
    const FlashRecord record = flashRecordFrom({b.flashInfo.begin(), b.flashInfo.end()});
    return checkE2pBuffers(b, record.state(), msg);
}

} // namespace qv
