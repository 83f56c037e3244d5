// The folded details: CUS records, the E2P journal and the parameter blocks
// it changes, the RAI sectors and their items grouped per FAT image, and the
// merge log.
#include "report/format.h"
#include "report/areas.h"
#include "report/html.h"
#include "report/render.h"

#include <algorithm>
#include <tuple>

namespace qvcli {
namespace {

constexpr size_t kMaxGroups = 400; // item groups listed; the rest are counted

std::string cusRecords(const ReleaseModel &m) {
    const CodeImageContents &c = *m.code;
    std::vector<std::vector<std::string>> rows;
    for (const CusRecord &r : c.records) {
        std::string kind = cusRecordKind(r.ident);
        if (!r.chunks.empty()) kind += strprintf(", %zu chunks (first %u bytes)", r.chunks.size() + 1, r.firstChunk);
        rows.push_back({mono(hex(r.offset, 8)), mono(hex(m.codeAddress + r.offset, 8)), mono(hex(r.linkWord, 8)),
                        std::to_string(r.length), mono(identText(r.ident.data())), esc(kind)});
    }
    const std::string summary = strprintf("CUS records: %zu, CUS length %llu bytes", c.records.size(),
                                        static_cast<unsigned long long>(c.cusLength()));
    return folded(esc(summary), table({"offset", "flash address", "link", "length", "ident", "kind"}, rows));
}

std::string checkCell(uint8_t stored, uint8_t computed, bool ok) {
    return ok ? mono(hex(stored, 2)) + " ok" : "<span class=\"bad\">" + mono(hex(stored, 2)) + " (computed " +
                                                   mono(hex(computed, 2)) + ")</span>";
}

std::string journalRecords(const E2pJournal &j) {
    std::vector<std::vector<std::string>> rows;
    for (const E2pJournalRecord &r : j.records)
        rows.push_back({mono(hex(r.at, 6)), mono(hex(r.address, 4)), std::to_string(r.length),
                        checkCell(r.storedHeaderCheck, r.computedHeaderCheck, true),
                        r.dataReadable ? checkCell(r.storedDataCheck, r.computedDataCheck, r.dataCheckMatches())
                                       : "<span class=\"bad\">data past the area's end</span>"});
    return folded(strprintf("E2P journal records: %zu, ending at %s (%s)", j.records.size(), hex(j.endAt, 4).c_str(),
                          esc(j.endReason).c_str()),
                  table({"at", "address", "length", "header check", "data check"}, rows));
}

// The objects that lie in a block, each with its values in the base and now.
std::string blockObjects(const ReleaseModel &m, uint32_t address) {
    if (!m.params) return "";
    std::string out;
    const qv::E2pImageParams &p = *m.params;
    for (size_t i = 0; i < p.table.params.size(); ++i) {
        const qv::E2pParam &o = p.table.params[i];
        if (!o.written || o.offset >= address + 16 || o.offset + uint32_t(uint16_t(o.size)) <= address) continue;
        out += (out.empty() ? "" : "<br>") + mono(o.name) + " " + esc(qv::e2pValuesText(p.before[i])) + " \u2192 " +
               esc(qv::e2pValuesText(p.now[i]));
    }
    return out;
}

std::string changedBlocks(const ReleaseModel &m) {
    std::vector<std::vector<std::string>> rows;
    for (const E2pChangedBlock &c : m.changed)
        rows.push_back({mono(hex(c.address, 4)), mono(hexBytes(c.before, 16)), mono(hexBytes(c.after, 16)),
                        blockObjects(m, c.address)});
    return folded(strprintf("E2P parameter blocks the journal changes: %zu", m.changed.size()),
                  table({"address", "base", "now", "objects in it: base \u2192 now"}, rows));
}

std::string raiSectors(const RaiStoreContents &img) {
    std::vector<std::vector<std::string>> rows;
    for (const RaiSector &s : img.sectors) {
        const uint64_t used = sectorUsedBytes(s);
        rows.push_back({std::to_string(s.index), mono(hex(img.layout.base + s.offset, 8)),
                        std::string("<i class=\"sw ") + sectorClass(s.kind) + "\"></i>" + raiSectorKindName(s.kind),
                        std::to_string(s.items.size()), std::to_string(used),
                        strprintf("%.0f %%", 100.0 * double(used) / double(std::max<uint64_t>(1, sectorCapacity(img)))),
                        esc(s.problem)});
    }
    return folded(strprintf("RAI sectors: %zu", img.sectors.size()),
                  table({"sector", "address", "state", "items", "used bytes", "fill", "problem"}, rows));
}

// A run of items of one FAT image with consecutive sector numbers, all valid
// or all deleted, wherever the store put them (it fills its sectors in its
// own order), with the sectors and addresses they span.
struct ItemGroup {
    FsImage image = FsImage::None;
    uint32_t firstNumber = 0, count = 0, firstSector = 0, lastSector = 0;
    uint32_t firstAddress = 0, lastAddress = 0;
    bool valid = true;
};

std::vector<ItemGroup> itemGroups(const RaiStoreContents &img) {
    std::vector<ItemGroup> items;
    for (const RaiSector &s : img.sectors)
        for (const RaiItem &it : s.items) {
            const FsSectorRef f = fsSectorOf(it.id);
            const uint32_t address = img.layout.base + it.offset;
            items.push_back({f.image, f.image == FsImage::None ? it.id : f.number, 1, s.index, s.index, address,
                             address, it.valid});
        }
    std::sort(items.begin(), items.end(), [](const ItemGroup &a, const ItemGroup &b) {
        return std::tie(a.image, b.valid, a.firstNumber) < std::tie(b.image, a.valid, b.firstNumber);
    });
    std::vector<ItemGroup> out;
    for (const ItemGroup &it : items) {
        ItemGroup *g = out.empty() ? nullptr : &out.back();
        if (!g || g->image != it.image || g->valid != it.valid || g->firstNumber + g->count != it.firstNumber) {
            out.push_back(it);
            continue;
        }
        ++g->count;
        g->firstSector = std::min(g->firstSector, it.firstSector);
        g->lastSector = std::max(g->lastSector, it.lastSector);
        g->firstAddress = std::min(g->firstAddress, it.firstAddress);
        g->lastAddress = std::max(g->lastAddress, it.lastAddress);
    }
    return out;
}

void groupRow(const ItemGroup &g, std::vector<std::vector<std::string>> &rows) {
    static const char *const kNames[] = {"user FAT", "hidden FAT", "other items"};
    const bool fat = g.image != FsImage::None;
    const std::string first = fat ? std::to_string(g.firstNumber) : hex(g.firstNumber, 8);
    const std::string last = fat ? std::to_string(g.firstNumber + g.count - 1) : hex(g.firstNumber + g.count - 1, 8);
    rows.push_back({kNames[int(g.image)], g.count == 1 ? first : first + " \u2013 " + last, std::to_string(g.count),
                    g.firstSector == g.lastSector ? std::to_string(g.firstSector)
                                                  : std::to_string(g.firstSector) + " \u2013 " + std::to_string(g.lastSector),
                    mono(hex(g.firstAddress, 8)) + " \u2013 " + mono(hex(g.lastAddress, 8)),
                    g.valid ? "valid" : "<span class=\"unused\">deleted</span>"});
}

std::string raiItems(const RaiStoreContents &img) {
    const std::vector<ItemGroup> groups = itemGroups(img);
    std::vector<std::vector<std::string>> rows;
    uint32_t perImage[3] = {0, 0, 0};
    for (size_t i = 0; i < groups.size(); ++i) {
        perImage[int(groups[i].image)] += groups[i].count;
        if (i < kMaxGroups) groupRow(groups[i], rows);
    }
    std::string body = table({"FAT image", "sectors (identifiers for other items)", "items", "RAI sectors",
                              "item addresses", "state"}, rows);
    if (groups.size() > kMaxGroups)
        body += strprintf("<p>%zu more groups are left out.</p>\n", groups.size() - kMaxGroups);
    return folded(strprintf("RAI items per FAT image: %u user FAT, %u hidden FAT, %u other (%zu groups of consecutive sectors)",
                          perImage[0], perImage[1], perImage[2], groups.size()),
                  body);
}

std::string mergeLog(const ReleaseModel &m) {
    std::string body = "<pre class=\"log\">" + esc(m.log) + "</pre>\n";
    if (m.logLinesLeftOut)
        body = strprintf("<p>The log is long: %llu lines in its middle are left out.</p>\n",
                       static_cast<unsigned long long>(m.logLinesLeftOut)) + body;
    return folded("Merge log", body);
}

} // namespace

std::string renderDetails(const ReleaseModel &m) {
    std::string out;
    if (m.code && m.code->hasCusArea) out += cusRecords(m);
    if (m.journal) out += journalRecords(*m.journal) + changedBlocks(m);
    if (m.rai) out += raiSectors(*m.rai) + raiItems(*m.rai);
    if (!m.log.empty()) out += mergeLog(m);
    return out.empty() ? "<p class=\"none\">No output could be read.</p>\n" : out;
}

} // namespace qvcli
