#include "entry/strict_inputs.h"

#include "base/log.h"
#include "base/results.h"
#include "e2p/e2p_file.h"
#include "entry/file_kind.h"
#include "input/inputs.h"
#include "rai/download.h"

#include <algorithm>
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
// (\"PATC\" at offset 16)", by the one detector inspection uses.
std::string whatItIs(const std::string &path) {
    File f(path, "rb");
    const int64_t length = f ? f.length() : -1;
    if (length == 0) return "it is empty";
    if (const std::optional<FileKind> kind = inputKindOf(path)) return std::string("it is ") + fileKindText(*kind);
    const int kind = f ? file_kind_byte(f) : -1;
    return kind < 0 ? strprintf("it holds %lld bytes", static_cast<long long>(length))
                    : strprintf("kind byte %d at offset 9 is none of ours", kind);
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

// A file of a list that shows another kind of input than the list takes.
int checkKinds(const std::vector<std::string> &files, std::initializer_list<FileKind> taken, const char *as,
               const Refusal &refuse) {
    for (const std::string &path : files) {
        const std::optional<FileKind> kind = inputKindOf(path);
        if (kind && std::find(taken.begin(), taken.end(), *kind) == taken.end())
            return refuse(kErrInputOfOtherKind, path, strprintf("%s given as %s", fileKindText(*kind), as));
    }
    return 0;
}

// The code file: no other kind of input, a compressed one only under a
// name that makes it one.
int checkCodeKind(const std::string &path, const Refusal &refuse) {
    if (is_wpb_file(path)) return 0;
    return checkKinds({path}, {}, "the code file", refuse);
}

// A FAT image is its 16-byte header and whole sector records.
int checkFatLength(const std::string &path, const Refusal &refuse) {
    File f(path, "rb");
    const int64_t length = f ? f.length() : 0;
    const int64_t cut = (length - kFatHeaderSize) % kFsRecordSize;
    if (cut == 0) return 0;
    return refuse(kErrFatCutShort, path,
                strprintf("a FAT image cut short: its %lld bytes are not the 16-byte header and whole 516-byte "
                          "sector records (the last record holds %lld bytes)",
                          static_cast<long long>(length), static_cast<long long>(cut)));
}

// The images, once sorted: the code file's kind and the FAT images' lengths.
int checkImageContents(const std::vector<std::string> &images, const Refusal &refuse) {
    for (const std::string &path : images) {
        uint32_t type = 0;
        if (is_wpb_file(path, &type) && type == kWpbTypeRai) continue;
        if (int r = is_fat_file(path) ? checkFatLength(path, refuse) : checkCodeKind(path, refuse)) return r;
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

int checkStrictInputs(const HostLists &in, std::span<const uint8_t> flashInfo, std::string &msg, Cause *why) {
    const Refusal refuse{msg, why};
    for (const std::vector<std::string> *list : {&in.images, &in.patches, &in.cus, &in.e2pFiles})
        for (const std::string &path : *list)
            if (int r = checkReadable(path, refuse)) return r;
    if (int r = checkImages(in.images, refuse)) return r;
    if (int r = checkImageContents(in.images, refuse)) return r;
    if (int r = checkKinds(in.patches, {FileKind::DspPatch, FileKind::McpFile}, "a DSP patch or MCP file", refuse))
        return r;
    if (int r = checkPatches(in.patches, !in.cus.empty(), refuse)) return r;
    if (int r = checkPatchesFitChip(in.patches, flashInfo, msg)) return r;
    if (int r = checkKinds(in.cus, {FileKind::CusFile}, "a CUS file", refuse)) return r;
    if (int r = checkKinds(in.e2pFiles, {FileKind::E2pText}, "an E2P description file", refuse)) return r;
    return checkE2pFiles(in.e2pFiles, refuse);
}

} // namespace qv
