// The C ABI: the host's arrays and buffers, run by the one merge behind
// every entry.
#include <quorvel/quorvel.h>

#include "entry/merge_call.h"

extern "C" int32_t quorvel_merge(const void *flash_info, quorvel_output outputs[3], const char *const *image_files,
                                 size_t image_count, const char *const *patch_files, size_t patch_count,
                                 const char *const *cus_files, size_t cus_count, uint8_t *e2p_base,
                                 uint32_t e2p_base_size, uint8_t *e2p_area, uint32_t e2p_area_size,
                                 const char *const *e2p_files, size_t e2p_count, int32_t /*reserved1*/,
                                 int32_t erase_all, char *message, size_t message_size, const char *log_path,
                                 int32_t /*reserved2*/) {
    qv::MergeRequest rq{.flashInfo = flash_info,
                        .images = {image_files, image_count},
                        .patches = {patch_files, patch_count},
                        .cus = {cus_files, cus_count},
                        .e2pFiles = {e2p_files, e2p_count},
                        .e2pBase = e2p_base,
                        .e2pBaseSize = e2p_base_size,
                        .e2pArea = e2p_area,
                        .e2pAreaSize = e2p_area_size,
                        .eraseAll = erase_all,
                        .logPath = log_path ? log_path : "",
                        .control = {}};
    return qv::runMerge(rq, qv::OutputSlots(outputs), qv::MessageSlot(message, message_size));
}
