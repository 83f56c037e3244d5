// The request entry: checks what the host's request record says about
// itself, then runs the one merge behind every entry with the request's
// flags, cancel flag, progress callback and recorded time.
#include <quorvel/quorvel.h>

#include "base/cause.h"
#include "base/results.h"
#include "entry/merge_call.h"

#include <ctime>
#include <string>

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

// What a record's fields need, for a cause: the fixed ones, or the
// memory-part entries its count announces.
void explainShortRecord(const quorvel_request &rq, uint64_t needs, const MessageSlot &cause) {
    if (rq.flash_info_size < FlashInfo::kMinSize) {
        cause.format("%s: the fixed fields end at offset %zu (flags), flash_info_size is %zu", kFlashInfoName,
                     FlashInfo::kMinSize, rq.flash_info_size);
        return;
    }
    const unsigned count = FlashInfo(rq.flash_info).memPartCount();
    cause.format("%s: memPartCount %u at offset 44 needs %zu + %zu x %u = %llu bytes, flash_info_size is %zu",
                 kFlashInfoName, count, FlashInfo::kMemPartsOffset, FlashInfo::kMemPartSize, count,
                 static_cast<unsigned long long>(needs), rq.flash_info_size);
}

int checkRecord(const quorvel_request &rq, const MessageSlot &message, const MessageSlot &cause) {
    if (rq.flags & ~kKnownFlags) {
        message.format("unknown flags 0x%x", rq.flags & ~kKnownFlags);
        cause.format("flags 0x%x: this library knows QUORVEL_SAFE_OUTPUTS (0x%x), QUORVEL_STRICT_INPUTS (0x%x) and "
                     "QUORVEL_SYNC_OUTPUTS (0x%x)", rq.flags, QUORVEL_SAFE_OUTPUTS, QUORVEL_STRICT_INPUTS,
                     QUORVEL_SYNC_OUTPUTS);
        return kErrUnknownFlags;
    }
    if (!rq.flash_info) {
        // no record: the merge refuses it as it always has
    } else if (uint64_t needs = flashInfoNeeds(rq.flash_info, rq.flash_info_size); rq.flash_info_size < needs) {
        message.format("flash_info_size %zu is shorter than the %llu bytes the FlashInfo fields need",
                       rq.flash_info_size, static_cast<unsigned long long>(needs));
        explainShortRecord(rq, needs, cause);
        return kErrFlashInfoShort;
    }
    std::time_t t = std::time_t(rq.recorded_time);
    std::tm utc{};
    if (rq.recorded_time < -1 || (rq.recorded_time >= 0 && !gmtime_r(&t, &utc))) {
        message.format("recorded_time %lld is neither -1 nor a time in seconds since 1970",
                       static_cast<long long>(rq.recorded_time));
        return kErrRecordedTime;
    }
    return checkLists(rq, message);
}

// Where the request's cause goes: nowhere for a record that ends before it
// (a host built before it was added).
MessageSlot causeSlot(const quorvel_request &q) {
    const bool hasCause = q.struct_size >= offsetof(quorvel_request, cause) + sizeof q.cause + sizeof q.cause_size;
    return MessageSlot(hasCause ? q.cause : nullptr, hasCause ? q.cause_size : 0);
}

// The request's own faults; `cause` gets what the message leaves to say.
int checkRequest(const quorvel_request *rq, const quorvel_output *outputs, const MessageSlot &message,
                 const MessageSlot &cause) {
    if (!rq) {
        message.set("no request given");
        return kErrNoRequest;
    }
    if (rq->struct_size < QUORVEL_REQUEST_MIN_SIZE) {
        message.format("struct_size %u is smaller than the %zu bytes of quorvel_request", rq->struct_size,
                       size_t(QUORVEL_REQUEST_MIN_SIZE));
        return kErrStructSize;
    }
    if (!outputs) {
        message.set("no outputs given");
        return kErrNoOutputs;
    }
    return checkRecord(*rq, message, cause);
}

} // namespace
} // namespace qv

extern "C" int32_t quorvel_merge_request(const quorvel_request *request, quorvel_output outputs[3], char *message,
                                         size_t message_size) {
    const qv::MessageSlot slot(message, message_size);
    std::string why;
    if (int r = qv::checkRequest(request, outputs, slot, qv::MessageSlot(&why))) {
        // A record too short for its own size field gets nothing written.
        if (r != qv::kErrNoRequest && r != qv::kErrStructSize) qv::causeSlot(*request).set(why);
        return r;
    }
    const quorvel_request &q = *request;
    const qv::MessageSlot cause = qv::causeSlot(q);
    qv::MergeRequest rq{.flashInfo = q.flash_info,
                        .flashInfoSize = q.flash_info ? q.flash_info_size : 0,
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
                                    .progressCtx = q.progress_ctx},
                        .cause = &cause};
    return qv::runMerge(rq, qv::OutputSlots(outputs), slot);
}
