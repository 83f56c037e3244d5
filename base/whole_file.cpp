#include "base/whole_file.h"

#include "base/cause.h"
#include "base/system.h"

#include <algorithm>

namespace qv {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t kReadBlock = 1 << 16;

// Room for a whole file. Images run to hundreds of megabytes: asking for huge
// pages where the system gives them on request turns a page fault per 4 KiB
// into one per 2 MiB, which was most of the time spent reading such an image.
void reserveLarge(Bytes &b, size_t n) {
    b.reserve(n);
    constexpr uintptr_t kHuge = uintptr_t(2) << 20;
    const uintptr_t from = (reinterpret_cast<uintptr_t>(b.data()) + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t to = (reinterpret_cast<uintptr_t>(b.data()) + n) & ~(kHuge - 1);
    if (to > from) sys::adviseHugePages(reinterpret_cast<void *>(from), to - from);
}

// The size of a regular file, checked against the bound.
uint64_t boundedSize(const std::string &path, const ReadBound &bound) {
    using sys::FileKind;
    const sys::FileStatus st = sys::fileStatus(path);
    if (st.kind == FileKind::folder) throw InputError(path + " is a folder, not a file");
    if (st.kind == FileKind::none || st.kind == FileKind::noFolder)
        throw InputError("cannot read " + path, path + ": No such file or directory");
    if (st.kind == FileKind::error) throw InputError("cannot read " + path, path + ": " + systemReason());
    if (st.kind != FileKind::regular) throw InputError(path + " is not a regular file");
    const uint64_t size = st.size;
    if (size > bound.maxBytes)
        throw InputError(path + " holds " + std::to_string(size) + " bytes, more than " + bound.what + " may (at most " +
                         std::to_string(bound.maxBytes) + ")");
    return size;
}

} // namespace

Bytes readWholeFile(const std::string &path, const ReadBound &bound) {
    const uint64_t size = boundedSize(path, bound);
    File f(path, "rb");
    if (!f) throw InputError("cannot read " + path, path + ": " + systemReason());
    Bytes out;
    reserveLarge(out, static_cast<size_t>(size));
    out.resize(static_cast<size_t>(size));
    if (f.read(out.data(), out.size()) != out.size())
        throw InputError("cannot read " + path, path + ": " + systemReason());
    return out;
}

std::string readTextFile(const std::string &path, const ReadBound &bound) {
    Bytes b = readWholeFile(path, bound);
    return std::string(b.begin(), b.end());
}

ReadEnd readWholeStream(File &f, std::string &out, uint64_t limit, int64_t &expected) {
    expected = f.length();
    out.clear();
    if (expected > 0) out.reserve(size_t(std::min(uint64_t(expected), limit)));
    char block[kReadBlock];
    for (size_t n; (n = f.read(block, sizeof block)) > 0;) {
        if (out.size() + n > limit) return ReadEnd::tooLong;
        out.append(block, n);
    }
    return expected < 0 || out.size() >= uint64_t(expected) ? ReadEnd::whole : ReadEnd::cut;
}

} // namespace qv
