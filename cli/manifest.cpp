#include "cli/errors.h"
#include "cli/flash_info_file.h"
#include "cli/json_fields.h"
#include "cli/merge_args.h"

namespace qvcli {
namespace {

std::vector<std::string> resolveAll(const std::string &dir, std::vector<std::string> paths) {
    for (std::string &p : paths) p = resolvePath(dir, p);
    return paths;
}

void readFlashInfo(const Json &j, const std::string &dir, MergeArgs &a) {
    auto it = j.find("flashInfo");
    if (it == j.end()) return;
    if (it->is_object()) {
        a.flashInfoRecord = qv::encodeFlashDesc(flashDescFromJson(*it, "flashInfo"));
        return;
    }
    if (!it->is_string() || it->get<std::string>().empty())
        throw UsageError("field \"flashInfo\": must be a path to a FlashInfo record or a flash description object");
    a.flashInfoPath = resolvePath(dir, it->get<std::string>());
}

void readOutputs(const Json &j, const std::string &outDir, MergeArgs &a) {
    auto it = j.find("outputs");
    if (it == j.end()) return;
    checkKnownKeys(*it, "outputs", {"code", "e2p", "rai"});
    a.outCode = resolvePath(outDir, stringField(*it, "code", "outputs"));
    a.outE2p = resolvePath(outDir, stringField(*it, "e2p", "outputs"));
    a.outRai = resolvePath(outDir, stringField(*it, "rai", "outputs"));
}

} // namespace

MergeArgs loadManifest(const std::string &path, const std::string &outDir) {
    const Json j = parseJson(readTextFile(path, kJsonBound), path);
    const std::string dir = directoryOf(path);
    const std::string out = outDir.empty() ? dir : outDir;
    MergeArgs a;
    try {
        checkKnownKeys(j, "", {"flashInfo", "images", "patches", "cus", "e2pFiles", "e2pBase", "e2pArea",
                               "e2pAreaOut", "outputs", "log", "eraseAll", "record"});
        readFlashInfo(j, dir, a);
        a.images = resolveAll(dir, stringListField(j, "images", ""));
        a.patches = resolveAll(dir, stringListField(j, "patches", ""));
        a.cus = resolveAll(dir, stringListField(j, "cus", ""));
        a.e2pFiles = resolveAll(dir, stringListField(j, "e2pFiles", ""));
        a.e2pBase = resolvePath(dir, stringField(j, "e2pBase", ""));
        a.e2pArea = resolvePath(dir, stringField(j, "e2pArea", ""));
        a.e2pAreaOut = resolvePath(out, stringField(j, "e2pAreaOut", ""));
        readOutputs(j, out, a);
        a.log = resolvePath(out, stringField(j, "log", ""));
        a.record = resolvePath(out, stringField(j, "record", ""));
        a.eraseAll = boolField(j, "eraseAll", "", false);
    } catch (const UsageError &e) {
        throw UsageError("manifest " + path + ": " + e.what());
    }
    return a;
}

MergeArgs overrideWith(MergeArgs m, const MergeArgs &f, bool eraseAllGiven) {
    auto over = [](std::string &dst, const std::string &src) {
        if (!src.empty()) dst = src;
    };
    auto overList = [](std::vector<std::string> &dst, const std::vector<std::string> &src) {
        if (!src.empty()) dst = src;
    };
    if (!f.flashInfoPath.empty()) {
        m.flashInfoPath = f.flashInfoPath;
        m.flashInfoRecord.reset();
    }
    over(m.e2pBase, f.e2pBase);
    over(m.e2pArea, f.e2pArea);
    over(m.e2pAreaOut, f.e2pAreaOut);
    overList(m.images, f.images);
    overList(m.patches, f.patches);
    overList(m.cus, f.cus);
    overList(m.e2pFiles, f.e2pFiles);
    over(m.outCode, f.outCode);
    over(m.outE2p, f.outE2p);
    over(m.outRai, f.outRai);
    over(m.log, f.log);
    over(m.record, f.record);
    over(m.outFlash, f.outFlash);
    if (eraseAllGiven) m.eraseAll = f.eraseAll;
    return m;
}

} // namespace qvcli
