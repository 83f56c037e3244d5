#include "entry/strict_inputs.h"

#include "base/results.h"
#include "input/inputs.h"
#include "base/log.h"
#include "e2p/e2p_file.h"

#include "base/system.h"

namespace qv {
namespace {

int fail(std::string &msg, int code, const std::string &path, const std::string &why) {
    msg = strprintf("%s: %s", path.c_str(), why.c_str());
    return code;
}

// Exists, is a regular file, opens for reading.
int checkReadable(const std::string &path, std::string &msg) {
    const sys::FileKind kind = sys::fileStatus(path).kind;
    if (kind == sys::FileKind::none || kind == sys::FileKind::noFolder)
        return fail(msg, kErrInputMissing, path, "no such file");
    if (kind == sys::FileKind::error)
        return fail(msg, kErrInputUnreadable, path, "cannot be read: " + sys::lastError());
    if (kind != sys::FileKind::regular) return fail(msg, kErrInputNotRegular, path, "not a regular file");
    if (!File(path, "rb")) return fail(msg, kErrInputUnreadable, path, "cannot be read: " + sys::lastError());
    return 0;
}

int kindByte(const std::string &path) {
    File f(path, "rb");
    return f ? file_kind_byte(f) : -1;
}

std::string kindText(int kind) { return kind < 0 ? "none" : std::to_string(kind); }

// Why an element of the image list is not what its name makes it; empty
// when it is. A name the sorting does not know is a code file.
std::string imageProblem(const std::string &path) {
    const std::string ext = get_file_ext(path);
    if (ext == "wpb")
        return is_wpb_file(path) ? "" : "a .wpb file needs to be a compressed input (magic 0x5A57 at offset 16)";
    if (ext == "fat")
        return is_fat_file(path) ? ""
                                 : "a .fat file needs kind byte 22 or 23 at offset 9 (FAT image), this one has " +
                                       kindText(kindByte(path));
    File f(path, "rb");
    int64_t length = f ? f.length() : -1;
    if (length > 16) return "";
    return strprintf("a code file needs a 16-byte header and a code section, this one has %lld bytes",
                     static_cast<long long>(length));
}

int checkImages(const std::vector<std::string> &images, std::string &msg) {
    const std::string *firstCode = nullptr;
    for (const std::string &path : images) {
        if (std::string why = imageProblem(path); !why.empty())
            return fail(msg, kErrInputNotRecognised, path, "not recognised: " + why);
        uint32_t type = 0;
        if ((is_wpb_file(path, &type) && type == kWpbTypeRai) || is_fat_file(path)) continue;
        if (firstCode)
            return fail(msg, kErrSecondCodeFile, path,
                        "a second code file (the first is " + *firstCode + "); only one is merged");
        firstCode = &path;
    }
    return 0;
}

int checkPatches(const std::vector<std::string> &patches, bool withCus, std::string &msg) {
    const std::string *dsp = nullptr, *mcp = nullptr;
    for (const std::string &path : patches) {
        const bool isDsp = is_dsp_patch_file(path);
        if (!isDsp && !is_mcp_file(path))
            return fail(msg, kErrInputNotRecognised, path,
                        "not recognised: needs to be .pat with kind byte 6 (DSP patch) or have kind byte 25 (MCP "
                        "file), this one has " + kindText(kindByte(path)));
        const std::string *&first = isDsp ? dsp : mcp;
        if (first)
            return fail(msg, isDsp ? kErrSecondDspFile : kErrSecondMcpFile, path,
                        strprintf("a second %s file (the first is %s); only one is merged", isDsp ? "DSP patch" : "MCP",
                                  first->c_str()));
        if (!withCus)
            return fail(msg, kErrPatchUnused, path,
                        "not used: DSP patch and MCP files go into the CUS area, and no CUS file is given");
        first = &path;
    }
    return 0;
}

int checkE2pFiles(const std::vector<std::string> &files, std::string &msg) {
    for (const std::string &path : files) {
        CE2pFile table;
        if (int r = table.Load(path, 0, &msg); r < 0) return r;
        if (table.GetObjCount() == 0) return fail(msg, kErrNoE2pObject, path, "no E2P object loads from it");
    }
    return 0;
}

} // namespace

int checkStrictInputs(const HostLists &in, std::string &msg) {
    for (const std::vector<std::string> *list : {&in.images, &in.patches, &in.cus, &in.e2pFiles})
        for (const std::string &path : *list)
            if (int r = checkReadable(path, msg)) return r;
    if (int r = checkImages(in.images, msg)) return r;
    if (int r = checkPatches(in.patches, !in.cus.empty(), msg)) return r;
    return checkE2pFiles(in.e2pFiles, msg);
}

} // namespace qv
