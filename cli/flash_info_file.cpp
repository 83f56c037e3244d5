#include "cli/flash_info_file.h"

#include "cli/errors.h"
#include "report/format.h"

#include <algorithm>

namespace qvcli {
namespace {

bool endsWith(const std::string &s, const std::string &tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// A region from {"sectorSize": bytes, "count": n} or {"shift": s, "count": n}.
FlashRegion regionFromJson(const Json &j, const std::string &field) {
    checkKnownKeys(j, field, {"sectorSize", "shift", "count"});
    FlashRegion r;
    const bool bySize = j.contains("sectorSize"), byShift = j.contains("shift");
    if (bySize == byShift)
        throw UsageError("field \"" + field + "\": give either \"sectorSize\" (bytes) or \"shift\" (log2 of it)");
    if (bySize) {
        const std::string name = fieldName(field, "sectorSize");
        uint64_t size = unsignedValue(j["sectorSize"], name, uint64_t(1) << 31);
        if (size == 0 || (size & (size - 1)) != 0)
            throw UsageError("field \"" + name + "\": " + std::to_string(size) + " is not a power of two");
        while ((uint64_t(1) << r.shift) != size) ++r.shift;
    } else {
        r.shift = uint16_t(unsignedField(j, "shift", field, 31));
    }
    r.count = uint16_t(unsignedField(j, "count", field, 0xFFFF, true));
    return r;
}

FlashMemPart memPartFromJson(const Json &j, const std::string &field) {
    checkKnownKeys(j, field, {"id", "didr"});
    FlashMemPart m;
    m.id = uint32_t(unsignedField(j, "id", field, 0xFFFFFFFF, true));
    m.didr = uint16_t(unsignedField(j, "didr", field, 0xFFFF));
    return m;
}

void regionsFromJson(const Json &j, const std::string &parent, FlashDesc &d) {
    const std::string field = fieldName(parent, "regions");
    if (!j.contains("regions")) throw UsageError("field \"" + field + "\": is required");
    const Json list = arrayField(j, "regions", parent);
    if (list.empty() || list.size() > qv::kMaxFlashRegions)
        throw UsageError("field \"" + field + "\": must hold 1 to 4 regions, found " + std::to_string(list.size()));
    for (size_t i = 0; i < list.size(); ++i) d.regions.push_back(regionFromJson(list[i], indexName(field, i)));
    d.regionCount = uint8_t(d.regions.size());
}

void memPartsFromJson(const Json &j, const std::string &parent, FlashDesc &d) {
    const std::string field = fieldName(parent, "memParts");
    const Json list = arrayField(j, "memParts", parent);
    if (list.size() > qv::kMaxMemParts)
        throw UsageError("field \"" + field + "\": at most " + std::to_string(qv::kMaxMemParts) + " memory parts");
    for (size_t i = 0; i < list.size(); ++i) d.memParts.push_back(memPartFromJson(list[i], indexName(field, i)));
    d.memPartCount = uint32_t(d.memParts.size());
}

void flagsFromJson(const Json &j, const std::string &parent, FlashDesc &d) {
    d.flags = uint32_t(unsignedField(j, "flags", parent, 0xFFFFFFFF));
    if (!j.contains("interleaved")) return;
    const bool interleaved = boolField(j, "interleaved", parent, false);
    if (j.contains("flags") && interleaved != d.interleaved())
        throw UsageError("field \"" + fieldName(parent, "interleaved") + "\": disagrees with bit 0 of \"" +
                         fieldName(parent, "flags") + "\"");
    d.flags = interleaved ? (d.flags | 1u) : (d.flags & ~1u);
}

// A release manifest names its flash description ("flashInfo") beside the
// rest of a release; what to run with one given where a description belongs.
void refuseManifest(const Json &j, const std::string &path) {
    if (!j.is_object() || !j.contains("flashInfo") || !(j.contains("outputs") || j.contains("images"))) return;
    std::string text = path + ": a release manifest, not a flash description: merge it with \"quorvel merge "
                              "--manifest " + path + "\" or report on its merge with \"quorvel report --manifest " +
                       path + "\"";
    if (j["flashInfo"].is_string())
        text += "; its flash description is " + resolvePath(directoryOf(path), j["flashInfo"].get<std::string>());
    throw InputError(text);
}

} // namespace

FlashDesc flashDescFromJson(const Json &j, const std::string &field) {
    checkKnownKeys(j, field,
                   {"chipId", "chipSubId", "options", "sizeIn64KB", "regions", "baseAddress", "cusOffset",
                    "versionAddr", "versionAddr1", "memParts", "interleaved", "flags"});
    FlashDesc d;
    d.chipId = uint16_t(unsignedField(j, "chipId", field, 0xFFFF));
    d.chipSubId = uint16_t(unsignedField(j, "chipSubId", field, 0xFFFF));
    d.options = uint16_t(unsignedField(j, "options", field, 0xFFFF));
    d.sizeIn64KB = uint16_t(unsignedField(j, "sizeIn64KB", field, 0xFFFF, true));
    if (d.sizeIn64KB == 0) throw UsageError("field \"" + fieldName(field, "sizeIn64KB") + "\": must be at least 1");
    regionsFromJson(j, field, d);
    d.baseAddress = uint32_t(unsignedField(j, "baseAddress", field, 0xFFFFFFFF));
    d.cusOffset = uint32_t(unsignedField(j, "cusOffset", field, 0xFFFFFFFF));
    d.versionAddr = uint32_t(unsignedField(j, "versionAddr", field, 0xFFFFFFFF));
    d.versionAddr1 = uint32_t(unsignedField(j, "versionAddr1", field, 0xFFFFFFFF));
    memPartsFromJson(j, field, d);
    flagsFromJson(j, field, d);
    return d;
}

Json flashDescToJson(const FlashDesc &d) {
    Json j = Json::object();
    j["chipId"] = hex(d.chipId, 4);
    j["chipSubId"] = d.chipSubId;
    j["options"] = d.options;
    j["sizeIn64KB"] = d.sizeIn64KB;
    j["regions"] = Json::array();
    for (const FlashRegion &r : d.regions) {
        Json jr = Json::object();
        if (r.shift < 32) jr["sectorSize"] = hex(uint64_t(1) << r.shift);
        else jr["shift"] = r.shift;
        jr["count"] = r.count;
        j["regions"].push_back(jr);
    }
    j["baseAddress"] = hex(d.baseAddress, 8);
    j["cusOffset"] = hex(d.cusOffset, 8);
    j["versionAddr"] = hex(d.versionAddr, 8);
    j["versionAddr1"] = hex(d.versionAddr1, 8);
    j["memParts"] = Json::array();
    for (const FlashMemPart &m : d.memParts) j["memParts"].push_back({{"id", hex(m.id, 8)}, {"didr", hex(m.didr, 4)}});
    j["interleaved"] = d.interleaved();
    if ((d.flags & ~1u) != 0) j["flags"] = hex(d.flags, 8);
    return j;
}

FlashRecord flashRecordFromBytes(Bytes record, const std::string &path) {
    if (auto why = qv::flashRecordShortfall(record)) throw InputError(path + ": " + *why);
    return qv::flashRecordFrom(std::move(record));
}

FlashRecord loadFlashRecord(const std::string &path) {
    if (endsWith(path, ".json")) {
        const Json j = parseJson(readTextFile(path, kJsonBound), path);
        refuseManifest(j, path);
        try {
            return qv::flashRecordOf(flashDescFromJson(j, ""));
        } catch (const UsageError &e) {
            throw UsageError(path + ": " + e.what());
        }
    }
    return flashRecordFromBytes(readWholeFile(path, kRecordBound), path);
}

} // namespace qvcli
