#include "entry/host_args.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace qv {

std::vector<std::string> PathList::toVector() const {
    if (list_) return *list_;
    std::vector<std::string> list;
    list.reserve(count_);
    for (size_t i = 0; i < count_; ++i) list.emplace_back(items_[i] ? items_[i] : "");
    return list;
}

MergeOutputs OutputSlots::load() const {
    if (cpp_) return *cpp_;
    MergeOutputs outs;
    for (size_t i = 0; i < outs.size(); ++i) {
        outs[i].imagePath = c_[i].image_path ? c_[i].image_path : "";
        outs[i].imageType = c_[i].image_type;
        outs[i].imageAddress = c_[i].image_address;
        outs[i].imageSize = c_[i].image_size;
    }
    return outs;
}

void OutputSlots::store(const MergeOutputs &outs) const {
    for (size_t i = 0; i < outs.size(); ++i) {
        uint32_t type = outs[i].imageType, address = outs[i].imageAddress, size = outs[i].imageSize;
        if (cpp_) {
            (*cpp_)[i].imageType = type;
            (*cpp_)[i].imageAddress = address;
            (*cpp_)[i].imageSize = size;
        } else {
            c_[i].image_type = type;
            c_[i].image_address = address;
            c_[i].image_size = size;
        }
    }
}

void MessageSlot::set(std::string_view text) const noexcept {
    if (text_) {
        try {
            text_->assign(text);
        } catch (...) {
        }
    } else if (buffer_ && size_ > 0) {
        size_t n = std::min(text.size(), size_ - 1);
        std::memcpy(buffer_, text.data(), n);
        buffer_[n] = '\0';
    }
}

void MessageSlot::format(const char *fmt, ...) const noexcept {
    char text[1024];
    va_list args;
    va_start(args, fmt);
    int n = std::vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    if (n >= 0) set(std::string_view(text, std::min(size_t(n), sizeof text - 1)));
}

} // namespace qv
