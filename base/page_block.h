// A heap buffer aligned to the memory page, for bulk copies through the
// kernel: a block that starts on a page boundary is copied into and out of the
// page cache without straddling pages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace qv {

class PageBlock {
public:
    static constexpr size_t kAlign = 4096;

    // `size` is rounded up to whole pages for the allocation only.
    explicit PageBlock(size_t size)
        : size_(size),
          mem_(static_cast<uint8_t *>(::operator new((size + kAlign - 1) / kAlign * kAlign, std::align_val_t(kAlign)))) {}

    uint8_t *data() { return mem_.get(); }
    size_t size() const { return size_; }

private:
    struct Free {
        void operator()(uint8_t *p) const { ::operator delete(p, std::align_val_t(kAlign)); }
    };
    size_t size_;
    std::unique_ptr<uint8_t[], Free> mem_;
};

} // namespace qv
