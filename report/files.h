// The files of a release: each input with the kind the merge sorts it as,
// its size and digest, and what it goes into or why it is left out; each
// output with its type, flash address, size and digest.
#pragma once

#include "report/model.h"

namespace qvcli {

// Without `digests` the files are not hashed.
std::vector<InputFile> describeInputs(const MergeArgs &args, bool digests = true);
// Fills `m.outputs` from the merge's entries, or, without a merge, from the
// files on disk and the places the readers found.
void describeOutputs(ReleaseModel &m, const MergeArgs &args);
// Size and digest of a file on disk, read for them or, when given, from its
// bytes already read.
FileFacts fileFacts(const std::string &path, bool digest = true);
// The last part of a path.
std::string fileName(const std::string &path);
FileFacts fileFacts(const std::string &path, ByteView content, bool digest = true);

} // namespace qvcli
