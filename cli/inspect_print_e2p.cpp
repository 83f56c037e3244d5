#include "report/format.h"
#include "cli/inspect_print.h"

#include <cstdio>

namespace qvcli {
namespace {

std::string checkText(uint8_t stored, uint8_t computed, bool ok) {
    return hex(stored, 2) + (ok ? " ok" : " BAD (computed " + hex(computed, 2) + ")");
}

void printRecords(const E2pJournal &j) {
    std::printf("journal records: %zu\n", j.records.size());
    if (j.records.empty()) return;
    std::printf("  at        address  length  header check  data check\n");
    for (const E2pJournalRecord &r : j.records) {
        const std::string data = r.dataReadable ? checkText(r.storedDataCheck, r.computedDataCheck,
                                                            r.dataCheckMatches())
                                                : "data past the area's end";
        std::printf("  %s  %s   %-6u  %-12s  %s\n", hex(r.at, 6).c_str(), hex(r.address, 4).c_str(), r.length,
                    checkText(r.storedHeaderCheck, r.computedHeaderCheck, true).c_str(), data.c_str());
    }
}

void printChanged(const std::vector<E2pChangedBlock> &changed) {
    std::printf("parameter content after replay: %zu changed block%s\n", changed.size(),
                changed.size() == 1 ? "" : "s");
    for (const E2pChangedBlock &c : changed) {
        std::printf("  %s  base  %s\n", hex(c.address, 4).c_str(), hexBytes(c.before, 16).c_str());
        std::printf("          now   %s\n", hexBytes(c.after, 16).c_str());
    }
}

Json bytesJson(const uint8_t *p, size_t n) { return hexBytes(p, n); }

} // namespace

void printJournal(const E2pJournal &j, const std::string &path, const std::optional<std::vector<E2pChangedBlock>> &changed,
                  const qv::E2pImageParams *params) {
    std::printf("E2P image: %s (%u bytes, %s layout, %u logical bytes)\n", path.c_str(), j.imageSize,
                j.interleaved ? "interleaved" : "plain", j.logicalSize);
    printRecords(j);
    std::printf("journal ends at %s: %s\n", hex(j.endAt, 4).c_str(), j.endReason.c_str());
    if (j.notErasedAfterEnd)
        std::printf("  %u bytes after the journal's end are not erased\n", j.notErasedAfterEnd);
    const std::string mark = j.endMarkOk ? "FF 7F"
                             : j.erased  ? "none: the area is erased (an empty journal)"
                                         : "missing (" + hex(j.endMark, 4) + ")";
    std::printf("end mark at %s: %s\n", hex(j.logicalSize >= 2 ? j.logicalSize - 2 : 0, 4).c_str(), mark.c_str());
    if (changed) printChanged(*changed);
    if (params) printParams(*params);
    printProblems(j.problems);
}

Json journalJson(const E2pJournal &j, const std::string &path, const std::optional<std::vector<E2pChangedBlock>> &changed) {
    Json out = {{"kind", "e2p"}, {"file", path}, {"size", j.imageSize}, {"interleaved", j.interleaved},
                {"logicalSize", j.logicalSize}};
    out["records"] = Json::array();
    for (const E2pJournalRecord &r : j.records)
        out["records"].push_back({{"at", r.at},
                                  {"address", r.address},
                                  {"length", r.length},
                                  {"headerCheck", r.storedHeaderCheck},
                                  {"dataCheck", r.storedDataCheck},
                                  {"computedDataCheck", r.computedDataCheck},
                                  {"dataCheckMatches", r.dataCheckMatches()},
                                  {"data", bytesJson(r.data.data(), r.data.size())}});
    out["endAt"] = j.endAt;
    out["endReason"] = j.endReason;
    out["endMark"] = j.endMarkOk;
    out["erased"] = j.erased;
    out["notErasedAfterEnd"] = j.notErasedAfterEnd;
    if (changed) {
        out["changedBlocks"] = Json::array();
        for (const E2pChangedBlock &c : *changed)
            out["changedBlocks"].push_back(
                {{"address", c.address}, {"base", bytesJson(c.before, 16)}, {"now", bytesJson(c.after, 16)}});
    }
    out["problems"] = j.problems;
    return out;
}

} // namespace qvcli
