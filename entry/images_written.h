// Which images a merge writes, told from its inputs before it runs: the RAI
// image always, the code image when there is a code file or a CUS file, the
// E2P image when there is a CUS file or an E2P description file. A merge that
// writes an image whose entry has no path fails only when it creates it, with
// an empty path in its message; safe outputs refuse it before anything is
// written.
#pragma once

#include "entry/host_args.h"

#include <array>
#include <string>

namespace qv {

// By OutputIndex: true for each image a merge of `in` writes, the image list
// sorted as the merge sorts it.
std::array<bool, 3> imagesWritten(const HostLists &in);
// "code image", "E2P image", "RAI image".
const char *imageName(OutputIndex i);
// Why a merge writes the image `i`: "the release has a code file or a CUS
// file", "the release has a CUS file or an E2P description file", "every
// merge does (an empty one when the release has no FAT image)".
const char *whyWritten(OutputIndex i);
// 0 when every image a merge of `in` writes has a path in `out`; else
// kErrOutputMissing with `msg` naming the image and why it is written.
int checkOutputsGiven(const HostLists &in, const MergeOutputs &out, std::string &msg);

} // namespace qv
