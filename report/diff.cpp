#include "report/diff.h"

#include "report/format.h"

#include <future>

namespace qvcli {
namespace {

void field(std::vector<FieldChange> &out, const std::string &name, const std::string &a, const std::string &b) {
    if (a != b) out.push_back({name, a, b});
}

std::string regionsText(const FlashDesc &d) {
    std::string out;
    for (const FlashRegion &r : d.regions)
        out += (out.empty() ? "" : ", ") + std::to_string(r.count) + " x " + std::to_string(uint64_t(1) << r.shift);
    return out;
}

std::string memPartsText(const FlashDesc &d) {
    std::string out;
    for (const FlashMemPart &p : d.memParts) out += (out.empty() ? "" : ", ") + hex(p.id, 4) + "/" + hex(p.didr, 4);
    return out;
}

void addNotes(ReleaseDiff &d, const ReleaseRead &r, const char *which) {
    for (const std::string &n : r.disk.notes) d.notes.push_back(std::string(which) + " release: " + n);
    for (const std::string &p : r.model.problems) d.notes.push_back(std::string(which) + " release: " + p);
}

} // namespace

void RangeList::add(uint64_t start, uint64_t end) {
    count += end - start;
    if (runs > 0 && start == lastEnd_) {
        if (first.size() == runs) first.back().end = end;
    } else {
        ++runs;
        if (first.size() < kRangesListed) first.push_back({start, end});
    }
    lastEnd_ = end;
}

std::string rangesText(const RangeList &l, bool hexAddresses, const char *dash) {
    std::string out;
    for (const Range &r : l.first) {
        const std::string a = hexAddresses ? hex(r.start, 8) : std::to_string(r.start);
        const std::string b = hexAddresses ? hex(r.end - 1, 8) : std::to_string(r.end - 1);
        out += (out.empty() ? "" : ", ") + (r.start + 1 == r.end ? a : a + dash + b);
    }
    if (l.runs > l.first.size()) out += strprintf(" and %llu more", static_cast<unsigned long long>(l.runs - l.first.size()));
    return out;
}

const char *changeName(Change c) {
    switch (c) {
    case Change::Added: return "added";
    case Change::Removed: return "removed";
    case Change::Changed: break;
    }
    return "changed";
}

bool ReleaseDiff::differs() const {
    bool fatChanged = false;
    for (const FatChange &f : fat) fatChanged = fatChanged || f.added.runs || f.removed.runs || f.changed.runs;
    return otherFlash || !flash.empty() || !code.empty() || codeSection.runs || !cus.empty() || !params.empty() ||
           !e2pBlocks.empty() || fatChanged || !inputs.empty();
}

ReleaseRead readRelease(ReleaseOnDisk disk) {
    ReleaseRead r{std::move(disk), {}};
    r.model = gatherRelease(r.disk.args, r.disk.source, r.disk.flash, std::nullopt, false);
    return r;
}

void compareFlash(const ReleaseModel &a, const ReleaseModel &b, ReleaseDiff &d) {
    if (!a.flash || !b.flash) {
        if (a.flash || b.flash) d.flash.push_back({"flash description", a.flash ? "read" : "unreadable", b.flash ? "read" : "unreadable"});
        return;
    }
    const FlashDesc &x = a.flash->desc, &y = b.flash->desc;
    field(d.flash, "chipId", hex(x.chipId, 4), hex(y.chipId, 4));
    field(d.flash, "chipSubId", hex(x.chipSubId, 4), hex(y.chipSubId, 4));
    field(d.flash, "sizeIn64KB", std::to_string(x.sizeIn64KB), std::to_string(y.sizeIn64KB));
    field(d.flash, "regions", regionsText(x), regionsText(y));
    field(d.flash, "baseAddress", hex(x.baseAddress, 8), hex(y.baseAddress, 8));
    d.otherFlash = !d.flash.empty();
    field(d.flash, "options", hex(x.options, 4), hex(y.options, 4));
    field(d.flash, "cusOffset", hex(x.cusOffset, 8), hex(y.cusOffset, 8));
    field(d.flash, "versionAddr", hex(x.versionAddr, 8), hex(y.versionAddr, 8));
    field(d.flash, "versionAddr1", hex(x.versionAddr1, 8), hex(y.versionAddr1, 8));
    field(d.flash, "memParts", memPartsText(x), memPartsText(y));
    field(d.flash, "flags", hex(x.flags, 8), hex(y.flags, 8));
}

ReleaseDiff compareReleases(const ReleaseRead &a, const ReleaseRead &b) {
    ReleaseDiff d;
    d.oldSource = a.disk.source;
    d.newSource = b.disk.source;
    addNotes(d, a, "old");
    addNotes(d, b, "new");
    // The inputs are compared on a second thread while the images are.
    auto inputs = std::async(std::launch::async, [&] {
        ReleaseDiff part;
        compareInputs(a.model, b.model, part);
        return part;
    });
    compareFlash(a.model, b.model, d);
    compareCode(a, b, d);
    compareParams(a.model, b.model, d);
    compareRai(a.model, b.model, d);
    ReleaseDiff part = inputs.get();
    d.inputs = std::move(part.inputs);
    d.notes.insert(d.notes.end(), part.notes.begin(), part.notes.end());
    return d;
}

} // namespace qvcli
