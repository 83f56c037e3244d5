// Paths of the command: the folder of a file, paths given relative to a
// manifest's folder, and the one check every output the command writes
// passes. Its whole-file reads are base/whole_file.h, its writes the release
// report's (SafeOutput).
#pragma once

#include "report/command_files.h"

#include <string>
#include <vector>

namespace qvcli {

// Directory part of a path ("" for a bare name), and `path` taken relative to
// `dir` unless it is absolute or `dir` is empty.
std::string directoryOf(const std::string &path);
std::string resolvePath(const std::string &dir, const std::string &path);

// A file a subcommand reads or writes, and what named it: the flag, or where
// a manifest gave it.
struct NamedPath {
    std::string path;
    std::string by;
    std::string mayReplace = {}; // an output only: the `by` of the one input it may replace
};

// Whether the outputs may be written, decided before anything is: an output
// that is a folder, whose folder does not exist, or that is the same file as
// one of `inputs` (but its `mayReplace`) or as another output (the library's
// rule, qv::FileId) is refused with UsageError naming what named it and both
// paths. Empty paths are none.
void checkOutputPaths(const std::vector<NamedPath> &inputs, const std::vector<NamedPath> &outputs);

} // namespace qvcli
