// The release record as JSON, and read back with every field checked.
#include "cli/errors.h"
#include "cli/flash_info_file.h"
#include "cli/paths.h"
#include "cli/record.h"
#include "report/format.h"

#include <algorithm>
#include <filesystem>

namespace qvcli {
namespace {

std::string hex32(uint32_t v) { return strprintf("0x%08X", v); }

Json fileJson(const RecordFile &f) {
    return Json{{"path", f.path}, {"exists", f.exists}, {"size", f.size}, {"sha256", f.sha256}};
}

std::string textField(const Json &j, const char *key, const std::string &parent) {
    auto it = j.find(key);
    if (it == j.end()) return "";
    if (!it->is_string()) throw UsageError("field \"" + fieldName(parent, key) + "\": must be a string");
    return it->get<std::string>();
}

RecordFile fileFrom(const Json &j, const std::string &field) {
    requireObject(j, field);
    checkKnownKeys(j, field, {"path", "exists", "size", "sha256"});
    RecordFile f;
    f.path = stringField(j, "path", field);
    f.exists = boolField(j, "exists", field, false);
    f.size = unsignedField(j, "size", field, UINT64_MAX, true);
    // Empty for a file that did not exist when the record was written.
    f.sha256 = textField(j, "sha256", field);
    if (!f.sha256.empty() && (f.sha256.size() != 64 || f.sha256.find_first_not_of("0123456789abcdef") != std::string::npos))
        throw UsageError("field \"" + fieldName(field, "sha256") + "\": not 64 lower-case hex digits");
    return f;
}

RecordInput inputFrom(const Json &j, const std::string &field) {
    requireObject(j, field);
    checkKnownKeys(j, field, {"list", "kind", "path", "exists", "size", "sha256", "used", "usedFor"});
    RecordInput in;
    in.list = stringField(j, "list", field);
    static const char *kLists[] = {"flashInfo", "images", "patches", "cus", "e2pFiles", "e2pBase", "e2pArea", "manifest"};
    if (std::find(std::begin(kLists), std::end(kLists), in.list) == std::end(kLists))
        throw UsageError("field \"" + fieldName(field, "list") + "\": \"" + in.list + "\" is no merge input");
    in.kind = textField(j, "kind", field);
    Json file = j;
    for (const char *k : {"list", "kind", "used", "usedFor"}) file.erase(k);
    in.file = fileFrom(file, field);
    in.used = boolField(j, "used", field, true);
    in.usedFor = textField(j, "usedFor", field);
    return in;
}

RecordOutput outputFrom(const Json &j, const std::string &field, const char *image) {
    requireObject(j, field);
    checkKnownKeys(j, field, {"image", "produced", "type", "address", "size", "file"});
    RecordOutput o;
    o.image = stringField(j, "image", field);
    if (o.image != image)
        throw UsageError("field \"" + fieldName(field, "image") + "\": \"" + o.image + "\" where \"" + image + "\" belongs");
    o.produced = boolField(j, "produced", field, false);
    o.type = uint32_t(unsignedField(j, "type", field, UINT32_MAX, true));
    o.address = uint32_t(unsignedField(j, "address", field, UINT32_MAX, true));
    o.size = uint32_t(unsignedField(j, "size", field, UINT32_MAX, true));
    o.file = fileFrom(j.at("file"), fieldName(field, "file"));
    return o;
}

RecordAreas areasFrom(const Json &j, const std::string &field) {
    requireObject(j, field);
    checkKnownKeys(j, field, {"raiBase", "traceBase", "e2pBase", "top"});
    RecordAreas a;
    a.raiBase = uint32_t(unsignedField(j, "raiBase", field, UINT32_MAX, true));
    a.traceBase = uint32_t(unsignedField(j, "traceBase", field, UINT32_MAX, true));
    a.e2pBase = uint32_t(unsignedField(j, "e2pBase", field, UINT32_MAX, true));
    a.top = uint32_t(unsignedField(j, "top", field, uint64_t(UINT32_MAX) + 1, true));
    if (!(a.raiBase <= a.traceBase && a.traceBase <= a.e2pBase && a.e2pBase <= a.top))
        throw UsageError("field \"" + field + "\": the areas are not in ascending order");
    return a;
}

void readBody(const Json &j, ReleaseRecord &r) {
    checkKnownKeys(j, "", {"format", "version", "tool", "recordedTime", "flash", "eraseAll", "inputs", "outputs",
                           "mergedArea", "log", "result", "areas"});
    r.tool = stringField(j, "tool", "");
    auto t = j.find("recordedTime");
    if (t != j.end() && !t->is_null()) r.recordedTime = int64_t(unsignedField(j, "recordedTime", "", INT64_MAX));
    const Json flash = j.at("flash");
    requireObject(flash, "flash");
    checkKnownKeys(flash, "flash", {"description", "recordSha256"});
    r.flash = flashDescFromJson(flash.at("description"), "flash.description");
    r.flashRecordSha256 = stringField(flash, "recordSha256", "flash");
    r.eraseAll = boolField(j, "eraseAll", "", false);
    const Json inputs = arrayField(j, "inputs", "");
    for (size_t i = 0; i < inputs.size(); ++i) r.inputs.push_back(inputFrom(inputs[i], indexName("inputs", i)));
    const Json outputs = arrayField(j, "outputs", "");
    static const char *kImages[] = {"code", "e2p", "rai"};
    if (outputs.size() != 3) throw UsageError("field \"outputs\": must list the code, E2P and RAI images");
    for (size_t i = 0; i < 3; ++i) r.outputs.push_back(outputFrom(outputs[i], indexName("outputs", i), kImages[i]));
    if (j.contains("mergedArea")) r.mergedArea = fileFrom(j.at("mergedArea"), "mergedArea");
    r.log = fileFrom(j.at("log"), "log");
    const Json result = j.at("result");
    requireObject(result, "result");
    checkKnownKeys(result, "result", {"code", "message", "cause"});
    auto code = result.find("code");
    if (code == result.end() || !code->is_number_integer() || code->get<int64_t>() > 0 || code->get<int64_t>() < INT32_MIN)
        throw UsageError("field \"result.code\": must be 0 or a negative 32-bit number");
    r.result = int32_t(code->get<int64_t>());
    r.message = textField(result, "message", "result");
    r.cause = textField(result, "cause", "result");
    if (j.contains("areas")) r.areas = areasFrom(j.at("areas"), "areas");
}

} // namespace

const RecordOutput *ReleaseRecord::output(const std::string &image) const {
    for (const RecordOutput &o : outputs)
        if (o.image == image) return &o;
    return nullptr;
}

std::string ReleaseRecord::pathOf(const RecordFile &f) const { return resolvePath(folder, f.path); }

Json recordToJson(const ReleaseRecord &r) {
    Json j;
    j["format"] = kRecordFormat;
    j["version"] = r.version;
    j["tool"] = r.tool;
    j["recordedTime"] = r.recordedTime ? Json(uint64_t(*r.recordedTime)) : Json(nullptr); // never negative
    j["flash"] = Json{{"description", flashDescToJson(r.flash)}, {"recordSha256", r.flashRecordSha256}};
    j["eraseAll"] = r.eraseAll;
    j["inputs"] = Json::array();
    for (const RecordInput &in : r.inputs) {
        Json e{{"list", in.list}, {"kind", in.kind}};
        e.update(fileJson(in.file));
        e["used"] = in.used;
        e["usedFor"] = in.usedFor;
        j["inputs"].push_back(e);
    }
    j["outputs"] = Json::array();
    for (const RecordOutput &o : r.outputs)
        j["outputs"].push_back(Json{{"image", o.image}, {"produced", o.produced}, {"type", hex32(o.type)},
                                    {"address", hex32(o.address)}, {"size", o.size}, {"file", fileJson(o.file)}});
    if (r.mergedArea) j["mergedArea"] = fileJson(*r.mergedArea);
    j["log"] = fileJson(r.log);
    j["result"] = Json{{"code", r.result}, {"message", r.message}, {"cause", r.cause}};
    if (r.areas)
        j["areas"] = Json{{"raiBase", hex32(r.areas->raiBase)}, {"traceBase", hex32(r.areas->traceBase)},
                          {"e2pBase", hex32(r.areas->e2pBase)}, {"top", strprintf("0x%llX", (unsigned long long)r.areas->top)}};
    return j;
}

ReleaseRecord recordFromJson(const Json &j, const std::string &what) {
    if (!j.is_object() || j.value("format", Json()) != Json(kRecordFormat))
        throw InputError(what + ": not a release record (no \"format\": \"" + kRecordFormat + "\")");
    const Json v = j.value("version", Json());
    if (!v.is_number_integer() || v.get<int64_t>() != kRecordVersion)
        throw InputError(what + ": a release record of format version " + v.dump() + "; this quorvel reads version " +
                         std::to_string(kRecordVersion));
    ReleaseRecord r;
    try {
        readBody(j, r);
    } catch (const UsageError &e) {
        throw InputError(what + ": " + e.what());
    } catch (const Json::exception &e) {
        throw InputError(what + ": a required field is missing or of the wrong type (" + std::string(e.what()) + ")");
    }
    return r;
}

ReleaseRecord readRecord(const std::string &path) {
    ReleaseRecord r;
    try {
        r = recordFromJson(parseJson(readTextFile(path, kJsonBound), path), path);
    } catch (const UsageError &e) {
        throw InputError(e.what()); // not JSON: a file that is not what it should be
    }
    r.folder = directoryOf(path);
    return r;
}

} // namespace qvcli
