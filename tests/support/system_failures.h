// A system's failures as tests meet them: its own text for one, and a file
// that another program holds.
#pragma once

#include <string>

namespace qvtest {

// The system's own text for a failure: errno `posixErrno` on POSIX systems,
// the error code `windowsError` on Windows.
std::string systemText(int posixErrno, unsigned long windowsError);

#ifdef _WIN32
// Holds `path` (created empty) open with every other reader and writer
// denied, as a program that has the file in use does.
class LockedFile {
public:
    explicit LockedFile(const std::string &path);
    ~LockedFile();
    LockedFile(const LockedFile &) = delete;
    LockedFile &operator=(const LockedFile &) = delete;

private:
    void *handle_;
};
#endif

} // namespace qvtest
