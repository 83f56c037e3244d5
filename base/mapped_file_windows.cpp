#include "base/mapped_file.h"

#include "base/system.h"

#include <windows.h>

namespace qv {

bool MappedFile::map(const std::string &path) {
    unmap();
    const std::wstring name = sys::fsPath(path).wstring();
    const HANDLE file = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        sys::keepSystemError();
        return false;
    }
    LARGE_INTEGER length{};
    bool ok = GetFileSizeEx(file, &length) != 0;
    const size_t size = ok ? size_t(length.QuadPart) : 0;
    if (ok && size > 0) { // an empty file has no mapping
        const HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
        const void *view = mapping ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
        if (mapping) CloseHandle(mapping); // the view keeps the mapping
        ok = view != nullptr;
        data_ = static_cast<const uint8_t *>(view);
    }
    if (!ok) sys::keepSystemError();
    CloseHandle(file);
    size_ = ok ? size : 0;
    return ok;
}

void MappedFile::unmap() {
    if (data_) UnmapViewOfFile(data_);
    data_ = nullptr;
    size_ = 0;
}

} // namespace qv
