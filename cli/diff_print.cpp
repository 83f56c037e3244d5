#include "cli/diff_print.h"

#include "cli/inspect_print.h"
#include "report/format.h"

#include <cstdio>

namespace qvcli {
namespace {

void printFields(const char *title, const std::vector<FieldChange> &fields) {
    for (const FieldChange &f : fields)
        std::printf("  %s %s: %s -> %s\n", title, f.field.c_str(), f.before.c_str(), f.after.c_str());
}

std::string sizeText(Change c, uint64_t before, uint64_t after) {
    if (c == Change::Added) return std::to_string(after) + " bytes";
    if (c == Change::Removed) return std::to_string(before) + " bytes";
    return std::to_string(before) + " -> " + std::to_string(after) + " bytes";
}

std::string digestText(const FileFacts &f) { return f.exists ? f.sha256.substr(0, 16) : "missing"; }

void printCode(const ReleaseDiff &d) {
    printFields("code image", d.code);
    if (d.codeSection.runs)
        std::printf("  code section: %llu bytes differ in %llu range%s: %s\n",
                    static_cast<unsigned long long>(d.codeSection.count), static_cast<unsigned long long>(d.codeSection.runs),
                    d.codeSection.runs == 1 ? "" : "s", rangesText(d.codeSection, true, "-").c_str());
    for (const CusChange &c : d.cus)
        std::printf("  CUS record %s: %s (%s%s), %s\n", changeName(c.change), c.ident.c_str(), c.kind.c_str(),
                    c.name.empty() ? "" : (" " + c.name).c_str(), sizeText(c.change, c.before, c.after).c_str());
}

void printE2p(const ReleaseDiff &d) {
    for (const ParamChange &p : d.params) {
        if (p.change == Change::Changed)
            std::printf("  E2P parameter changed: %s: %s -> %s\n", p.name.c_str(), p.before.c_str(), p.after.c_str());
        else
            std::printf("  E2P parameter %s: %s at %d: %s\n", changeName(p.change), p.name.c_str(), p.address,
                        (p.change == Change::Added ? p.after : p.before).c_str());
    }
    for (const E2pChangedBlock &c : d.e2pBlocks) {
        std::printf("  E2P bytes no object covers changed at %s:\n", hex(c.address, 4).c_str());
        std::printf("    old  %s\n    new  %s\n", hexBytes(c.before, 16).c_str(), hexBytes(c.after, 16).c_str());
    }
}

void printRai(const ReleaseDiff &d) {
    bool changed = false;
    for (const FatChange &f : d.fat) {
        if (!f.added.runs && !f.removed.runs && !f.changed.runs) continue;
        changed = true;
        std::printf("  RAI %s: %u -> %u sectors", f.image.c_str(), f.before, f.after);
        const std::pair<const char *, const RangeList *> parts[] = {{"added", &f.added}, {"removed", &f.removed}, {"changed", &f.changed}};
        for (const auto &[name, l] : parts)
            if (l->runs) std::printf("; %llu %s (%s)", static_cast<unsigned long long>(l->count), name, rangesText(*l, false, "-").c_str());
        std::printf("\n");
    }
    if (d.fillBefore && d.fillAfter && (changed || d.itemsBefore != d.itemsAfter || *d.fillBefore != *d.fillAfter))
        std::printf("  RAI store: %u -> %u items, %.1f %% -> %.1f %% full\n", d.itemsBefore, d.itemsAfter, *d.fillBefore,
                    *d.fillAfter);
}

void printInputs(const ReleaseDiff &d) {
    for (const InputChange &i : d.inputs) {
        std::string digests = i.change == Change::Added     ? digestText(i.after)
                              : i.change == Change::Removed ? digestText(i.before)
                                                            : digestText(i.before) + " -> " + digestText(i.after);
        std::printf("  input %s: %s %s (sha256 %s)\n", changeName(i.change), i.role.c_str(), i.name.c_str(), digests.c_str());
    }
}

Json rangesJson(const RangeList &l) {
    Json first = Json::array();
    for (const Range &r : l.first) first.push_back({{"start", r.start}, {"end", r.end}});
    return {{"runs", l.runs}, {"count", l.count}, {"first", first}};
}

Json fieldsJson(const std::vector<FieldChange> &fields) {
    Json out = Json::array();
    for (const FieldChange &f : fields) out.push_back({{"field", f.field}, {"old", f.before}, {"new", f.after}});
    return out;
}

Json factsJson(const FileFacts &f) {
    if (f.path.empty()) return nullptr;
    return {{"path", f.path}, {"exists", f.exists}, {"size", f.size}, {"sha256", f.sha256}};
}

Json paramChangeJson(const ParamChange &p) {
    Json j = {{"change", changeName(p.change)}, {"name", p.name}, {"address", p.address}};
    j["old"] = p.oldParam ? Json(p.before) : Json(nullptr);
    j["new"] = p.newParam ? Json(p.after) : Json(nullptr);
    j["oldParameter"] = p.oldParam ? paramJson(*p.oldParam, *p.oldNow) : Json(nullptr);
    j["newParameter"] = p.newParam ? paramJson(*p.newParam, *p.newNow) : Json(nullptr);
    return j;
}

Json raiJson(const ReleaseDiff &d) {
    Json fat = Json::array();
    for (const FatChange &f : d.fat)
        fat.push_back({{"image", f.image}, {"oldSectors", f.before}, {"newSectors", f.after},
                       {"added", rangesJson(f.added)}, {"removed", rangesJson(f.removed)}, {"changed", rangesJson(f.changed)}});
    Json j = {{"fat", fat}, {"oldItems", d.itemsBefore}, {"newItems", d.itemsAfter}};
    j["oldFillPercent"] = d.fillBefore ? Json(*d.fillBefore) : Json(nullptr);
    j["newFillPercent"] = d.fillAfter ? Json(*d.fillAfter) : Json(nullptr);
    return j;
}

} // namespace

void printDiff(const ReleaseDiff &d) {
    std::printf("old: %s\nnew: %s\n", d.oldSource.c_str(), d.newSource.c_str());
    if (d.otherFlash) std::printf("A DIFFERENT FLASH: the flash descriptions name another chip, size or layout\n");
    printFields("flash", d.flash);
    printCode(d);
    printE2p(d);
    printRai(d);
    printInputs(d);
    for (const std::string &n : d.notes) std::printf("note: %s\n", n.c_str());
    std::printf(d.differs() ? "the releases differ\n" : "no differences\n");
}

Json diffJson(const ReleaseDiff &d) {
    Json j = {{"old", d.oldSource}, {"new", d.newSource}, {"differs", d.differs()}};
    j["flash"] = {{"differentFlash", d.otherFlash}, {"fields", fieldsJson(d.flash)}};
    j["code"] = {{"fields", fieldsJson(d.code)}, {"section", rangesJson(d.codeSection)}};
    j["cus"] = Json::array();
    for (const CusChange &c : d.cus)
        j["cus"].push_back({{"change", changeName(c.change)}, {"ident", c.ident}, {"kind", c.kind}, {"name", c.name},
                            {"oldLength", c.before}, {"newLength", c.after}});
    Json params = Json::array();
    for (const ParamChange &p : d.params) params.push_back(paramChangeJson(p));
    j["e2p"] = {{"parameters", params}, {"uncoveredBlocks", blocksJson(d.e2pBlocks)}};
    j["rai"] = raiJson(d);
    j["inputs"] = Json::array();
    for (const InputChange &i : d.inputs)
        j["inputs"].push_back({{"change", changeName(i.change)}, {"role", i.role}, {"name", i.name},
                               {"old", factsJson(i.before)}, {"new", factsJson(i.after)}});
    j["notes"] = d.notes;
    return j;
}

} // namespace qvcli
