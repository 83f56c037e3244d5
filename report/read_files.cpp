#include "report/read_files.h"

#include "base/cause.h"
#include "base/file.h"
#include "base/system.h"

namespace qvcli {
namespace {

// Room for a whole file. Images run to hundreds of megabytes: asking for huge
// pages where the system gives them on request turns a page fault per 4 KiB
// into one per 2 MiB, which was most of the time spent reading such an image.
void reserveLarge(Bytes &b, size_t n) {
    b.reserve(n);
    constexpr uintptr_t kHuge = uintptr_t(2) << 20;
    const uintptr_t from = (reinterpret_cast<uintptr_t>(b.data()) + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t to = (reinterpret_cast<uintptr_t>(b.data()) + n) & ~(kHuge - 1);
    if (to > from) qv::sys::adviseHugePages(reinterpret_cast<void *>(from), to - from);
}

// The size of a regular file, checked against the bound.
uint64_t boundedSize(const std::string &path, const ReadBound &bound) {
    using qv::sys::FileKind;
    const qv::sys::FileStatus st = qv::sys::fileStatus(path);
    if (st.kind == FileKind::folder) throw InputError(path + " is a folder, not a file");
    if (st.kind == FileKind::none || st.kind == FileKind::noFolder)
        throw InputError("cannot read " + path, path + ": No such file or directory");
    if (st.kind == FileKind::error) throw InputError("cannot read " + path, path + ": " + qv::systemReason());
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
    qv::File f(path, "rb");
    if (!f) throw InputError("cannot read " + path, path + ": " + qv::systemReason());
    Bytes out;
    reserveLarge(out, static_cast<size_t>(size));
    out.resize(static_cast<size_t>(size));
    if (f.read(out.data(), out.size()) != out.size())
        throw InputError("cannot read " + path, path + ": " + qv::systemReason());
    return out;
}

SafeOutput::SafeOutput(const std::string &path, bool sync) : path_(path) {
    files_.begin(true, sync);
    file_ = files_.open(path_, "wb", nullptr);
    if (!file_) throw InputError("cannot create " + path_);
}

void SafeOutput::commit() {
    if (!file_.close()) throw InputError("cannot write " + path_);
    std::string msg;
    if (files_.commit(msg) != 0) throw InputError(msg);
}

void SafeOutput::commit(ByteView data) {
    write(data);
    commit();
}

void writeWholeFile(const std::string &path, ByteView data, bool sync) { SafeOutput(path, sync).commit(data); }

std::string readTextFile(const std::string &path, const ReadBound &bound) {
    Bytes b = readWholeFile(path, bound);
    return std::string(b.begin(), b.end());
}

MappedFile::MappedFile(const std::string &path) {
    if (qv::sys::fileStatus(path).kind == qv::sys::FileKind::folder)
        throw InputError(path + " is a folder, not a file");
    if (!file_.map(path)) throw InputError("cannot read " + path, path + ": " + qv::systemReason());
}

} // namespace qvcli
