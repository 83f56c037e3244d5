// The library's request for one merge, built from the command's arguments:
// the input lists as C arrays over the strings MergeArgs holds, the FlashInfo
// record and the two E2P buffers, the output entries and the flags.
#pragma once

#include "cli/merge_args.h"

#include <quorvel/quorvel.h>

#include <cstdint>
#include <vector>

namespace qvcli {

class LibraryRequest {
public:
    // `a` and the three buffers must outlive the request.
    LibraryRequest(const MergeArgs &a, Bytes &flash, Bytes &base, Bytes &area, uint32_t flags, int64_t recordedTime);
    LibraryRequest(const LibraryRequest &) = delete;
    LibraryRequest &operator=(const LibraryRequest &) = delete;

    quorvel_request &request() { return req_; }
    quorvel_output *outputs() { return outs_; }
    // The output entries as the merge's report prints them.
    qv::MergeOutputs results();

private:
    std::vector<const char *> images_, patches_, cus_, e2pFiles_;
    quorvel_output outs_[3]{};
    quorvel_request req_{};
};

// The instant the size-and-date record shows: SOURCE_DATE_EPOCH (seconds since
// 1970, shown in UTC) when it is set and not empty, else -1 (the code file's
// last-write time). Throws UsageError when it is not a whole number.
int64_t recordedTimeFromEnvironment();

} // namespace qvcli
