// The system services of base/system.h on Windows: the wide-character API
// with UTF-8 paths converted at each call.
#include "base/system.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <shellapi.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>

namespace qv::sys {
namespace {

std::wstring wide(std::string_view utf8) {
    if (utf8.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring out(size_t(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), out.data(), n);
    return out;
}

std::string narrow(std::wstring_view w) {
    if (w.empty()) return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), out.data(), n, nullptr, nullptr);
    return out;
}

HANDLE handleOf(std::FILE *f) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f))); }

// A handle closed on every way out.
class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() {
        if (*this) CloseHandle(h_);
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    explicit operator bool() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

Handle openExisting(const std::string &path, DWORD access, DWORD share) {
    return Handle(CreateFileW(wide(path).c_str(), access, share, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// keepSystemError(), then `result`.
template <class T> T keepError(T result) {
    keepSystemError();
    return result;
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// One transfer through an OVERLAPPED offset. Such a transfer moves the
// handle's file pointer, which the stream's own position is kept by, so the
// pointer is put back where it was.
template <class Transfer> int64_t transferAt(std::FILE *f, size_t n, int64_t offset, Transfer transfer) {
    const HANDLE h = handleOf(f);
    LARGE_INTEGER here{}, zero{};
    if (!SetFilePointerEx(h, zero, &here, FILE_CURRENT)) return -1;
    OVERLAPPED at{};
    at.Offset = DWORD(uint64_t(offset));
    at.OffsetHigh = DWORD(uint64_t(offset) >> 32);
    DWORD moved = 0;
    const DWORD ask = DWORD(n < (size_t(1) << 30) ? n : (size_t(1) << 30));
    const bool ok = transfer(h, ask, &moved, &at);
    const bool atEnd = !ok && GetLastError() == ERROR_HANDLE_EOF;
    SetFilePointerEx(h, here, nullptr, FILE_BEGIN);
    if (atEnd) return 0;
    return ok ? int64_t(moved) : keepError(int64_t(-1));
}

// Seconds since 1970 of a FILETIME (100 ns ticks since 1601).
int64_t unixSeconds(const FILETIME &ft) {
    const uint64_t ticks = uint64_t(ft.dwHighDateTime) << 32 | ft.dwLowDateTime;
    constexpr uint64_t kTicksTo1970 = 116444736000000000u;
    return ticks >= kTicksTo1970 ? int64_t((ticks - kTicksTo1970) / 10000000u)
                                 : -int64_t((kTicksTo1970 - ticks + 9999999u) / 10000000u);
}

} // namespace

std::FILE *openStream(const std::string &path, const char *mode) {
    const bool readOnly = std::strpbrk(mode, "wa+") == nullptr;
    return _wfsopen(wide(path).c_str(), wide(mode).c_str(), readOnly ? _SH_DENYWR : _SH_DENYNO);
}

int64_t readAt(std::FILE *f, void *dst, size_t n, int64_t offset) {
    return transferAt(f, n, offset, [&](HANDLE h, DWORD ask, DWORD *moved, OVERLAPPED *at) {
        return ReadFile(h, dst, ask, moved, at) != 0;
    });
}

int64_t writeAt(std::FILE *f, const void *src, size_t n, int64_t offset) {
    return transferAt(f, n, offset, [&](HANDLE h, DWORD ask, DWORD *moved, OVERLAPPED *at) {
        return WriteFile(h, src, ask, moved, at) != 0;
    });
}

int64_t copyAt(std::FILE *, int64_t, std::FILE *, int64_t, size_t) {
    errno = ENOSYS; // no file-to-file copy at an offset: the caller copies through a buffer
    return -1;
}

bool seek(std::FILE *f, int64_t offset, int whence) { return _fseeki64(f, offset, whence) == 0; }

int64_t tell(std::FILE *f) { return _ftelli64(f); }

bool truncate(std::FILE *f, int64_t length) { return _chsize_s(_fileno(f), length) == 0; }

void reserve(std::FILE *f, uint64_t length) {
    FILE_ALLOCATION_INFO info{};
    info.AllocationSize.QuadPart = LONGLONG(length);
    SetFileInformationByHandle(handleOf(f), FileAllocationInfo, &info, sizeof info);
}

bool isTerminal(std::FILE *f) { return _isatty(_fileno(f)) != 0; }

FileStatus fileStatus(const std::string &path) {
    const Handle h = openExisting(path, 0, kShareAll);
    if (!h) {
        const DWORD e = GetLastError();
        if (e == ERROR_FILE_NOT_FOUND) return keepError(FileStatus{FileKind::none});
        if (e == ERROR_PATH_NOT_FOUND || e == ERROR_DIRECTORY) return keepError(FileStatus{FileKind::noFolder});
        return keepError(FileStatus{FileKind::error});
    }
    switch (GetFileType(h.get())) {
    case FILE_TYPE_CHAR: return {FileKind::device, 0, 0, 0, "a character device"};
    case FILE_TYPE_DISK: break;
    case FILE_TYPE_PIPE: return {FileKind::other, 0, 0, 0, "a pipe"};
    default: return {FileKind::other, 0, 0, 0, "no regular file"};
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h.get(), &info)) return keepError(FileStatus{FileKind::error});
    const bool folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return {folder ? FileKind::folder : FileKind::regular, uint64_t(info.nFileSizeHigh) << 32 | info.nFileSizeLow,
            info.dwVolumeSerialNumber, uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow,
            folder ? "a folder" : "a regular file"};
}

std::string identity(const FileStatus &st) {
    char text[96];
    std::snprintf(text, sizeof text, "file index %llu on volume %08llx", static_cast<unsigned long long>(st.index),
                  static_cast<unsigned long long>(st.volume));
    return text;
}

std::string readPermission(const std::string &) { return std::string(); }

bool writable(const std::string &path) {
    const DWORD attributes = GetFileAttributesW(wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_READONLY);
}

void removeFile(const std::string &path) { _wremove(wide(path).c_str()); }

Created createNew(const std::string &path) {
    const Handle h(CreateFileW(wide(path).c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (h) return Created::yes;
    const DWORD e = GetLastError();
    return keepError(e == ERROR_FILE_EXISTS || e == ERROR_ALREADY_EXISTS ? Created::exists : Created::failed);
}

std::string linkTarget(const std::string &path) { return path; }

bool replaceFile(const std::string &from, const std::string &to) {
    return MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0 ||
           keepError(false);
}

bool syncFile(const std::string &path) {
    const Handle h = openExisting(path, GENERIC_WRITE, kShareAll);
    return (h && FlushFileBuffers(h.get()) != 0) || keepError(false);
}

bool syncFolder(const std::string &) { return true; }

void keepSystemError() {
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: errno = ENOENT; break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: errno = EACCES; break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: errno = EEXIST; break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: errno = ENOSPC; break;
    case ERROR_INVALID_NAME: errno = EINVAL; break;
    default: errno = EIO; break;
    }
}

std::string lastError() {
    const DWORD code = GetLastError();
    wchar_t *text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    std::wstring_view w(text ? text : L"", n);
    while (!w.empty() && (w.back() == L'\n' || w.back() == L'\r' || w.back() == L' ' || w.back() == L'.'))
        w.remove_suffix(1);
    std::string out = w.empty() ? "error " + std::to_string(code) : narrow(w);
    LocalFree(text);
    return out;
}

bool openedSizeAndWriteTime(const std::string &path, uint64_t &size, int64_t &writeTime) {
    const Handle h(CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER length{};
    FILETIME written{};
    if (!h || !GetFileSizeEx(h.get(), &length) || !GetFileTime(h.get(), nullptr, nullptr, &written))
        return keepError(false);
    size = uint64_t(length.QuadPart);
    writeTime = unixSeconds(written);
    return true;
}

std::string tempDir() {
    wchar_t dir[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, dir);
    return n > 0 && n <= MAX_PATH ? narrow(std::wstring_view(dir, n)) : std::string(".\\");
}

std::string tempFileName(const std::string &prefix) {
    wchar_t name[MAX_PATH];
    if (GetTempFileNameW(wide(tempDir()).c_str(), wide(prefix).c_str(), 0, name) == 0) return std::string();
    return narrow(name);
}

// The temporary-name service makes a unique empty file; the folder takes its
// place under the same name, which stays unique as the file held it.
std::string tempFolder(const std::string &prefix) {
    const std::string name = tempFileName(prefix);
    if (name.empty() || !DeleteFileW(wide(name).c_str())) return std::string();
    return CreateDirectoryW(wide(name).c_str(), nullptr) ? name : keepError(std::string());
}

bool localTime(int64_t seconds, std::tm &out) {
    const __time64_t t = seconds;
    _tzset(); // follow the current time zone, also when it changed since the last call
    return _localtime64_s(&out, &t) == 0;
}

bool utcTime(int64_t seconds, std::tm &out) {
    const __time64_t t = seconds;
    return _gmtime64_s(&out, &t) == 0;
}

uint64_t processId() { return GetCurrentProcessId(); }

void adviseHugePages(void *, size_t) {}

std::vector<std::string> arguments(int argc, char **argv) {
    int n = 0;
    const std::unique_ptr<wchar_t *, decltype(&LocalFree)> wargv(CommandLineToArgvW(GetCommandLineW(), &n),
                                                                  &LocalFree);
    if (!wargv || n != argc) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i) out.push_back(narrow(wargv.get()[i]));
    return out;
}

} // namespace qv::sys
