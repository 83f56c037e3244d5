#include "base/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {

bool MappedFile::map(const std::string &path) {
    unmap();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    const bool ok = fd >= 0 && ::fstat(fd, &st) == 0 && st.st_size >= 0;
    const size_t size = ok ? size_t(st.st_size) : 0;
    void *p = ok && size ? ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0) : nullptr;
    if (fd >= 0) ::close(fd); // the mapping stays valid without the descriptor
    if (!ok || p == MAP_FAILED) return false;
    data_ = static_cast<const uint8_t *>(p);
    size_ = size;
    return true;
}

void MappedFile::unmap() {
    if (data_) ::munmap(const_cast<uint8_t *>(data_), size_);
    data_ = nullptr;
    size_ = 0;
}

} // namespace qv
