// The request entry: checks what the host's request record says about
// itself, then runs the one merge behind every entry with the request's
// flags, cancel flag, progress callback and recorded time.
#include <quorvel/quorvel.h>

#include "base/results.h"
#include "base/system.h"
#include "entry/merge_call.h"

#include <ctime>

namespace qv {
namespace {

constexpr uint32_t kKnownFlags = QUORVEL_SAFE_OUTPUTS | QUORVEL_STRICT_INPUTS | QUORVEL_SYNC_OUTPUTS;

// The bytes a FlashInfo record needs for its fields: the fixed ones, and
// the memory-part entries its count announces once the count can be read.
uint64_t flashInfoNeeds(const void *record, size_t size) {
    const uint64_t fixed = FlashInfo::kMinSize;
    if (size < fixed) return fixed;
    uint64_t parts = FlashInfo::kMemPartsOffset + uint64_t(FlashInfo::kMemPartSize) * FlashInfo(record).memPartCount();
    return parts > fixed ? parts : fixed;
}

int checkLists(const quorvel_request &rq, const MessageSlot &message) {
    const struct {
        const char *name;
        PathList list;
    } lists[] = {{"image_files", {rq.image_files, rq.image_count}},
                 {"patch_files", {rq.patch_files, rq.patch_count}},
                 {"cus_files", {rq.cus_files, rq.cus_count}},
                 {"e2p_files", {rq.e2p_files, rq.e2p_count}}};
    for (const auto &l : lists) {
        if (!l.list.missing()) continue;
        message.format("%s is NULL but holds %zu entries", l.name, l.list.size());
        return kErrNullList;
    }
    return 0;
}

int checkRecord(const quorvel_request &rq, const MessageSlot &message) {
    if (rq.flags & ~kKnownFlags) {
        message.format("unknown flags 0x%x", rq.flags & ~kKnownFlags);
        return kErrUnknownFlags;
    }
    if (!rq.flash_info) {
        // no record: the merge refuses it as it always has
    } else if (uint64_t needs = flashInfoNeeds(rq.flash_info, rq.flash_info_size); rq.flash_info_size < needs) {
        message.format("flash_info_size %zu is shorter than the %llu bytes the FlashInfo fields need",
                       rq.flash_info_size, static_cast<unsigned long long>(needs));
        return kErrFlashInfoShort;
    }
    std::tm utc{};
    if (rq.recorded_time < -1 || (rq.recorded_time >= 0 && !sys::utcTime(rq.recorded_time, utc))) {
        message.format("recorded_time %lld is neither -1 nor a time in seconds since 1970",
                       static_cast<long long>(rq.recorded_time));
        return kErrRecordedTime;
    }
    return checkLists(rq, message);
}

int checkRequest(const quorvel_request *rq, const quorvel_output *outputs, const MessageSlot &message) {
    if (!rq) {
        message.set("no request given");
        return kErrNoRequest;
    }
    if (rq->struct_size < sizeof(quorvel_request)) {
        message.format("struct_size %u is smaller than the %zu bytes of quorvel_request", rq->struct_size,
                       sizeof(quorvel_request));
        return kErrStructSize;
    }
    if (!outputs) {
        message.set("no outputs given");
        return kErrNoOutputs;
    }
    return checkRecord(*rq, message);
}

} // namespace
} // namespace qv

extern "C" int32_t quorvel_merge_request(const quorvel_request *request, quorvel_output outputs[3], char *message,
                                         size_t message_size) {
    const qv::MessageSlot slot(message, message_size);
    if (int r = qv::checkRequest(request, outputs, slot)) return r;
    const quorvel_request &q = *request;
    qv::MergeRequest rq{.flashInfo = q.flash_info,
                        .images = {q.image_files, q.image_count},
                        .patches = {q.patch_files, q.patch_count},
                        .cus = {q.cus_files, q.cus_count},
                        .e2pFiles = {q.e2p_files, q.e2p_count},
                        .e2pBase = q.e2p_base,
                        .e2pBaseSize = q.e2p_base_size,
                        .e2pArea = q.e2p_area,
                        .e2pAreaSize = q.e2p_area_size,
                        .eraseAll = q.erase_all,
                        .logPath = q.log_path ? q.log_path : "",
                        .control = {.flags = q.flags,
                                    .recordedTime = q.recorded_time,
                                    .cancel = q.cancel,
                                    .progress = q.progress,
                                    .progressCtx = q.progress_ctx}};
    return qv::runMerge(rq, qv::OutputSlots(outputs), slot);
}
