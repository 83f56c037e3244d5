#include "entry/strict_inputs.h"

#include "base/results.h"
#include "input/inputs.h"
#include "base/log.h"
#include "e2p/e2p_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {
namespace {

// The message names the file and says what is wrong; the cause, when there
// is one, says where or what more.
struct Refusal {
    std::string &msg;
    Cause *why;

    int operator()(int code, const std::string &path, const std::string &what, const std::string &cause = "") const {
        msg = strprintf("%s: %s", path.c_str(), what.c_str());
        if (why && !cause.empty()) {
            why->explain("%s", cause.c_str());
            why->name(path);
        }
        return code;
    }
};

// Where a path that names nothing breaks off: the first of its folders that
// is missing or is no folder.
std::string whereMissing(const std::string &path) {
    namespace fs = std::filesystem;
    fs::path walked;
    for (const fs::path &part : fs::path(path)) {
        fs::path next = walked / part;
        struct stat st {};
        if (::stat(next.c_str(), &st) != 0) {
            if (walked.empty()) return "nothing named " + next.string() + " here";
            if (::stat(walked.c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
                return walked.string() + " is a file, not a folder";
            return "the folder " + walked.string() + " holds no " + part.string();
        }
        walked = next;
    }
    return "it went away while it was looked up";
}

const char *typeName(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISFIFO(mode)) return "a pipe";
    if (S_ISSOCK(mode)) return "a socket";
    return "no regular file";
}

// Why a file that exists cannot be opened, beside the system's reason: who
// may read it.
std::string unreadable(const struct stat &st, int error) {
    std::string reason = std::strerror(error);
    if (error != EACCES) return reason;
    return strprintf("%s: mode %04o, owner %u, group %u; the merge runs as user %u", reason.c_str(),
                     unsigned(st.st_mode & 07777), unsigned(st.st_uid), unsigned(st.st_gid), unsigned(::geteuid()));
}

// Exists, is a regular file, opens for reading.
int checkReadable(const std::string &path, const Refusal &refuse) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR)
            return refuse(kErrInputMissing, path, "no such file", whereMissing(path));
        const std::string reason = std::strerror(error);
        return refuse(kErrInputUnreadable, path, "cannot be read: " + reason, "cannot be looked up: " + reason);
    }
    if (!S_ISREG(st.st_mode))
        return refuse(kErrInputNotRegular, path, "not a regular file", std::string("is ") + typeName(st.st_mode));
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        return refuse(kErrInputUnreadable, path, strprintf("cannot be read: %s", std::strerror(error)),
                      "cannot be opened: " + unreadable(st, error));
    }
    ::close(fd);
    return 0;
}

// What an input is by its first bytes, for a cause: "it is a DSP patch file
// (\"PATC\" at offset 16, kind byte 6)".
std::string whatItIs(const std::string &path) {
    File f(path, "rb");
    uint8_t b[48] = {};
    const size_t n = f ? f.read(b, sizeof b) : 0;
    const int kind = n > size_t(kKindByteOffset) ? b[kKindByteOffset] : -1;
    if (n == 0) return "it is empty";
    if (n >= 18 && (b[16] | b[17] << 8) == kWpbMagic) return "it is a compressed input (magic 0x5A57 at offset 16)";
    if (n >= 20 && std::memcmp(b + 16, "PATC", 4) == 0)
        return strprintf("it is a DSP patch file (\"PATC\" at offset 16, kind byte %d)", kind);
    for (const char *tag : {"WCUS", "MSTM", "MSTE"})
        if (n >= 4 && std::memcmp(b, tag, 4) == 0) return strprintf("it is a CUS file (\"%s\" at offset 0)", tag);
    if (kind == kKindMcp) return "it has the kind byte of an MCP file (25 at offset 9)";
    if (kind == kKindUserFat || kind == kKindHiddenFat)
        return strprintf("it has the kind byte of a FAT image (%d at offset 9)", kind);
    if (kind == kKindDspPatch) return "it has the kind byte of a DSP patch file (6 at offset 9)";
    return kind < 0 ? strprintf("it holds %zu bytes", n) : strprintf("kind byte %d at offset 9 is none of ours", kind);
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

// Why an image list element counts as a code file, and what it is.
std::string asCodeFile(const std::string &path) {
    if (get_file_ext(path) == "wpb")
        return "a compressed input whose type code at offset 44 is not 0x1000003 (RAI) holds a code file";
    return "its name ends in neither .wpb nor .fat, so it counts as a code file; " + whatItIs(path);
}

int checkImages(const std::vector<std::string> &images, const Refusal &refuse) {
    const std::string *firstCode = nullptr;
    for (const std::string &path : images) {
        if (std::string why = imageProblem(path); !why.empty())
            return refuse(kErrInputNotRecognised, path, "not recognised: " + why, whatItIs(path));
        uint32_t type = 0;
        if ((is_wpb_file(path, &type) && type == kWpbTypeRai) || is_fat_file(path)) continue;
        if (firstCode)
            return refuse(kErrSecondCodeFile, path,
                          "a second code file (the first is " + *firstCode + "); only one is merged",
                          asCodeFile(path));
        firstCode = &path;
    }
    return 0;
}

int checkPatches(const std::vector<std::string> &patches, bool withCus, const Refusal &refuse) {
    const std::string *dsp = nullptr, *mcp = nullptr;
    for (const std::string &path : patches) {
        const bool isDsp = is_dsp_patch_file(path);
        if (!isDsp && !is_mcp_file(path))
            return refuse(kErrInputNotRecognised, path,
                          "not recognised: needs to be .pat with kind byte 6 (DSP patch) or have kind byte 25 (MCP "
                          "file), this one has " + kindText(kindByte(path)),
                          whatItIs(path));
        const std::string *&first = isDsp ? dsp : mcp;
        if (first)
            return refuse(isDsp ? kErrSecondDspFile : kErrSecondMcpFile, path,
                          strprintf("a second %s file (the first is %s); only one is merged",
                                    isDsp ? "DSP patch" : "MCP",
                                  first->c_str()));
        if (!withCus)
            return refuse(kErrPatchUnused, path,
                          "not used: DSP patch and MCP files go into the CUS area, and no CUS file is given");
        first = &path;
    }
    return 0;
}

int checkE2pFiles(const std::vector<std::string> &files, const Refusal &refuse) {
    for (const std::string &path : files) {
        CE2pFile table;
        if (int r = table.Load(path, 0, &refuse.msg); r < 0) return r;
        if (table.GetObjCount() == 0) {
            File f(path, "rb");
            return refuse(kErrNoE2pObject, path, "no E2P object loads from it",
                          strprintf("its %lld bytes hold no object", static_cast<long long>(f ? f.length() : -1)));
        }
    }
    return 0;
}

} // namespace

int checkStrictInputs(const HostLists &in, std::string &msg, Cause *why) {
    const Refusal refuse{msg, why};
    for (const std::vector<std::string> *list : {&in.images, &in.patches, &in.cus, &in.e2pFiles})
        for (const std::string &path : *list)
            if (int r = checkReadable(path, refuse)) return r;
    if (int r = checkImages(in.images, refuse)) return r;
    if (int r = checkPatches(in.patches, !in.cus.empty(), refuse)) return r;
    return checkE2pFiles(in.e2pFiles, refuse);
}

} // namespace qv
