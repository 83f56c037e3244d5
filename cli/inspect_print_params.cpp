// The parameters of an E2P image by name, as `inspect` prints them.
#include "cli/inspect_print.h"
#include "report/files.h"
#include "report/format.h"

#include <cstdio>

namespace qvcli {
namespace {

std::string joined(const std::vector<std::string> &list) {
    std::string out;
    for (const std::string &s : list) out += (out.empty() ? "" : ", ") + s;
    return out;
}

// What the list says of an object besides its values: its file, what it
// replaces, what writes over it, why it was not written.
std::string paramNote(const qv::E2pParam &p) {
    std::string note = fileName(p.file);
    if (!p.replaces.empty()) note += "; replaces " + joined(p.replaces);
    if (!p.overwrittenBy.empty()) note += "; partly overwritten by " + joined(p.overwrittenBy);
    if (!p.written) note += "; not written: " + p.notWritten;
    return note;
}

} // namespace

Json paramValueJson(const qv::E2pParamValue &v) {
    Json j = {{"type", v.typeName}, {"stored", v.stored}, {"placeholder", v.placeholder}};
    if (v.type == qv::kE2pAscii) j["value"] = v.text;
    else j["value"] = v.number;
    j["text"] = qv::e2pValueText(v);
    return j;
}

Json paramJson(const qv::E2pParam &p, const qv::E2pParamNow &now) {
    Json j = {{"name", p.name}, {"file", p.file},   {"address", p.address}, {"offset", p.offset},
              {"size", p.size}, {"types", qv::e2pTypesText(p)}, {"written", p.written}};
    if (!p.written) j["notWritten"] = p.notWritten;
    j["values"] = Json::array();
    for (const qv::E2pParamValue &v : now.values) j["values"].push_back(paramValueJson(v));
    j["bytes"] = hexBytes(now.bytes.data(), now.bytes.size());
    j["replaces"] = p.replaces;
    j["overwrittenBy"] = p.overwrittenBy;
    return j;
}

Json blocksJson(const std::vector<E2pChangedBlock> &blocks) {
    Json out = Json::array();
    for (const E2pChangedBlock &c : blocks)
        out.push_back({{"address", c.address}, {"base", hexBytes(c.before, 16)}, {"now", hexBytes(c.after, 16)}});
    return out;
}

void printParams(const qv::E2pImageParams &r) {
    std::printf("parameters: %zu objects\n", r.table.params.size());
    if (!r.table.params.empty())
        std::printf("  %-20s %-7s %-7s %-5s %-12s %s\n", "name", "address", "offset", "size", "types", "values");
    for (size_t i = 0; i < r.table.params.size(); ++i) {
        const qv::E2pParam &p = r.table.params[i];
        std::printf("  %-20s %-7d %-7s %-5d %-12s %s  (%s)\n", p.name.c_str(), p.address, hex(p.offset, 4).c_str(),
                    p.size, qv::e2pTypesText(p).c_str(), qv::e2pValuesText(r.now[i]).c_str(), paramNote(p).c_str());
    }
    std::printf("changed bytes no object covers: %zu block%s\n", r.uncovered.size(), r.uncovered.size() == 1 ? "" : "s");
    for (const E2pChangedBlock &c : r.uncovered) {
        std::printf("  %s  base  %s\n", hex(c.address, 4).c_str(), hexBytes(c.before, 16).c_str());
        std::printf("          now   %s\n", hexBytes(c.after, 16).c_str());
    }
}

Json paramsJson(const qv::E2pImageParams &r) {
    Json out = Json::array();
    for (size_t i = 0; i < r.table.params.size(); ++i) out.push_back(paramJson(r.table.params[i], r.now[i]));
    return out;
}

} // namespace qvcli
