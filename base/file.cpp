#include "base/file.h"

#include "base/page_block.h"
#include "base/system.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace qv {
namespace {

// Input streams read through a 64 KiB buffer: 516-byte FAT records and the
// small header reads then cost one system call per 64 KiB instead of per
// 4 KiB. Reads of whole blocks of this size or more bypass it. Output
// streams keep the default buffer, so a failing write shows where it did.
constexpr size_t kReadBuffer = size_t(1) << 16;

// Repeats a positioned transfer (`step(done)` moves bytes from `done` on)
// until n bytes have moved, the file ends or an error stops it.
template <class Step> size_t transferAt(size_t n, Step step) {
    size_t done = 0;
    while (done < n) {
        const int64_t moved = step(done);
        if (moved <= 0) break;
        done += size_t(moved);
    }
    return done;
}

} // namespace

File::File(const std::string &path, const char *mode, FileSystem *fs) : File(path, mode, path, fs) {}

File::File(const std::string &path, const char *mode, const std::string &openedPath, FileSystem *fs)
    : f_(sys::openStream(openedPath, mode)), path_(path), fs_(fs), writable_(std::strpbrk(mode, "wa+") != nullptr) {
    if (f_ && !writable_) {
        buf_ = std::make_unique<char[]>(kReadBuffer);
        if (std::setvbuf(f_, buf_.get(), _IOFBF, kReadBuffer) != 0) buf_.reset();
    }
}

File::File(File &&other) noexcept
    : buf_(std::move(other.buf_)), f_(std::exchange(other.f_, nullptr)), path_(std::move(other.path_)),
      fs_(other.fs_), writable_(other.writable_), failed_(other.failed_), error_(other.error_) {}

File &File::operator=(File &&other) noexcept {
    if (this != &other) {
        close();
        buf_ = std::move(other.buf_);
        f_ = std::exchange(other.f_, nullptr);
        path_ = std::move(other.path_);
        fs_ = other.fs_;
        writable_ = other.writable_;
        failed_ = other.failed_;
        error_ = other.error_;
    }
    return *this;
}

File::~File() { close(); }

size_t File::read(void *dst, size_t n) { return f_ && n ? std::fread(dst, 1, n, f_) : 0; }

size_t File::readAt(void *dst, size_t n, int64_t offset) {
    if (!f_) return 0;
    return transferAt(n, [&](size_t done) {
        return sys::readAt(f_, static_cast<char *>(dst) + done, n - done, offset + int64_t(done));
    });
}

size_t File::write(const void *src, size_t n) {
    if (!f_ || n == 0) return 0;
    if (!allowed()) {
        fail(ENOSPC);
        return 0;
    }
    size_t done = std::fwrite(src, 1, n, f_);
    if (done != n) fail(errno);
    return done;
}

size_t File::writeAt(const void *src, size_t n, int64_t offset) {
    if (!f_ || n == 0) return 0;
    if (!allowed()) {
        fail(ENOSPC);
        return 0;
    }
    if (std::fflush(f_) != 0) {
        fail(errno);
        return 0;
    }
    size_t done = transferAt(n, [&](size_t from) {
        return sys::writeAt(f_, static_cast<const char *>(src) + from, n - from, offset + int64_t(from));
    });
    if (done != n) fail(errno);
    return done;
}

size_t File::writeThrough(const void *src, size_t n) {
    int64_t at = tell();
    if (at < 0) return write(src, n);
    size_t done = writeAt(src, n, at);
    if (!seek(at + int64_t(done))) fail(errno);
    return done;
}

uint64_t File::copyFrom(File &src, int64_t offset, uint64_t n) {
    if (!f_ || !src || n == 0) return 0;
    const int64_t at = tell();
    uint64_t done = 0;
    if (at >= 0 && allowed() && std::fflush(f_) == 0) {
        for (int64_t moved; done < n; done += uint64_t(moved)) {
            const size_t ask = size_t(std::min<uint64_t>(n - done, uint64_t(1) << 30));
            moved = sys::copyAt(src.f_, offset + int64_t(done), f_, at + int64_t(done), ask);
            if (moved <= 0) break;
        }
        if (!seek(at + int64_t(done))) fail(errno);
    }
    // What the system did not copy (it cannot, or `src` ended) goes through a block.
    PageBlock block(size_t(1) << 17);
    while (done < n && !failed_) {
        const size_t got = src.readAt(block.data(), size_t(std::min<uint64_t>(n - done, block.size())), offset + int64_t(done));
        if (got == 0 || write(block.data(), got) != got) break;
        done += got;
    }
    return done;
}

size_t File::fill(uint8_t value, uint64_t n) {
    static constexpr size_t kBlock = 1 << 16;
    std::vector<uint8_t> block(size_t(n < kBlock ? n : kBlock), value);
    uint64_t done = 0;
    while (done < n) {
        size_t chunk = size_t(n - done < kBlock ? n - done : kBlock);
        size_t w = write(block.data(), chunk);
        done += w;
        if (w != chunk) break;
    }
    return size_t(done);
}

void File::reserveTo(uint64_t length) {
    if (f_ && writable_ && length > 0) sys::reserve(f_, length);
}

bool File::truncate(int64_t length) {
    return f_ && std::fflush(f_) == 0 && sys::truncate(f_, length) && seek(length);
}

bool File::seek(int64_t offset, int whence) { return f_ && sys::seek(f_, offset, whence); }

int64_t File::tell() const { return f_ ? sys::tell(f_) : -1; }

int64_t File::length() {
    if (!f_) return -1;
    int64_t here = tell();
    if (!sys::seek(f_, 0, SEEK_END)) return -1;
    int64_t end = tell();
    sys::seek(f_, here, SEEK_SET);
    return end;
}

bool File::flush() {
    if (!f_) return false;
    if (!allowed()) fail(ENOSPC);
    else if (std::fflush(f_) != 0) fail(errno);
    return !failed_;
}

bool File::close() {
    if (!f_) return !failed_;
    bool seamOk = !writable_ || allowed();
    if (std::fclose(f_) != 0) fail(errno);
    if (!seamOk) fail(ENOSPC);
    f_ = nullptr;
    return !failed_;
}

void File::fail(int error) {
    if (!failed_) error_ = error;
    failed_ = true;
}

std::string File::failure() const {
    if (!failed_) return "";
    return error_ ? std::strerror(error_) : "the write fell short";
}

void removeFile(const std::string &path) { sys::removeFile(path); }

std::string get_dir_prefix(const std::string &path) {
    size_t pos = path.find_last_of("\\/");
    return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

} // namespace qv
