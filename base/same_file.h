// Whether two paths name one file: the rule behind every check that an
// output is not an input or another output, in the library and the command.
#pragma once

#include <string>
#include <sys/types.h>

namespace qv {

// What tells two paths apart: the file a path names, or where a file of that
// name would be.
class FileId {
public:
    explicit FileId(const std::string &path);
    const std::string &path() const { return path_; }
    // The same device and inode for files that exist (a character device such
    // as /dev/null is no file to destroy and is never the same), the same
    // normalised absolute path for those that do not.
    bool sameAs(const FileId &other) const;
    // What makes it the same as another, for a cause: "both are inode N on
    // device M:m", "both would be /abs/path".
    std::string sameness() const;

private:
    std::string path_; // as given
    bool exists_ = false;
    bool device_ = false;
    dev_t dev_ = 0;
    ino_t ino_ = 0;
    std::string place_; // normalised absolute path, for files that do not exist
};

} // namespace qv
