// The C ABI: converts the host's arrays and buffers and runs the C++ entry.
#include <quorvel/quorvel.h>

#include <algorithm>
#include <cstring>

namespace {

std::vector<std::string> toList(const char *const *items, size_t count) {
    std::vector<std::string> list;
    list.reserve(count);
    for (size_t i = 0; i < count; ++i) list.emplace_back(items[i] ? items[i] : "");
    return list;
}

} // namespace

extern "C" int32_t quorvel_merge(const void *flash_info, quorvel_output outputs[3], const char *const *image_files,
                                 size_t image_count, const char *const *patch_files, size_t patch_count,
                                 const char *const *cus_files, size_t cus_count, uint8_t *e2p_base,
                                 uint32_t e2p_base_size, uint8_t *e2p_area, uint32_t e2p_area_size,
                                 const char *const *e2p_files, size_t e2p_count, int32_t reserved1,
                                 int32_t erase_all, char *message, size_t message_size, const char *log_path,
                                 int32_t reserved2) {
    qv::MergeOutputs outs;
    for (size_t i = 0; i < outs.size(); ++i) {
        outs[i].imagePath = outputs[i].image_path ? outputs[i].image_path : "";
        outs[i].imageType = outputs[i].image_type;
        outs[i].imageAddress = outputs[i].image_address;
        outs[i].imageSize = outputs[i].image_size;
    }
    std::string msg;
    int32_t r = quorvel(flash_info, &outs, toList(image_files, image_count), toList(patch_files, patch_count),
                        toList(cus_files, cus_count), e2p_base, e2p_base_size, e2p_area, e2p_area_size,
                        toList(e2p_files, e2p_count), reserved1, erase_all, msg, log_path ? log_path : "",
                        reserved2);
    for (size_t i = 0; i < outs.size(); ++i) {
        outputs[i].image_type = outs[i].imageType;
        outputs[i].image_address = outs[i].imageAddress;
        outputs[i].image_size = outs[i].imageSize;
    }
    if (r != 0 && message && message_size > 0) {
        size_t n = std::min(msg.size(), message_size - 1);
        std::memcpy(message, msg.data(), n);
        message[n] = '\0';
    }
    return r;
}
