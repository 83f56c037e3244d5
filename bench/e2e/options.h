// Command-line options of the end-to-end benchmark.
#pragma once

#include "gen/release.h"

#include <set>
#include <string>

namespace qvbench {

struct Options {
    ReleaseShape shape;
    std::string dir;   // where the release goes; a fresh temporary folder when empty
    bool keep = false; // keep the release (and reuse it next time with --dir)
    unsigned rounds = 3;
    std::set<std::string> only; // measurement keys to run; all when empty
    std::string profile; // run this one merge in-process, once, for a profiler
    bool help = false;
};

// Parses argv; throws std::runtime_error with a message on a bad option.
Options parseOptions(int argc, char **argv);
const char *usage();

// A one-line description of the shape, stored beside a kept release so that a
// later run can tell whether it may reuse it.
std::string shapeStamp(const ReleaseShape &shape);

} // namespace qvbench
