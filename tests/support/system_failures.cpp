#include "support/system_failures.h"

#include "base/system.h"

#include <cerrno>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#endif

namespace qvtest {

std::string systemText(int posixErrno, unsigned long windowsError) {
#ifdef _WIN32
    (void)posixErrno;
    SetLastError(windowsError);
#else
    (void)windowsError;
    errno = posixErrno;
#endif
    return qv::sys::lastError();
}

#ifdef _WIN32
LockedFile::LockedFile(const std::string &path)
    : handle_(CreateFileW(qv::sys::fsPath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr)) {
    if (handle_ == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create " + path);
}

LockedFile::~LockedFile() { CloseHandle(handle_); }
#endif

} // namespace qvtest
