// Paths of the command: the folder of a file, and paths given relative to a
// manifest's folder. Its file reads are the release report's (read_files.h).
#pragma once

#include "report/read_files.h"

#include <string>

namespace qvcli {

// Directory part of a path ("" for a bare name), and `path` taken relative to
// `dir` unless it is absolute or `dir` is empty.
std::string directoryOf(const std::string &path);
std::string resolvePath(const std::string &dir, const std::string &path);

} // namespace qvcli
