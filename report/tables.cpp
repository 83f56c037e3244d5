// The files of the release and the flash description, as tables.
#include "report/format.h"
#include "report/html.h"
#include "report/render.h"

namespace qvcli {
namespace {

std::string sizeCell(const FileFacts &f) { return f.exists ? std::to_string(f.size) : "\u2013"; }

std::string digestCell(const FileFacts &f) {
    if (!f.exists) return "<span class=\"bad\">no file</span>";
    return f.sha256.empty() ? "<span class=\"bad\">cannot be read</span>" : "<code class=\"sha\">" + f.sha256 + "</code>";
}

// The type code of an output entry with the image it stands for.
std::string typeCell(uint32_t type) {
    const char *name = type == QUORVEL_TYPE_CODE ? "code image"
                       : type == QUORVEL_TYPE_E2P ? "E2P image"
                       : type == QUORVEL_TYPE_RAI ? "RAI image"
                                                  : "unknown type";
    return mono(hex(type, 7)) + " " + name;
}

std::vector<std::string> field(const std::string &name, const std::string &value) { return {esc(name), value}; }

std::string fieldsTable(const FlashDesc &d) {
    const std::vector<std::vector<std::string>> rows = {
        field("chipId", mono(hex(d.chipId, 4)) + strprintf(" (%u)", d.chipId)),
        field("chipSubId", mono(hex(d.chipSubId, 4)) + strprintf(" (%u)", d.chipSubId)),
        field("options", mono(hex(d.options, 4)) + strprintf(" (%u)", d.options)),
        field("sizeIn64KB", strprintf("%u (", d.sizeIn64KB) + esc(kb(qv::flashBytes(d.sizeIn64KB))) + ")"),
        field("regionCount", std::to_string(d.regionCount)),
        field("baseAddress", mono(hex(d.baseAddress, 8))),
        field("cusOffset", mono(hex(d.cusOffset, 8))),
        field("versionAddr", mono(hex(d.versionAddr, 8))),
        field("versionAddr1", mono(hex(d.versionAddr1, 8)) + strprintf(" (trace version %u)", qv::traceVersion(d.versionAddr1))),
        field("memPartCount", std::to_string(d.memPartCount)),
        field("flags", mono(hex(d.flags, 8)) + (d.interleaved() ? " (interleaved layout)" : " (plain layout)")),
    };
    return table({"field", "value"}, rows, "fields");
}

std::string regionsTable(const ReleaseModel &m) {
    std::vector<std::vector<std::string>> rows;
    for (size_t k = 0; k < m.regions.size(); ++k) {
        const qv::RegionRange &r = m.regions[k];
        rows.push_back({std::to_string(k), mono(hex(r.sectorSize)) + " (" + esc(kb(r.sectorSize)) + ")",
                        std::to_string(r.count), mono(hex(r.start, 8)), mono(hex(r.end, 8))});
    }
    return table({"region", "sector size", "count", "start", "end"}, rows);
}

std::string memPartsTable(const FlashDesc &d) {
    std::vector<std::vector<std::string>> rows;
    for (size_t i = 0; i < d.memParts.size(); ++i)
        rows.push_back({std::to_string(i), mono(hex(d.memParts[i].id, 8)), mono(hex(d.memParts[i].didr, 4))});
    return table({"memory part", "id", "didr"}, rows);
}

} // namespace

std::string renderInputs(const ReleaseModel &m) {
    std::vector<std::vector<std::string>> rows;
    for (const InputFile &in : m.inputs)
        rows.push_back({esc(in.kind), mono(in.file.path), sizeCell(in.file), digestCell(in.file),
                        in.used ? esc(in.usedFor) : "<span class=\"unused\">" + esc(in.usedFor) + "</span>"});
    return table({"kind", "file", "size", "SHA-256", "used for"}, rows, "files");
}

std::string renderOutputs(const ReleaseModel &m) {
    std::vector<std::vector<std::string>> rows;
    for (const OutputFile &o : m.outputs) {
        const bool show = o.produced;
        rows.push_back({esc(o.image), show ? typeCell(o.type) : "\u2013", show ? mono(hex(o.flashAddress, 8)) : "\u2013",
                        show ? std::to_string(o.size) : sizeCell(o.file), o.file.exists ? digestCell(o.file) : "\u2013",
                        mono(o.file.path), esc(o.note)});
    }
    return table({"image", "type", "flash address", "size", "SHA-256", "file", "note"}, rows, "files");
}

std::string renderFlashInfo(const ReleaseModel &m) {
    if (!m.flash) return "<p class=\"none\">The flash description could not be read.</p>\n";
    return "<div class=\"pair\">" + fieldsTable(m.flash->desc) + "<div>" + regionsTable(m) + memPartsTable(m.flash->desc) +
           "</div></div>\n" +
           strprintf("<p>Bank base %s, flash end %s.</p>\n", mono(hex(m.bankBase, 8)).c_str(),
                   mono(hex(m.flashEnd, 8)).c_str());
}

} // namespace qvcli
