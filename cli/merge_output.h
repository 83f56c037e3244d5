// What `quorvel merge` prints: the three outputs as a table (or JSON) and the
// time taken; a failure as "error CODE: MESSAGE" on stderr, and its cause.
#pragma once

#include <quorvel/quorvel.h>

#include <cstdint>
#include <string>

namespace qvcli {

// `baseAddress` turns the code image's offset into a flash address.
void printMergeOutputs(const qv::MergeOutputs &outs, uint32_t baseAddress, double seconds, bool json);
void reportMergeFailure(int32_t code, const std::string &message, const std::string &cause, bool json);

} // namespace qvcli
