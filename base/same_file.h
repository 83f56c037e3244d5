// Whether two paths name one file: the rule behind every check that an
// output is not an input or another output, in the library and the command.
#pragma once

#include "base/system.h"

#include <string>

namespace qv {

// What tells two paths apart: the file a path names, or where a file of that
// name would be.
class FileId {
public:
    explicit FileId(const std::string &path);
    const std::string &path() const { return path_; }
    // The same file for files that exist (device and inode; volume and file
    // index on Windows; a character device such as /dev/null is no file to
    // destroy and is never the same), the same normalised absolute path for
    // those that do not.
    bool sameAs(const FileId &other) const;
    // What makes it the same as another, for a cause: "both are inode N on
    // device M:m", "both would be /abs/path".
    std::string sameness() const;

private:
    std::string path_; // as given
    bool exists_ = false;
    sys::FileStatus status_;
    std::string place_; // normalised absolute path, for files that do not exist
};

} // namespace qv
