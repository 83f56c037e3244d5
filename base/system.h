// The operating system's services that the library and the command use:
// streams, files by path, temporary names, times, the command line. Paths
// are UTF-8 everywhere; each function converts them where it calls the
// system (wide characters on Windows), so names outside ASCII work on both
// systems. system_posix.cpp and system_windows.cpp implement it; no other
// file calls the system's file API.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace qv::sys {

// ---- Paths -----------------------------------------------------------------

// A UTF-8 path as the standard library's path, and back with "/" between
// its names on every system, so that paths the command puts together read
// the same in logs everywhere; Windows takes "/" as well as "\". (A path
// made from a std::string reads it in the system's code page on Windows.)
inline std::filesystem::path fsPath(std::string_view utf8) {
    return std::filesystem::path(std::u8string_view(reinterpret_cast<const char8_t *>(utf8.data()), utf8.size()));
}
inline std::string utf8Path(const std::filesystem::path &p) {
    const std::u8string s = p.generic_u8string();
    return std::string(s.begin(), s.end());
}

// ---- Streams ---------------------------------------------------------------

// Opens a C stream with an fopen mode. A stream opened only for reading
// denies other writers while it is open, where the system can (Windows);
// "t" opens a text stream, which writes "\r\n" for "\n" on Windows.
std::FILE *openStream(const std::string &path, const char *mode);
// One positioned transfer straight to or from the file, past the stream's
// buffer and without moving the stream: the bytes moved, 0 at the end of
// the file, -1 on an error.
int64_t readAt(std::FILE *f, void *dst, size_t n, int64_t offset);
int64_t writeAt(std::FILE *f, const void *src, size_t n, int64_t offset);
// Copies up to n bytes from `from` at `fromOffset` to `to` at `toOffset`
// inside the system, without passing them through this process and past
// both streams' buffers: the bytes moved, 0 at the end of `from`, -1 on an
// error or where the system has no such copy (then copy through a buffer).
int64_t copyAt(std::FILE *from, int64_t fromOffset, std::FILE *to, int64_t toOffset, size_t n);
// 64-bit positions.
bool seek(std::FILE *f, int64_t offset, int whence);
int64_t tell(std::FILE *f);
// Cuts the (flushed) file to `length` bytes.
bool truncate(std::FILE *f, int64_t length);
// Sets aside room for the file to grow to `length` bytes without changing
// its length; only a hint.
void reserve(std::FILE *f, uint64_t length);
bool isTerminal(std::FILE *f);

// ---- Files by path ---------------------------------------------------------

enum class FileKind {
    none,      // no such file
    noFolder,  // a folder on the way is missing or not a folder
    regular,
    folder,
    device,    // a character device (/dev/null, NUL)
    other,     // a pipe, a socket, a block device
    error,     // cannot be looked at; lastError() says why
};

// What a path names, following links. `volume` and `index` tell files apart:
// two paths name the same file when both are equal (device and inode; the
// volume's serial number and the file index on Windows).
struct FileStatus {
    FileKind kind = FileKind::none;
    uint64_t size = 0;
    uint64_t volume = 0;
    uint64_t index = 0;
    const char *what = ""; // for a cause: "a folder", "a pipe", ...
};
FileStatus fileStatus(const std::string &path);
// For a cause: which file the status names ("inode N on device M:m", "file
// index N on volume V").
std::string identity(const FileStatus &st);
// For a cause, when the user may not read a file that exists: who may
// ("mode 0600, owner 0, group 0; the merge runs as user 1000"), or empty
// where the system has no such rule to show.
std::string readPermission(const std::string &path);
// True when the user may write the existing file at `path`.
bool writable(const std::string &path);
// Deletes a file; a missing file is not an error.
void removeFile(const std::string &path);
enum class Created { yes, exists, failed };
// Creates `path` as a new empty file; `exists` when a file has that name.
Created createNew(const std::string &path);
// The file that writing through `path` changes: a symbolic link's target,
// else `path` itself.
std::string linkTarget(const std::string &path);
// Moves `from` over `to`, replacing it in one step; on Windows the move is
// written through to the disk before it returns.
bool replaceFile(const std::string &from, const std::string &to);
// Flushes a file's data, or a folder's entries, to the disk. Windows has
// no flush of a folder: its moves are written through instead (replaceFile).
bool syncFile(const std::string &path);
bool syncFolder(const std::string &path);
// The system's text for the last failure of the calls above on this thread.
std::string lastError();
// Sets errno from the system's last error, for a failure of a system call
// made outside this file (Windows); errno is already set on POSIX systems.
void keepSystemError();

// Opens `path` for reading with other writers denied (where the system can),
// and gives the size and last-write time (seconds since 1970, UTC) of the
// very file opened.
bool openedSizeAndWriteTime(const std::string &path, uint64_t &size, int64_t &writeTime);

// ---- Temporary files -------------------------------------------------------

// The system's temporary folder (TMPDIR or /tmp; Windows: GetTempPath).
std::string tempDir();
// A new, unique, empty file in tempDir() whose name begins with `prefix`,
// made by the system's temporary-name service; empty when none was made.
std::string tempFileName(const std::string &prefix);
// A new, empty folder in tempDir() whose name begins with `prefix`, that no
// other caller was given; empty when none was made.
std::string tempFolder(const std::string &prefix);

// ---- Times and the process -------------------------------------------------

// Seconds since 1970 as the local time of this machine, with its time zone
// and daylight-saving rules as they are now, or as UTC.
bool localTime(int64_t seconds, std::tm &out);
bool utcTime(int64_t seconds, std::tm &out);
uint64_t processId();
// Asks for huge pages under [p, p + n) where the system gives them on request.
void adviseHugePages(void *p, size_t n);

// ---- The command line ------------------------------------------------------

// The command's arguments in UTF-8 (on Windows read again from the wide
// command line: argv is in the system's code page).
std::vector<std::string> arguments(int argc, char **argv);

} // namespace qv::sys
