#include "cli/library_request.h"

#include "cli/errors.h"
#include "entry/host_args.h"

#include <cerrno>
#include <cstdlib>

namespace qvcli {
namespace {

std::vector<const char *> cArray(const std::vector<std::string> &list) {
    std::vector<const char *> out;
    for (const std::string &s : list) out.push_back(s.c_str());
    return out;
}

// An empty path is no output.
const char *outputPath(const std::string &path) { return path.empty() ? nullptr : path.c_str(); }

} // namespace

LibraryRequest::LibraryRequest(const MergeArgs &a, Bytes &flash, Bytes &base, Bytes &area, uint32_t flags,
                           int64_t recordedTime)
    : images_(cArray(a.images)), patches_(cArray(a.patches)), cus_(cArray(a.cus)), e2pFiles_(cArray(a.e2pFiles)) {
    outs_[qv::kCodeOutput].image_path = outputPath(a.outCode);
    outs_[qv::kE2pOutput].image_path = outputPath(a.outE2p);
    outs_[qv::kRaiOutput].image_path = outputPath(a.outRai);
    req_.struct_size = sizeof req_;
    req_.flags = flags;
    req_.flash_info = flash.data();
    req_.flash_info_size = flash.size();
    req_.image_files = images_.data();
    req_.image_count = images_.size();
    req_.patch_files = patches_.data();
    req_.patch_count = patches_.size();
    req_.cus_files = cus_.data();
    req_.cus_count = cus_.size();
    req_.e2p_files = e2pFiles_.data();
    req_.e2p_count = e2pFiles_.size();
    req_.e2p_base = base.data();
    req_.e2p_base_size = uint32_t(base.size());
    req_.e2p_area = area.data();
    req_.e2p_area_size = uint32_t(area.size());
    req_.erase_all = a.eraseAll ? 1 : 0;
    req_.log_path = a.log.c_str();
    req_.recorded_time = recordedTime;
}

qv::MergeOutputs LibraryRequest::results() { return qv::OutputSlots(outs_).load(); }

int64_t recordedTimeFromEnvironment() {
    const char *text = std::getenv("SOURCE_DATE_EPOCH");
    if (!text || !*text) return -1;
    const std::string s = text;
    errno = 0;
    const long long v = std::strtoll(s.c_str(), nullptr, 10);
    if (s.find_first_not_of("0123456789") != std::string::npos || errno == ERANGE)
        throw UsageError("SOURCE_DATE_EPOCH: \"" + s + "\" is not a whole number of seconds since 1970");
    return v;
}

} // namespace qvcli
