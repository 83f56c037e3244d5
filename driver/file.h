// File: the one way the library opens, reads and writes files. It owns its
// stream (closed on every path), remembers the path for messages, and routes
// every write, flush and close of an output through one counted seam so that
// tests can make the Nth of them fail.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace qv {

class File {
public:
    File() = default;
    File(const std::string &path, const char *mode);
    // Opens `openedPath` and names `path`: an output written under another
    // name until it is complete.
    File(const std::string &path, const char *mode, const std::string &openedPath);
    File(File &&other) noexcept;
    File &operator=(File &&other) noexcept;
    File(const File &) = delete;
    File &operator=(const File &) = delete;
    ~File();

    explicit operator bool() const { return f_ != nullptr; }
    const std::string &path() const { return path_; }

    // Reads up to n bytes; returns the number read (0 at the end or on error).
    size_t read(void *dst, size_t n);
    // Reads up to n bytes at `offset` straight from the file, past the
    // stream's buffer and without moving the stream. Returns the number read,
    // short only at the end of the file or on an error. For bulk copies: a
    // stream positioned off its buffer's grid would copy half of every block
    // through the buffer.
    size_t readAt(void *dst, size_t n, int64_t offset);
    // Writes n bytes; returns the number written. A short write marks the
    // file as failed.
    size_t write(const void *src, size_t n);
    // Writes n bytes at `offset` straight to the file after flushing what the
    // stream holds, without moving the stream; otherwise like write(). Bulk
    // copies move each block with one system call this way, not through the
    // stream's buffer.
    size_t writeAt(const void *src, size_t n, int64_t offset);
    // writeAt() at the stream's position, which then moves past the bytes
    // written; write() where the file has no position (a pipe).
    size_t writeThrough(const void *src, size_t n);
    // Writes n copies of one byte value; returns the number written.
    size_t fill(uint8_t value, uint64_t n);
    // Asks the file system to set aside room for the file to grow to
    // `length` bytes without changing its length, so that writing them later
    // allocates no blocks on the way. Only a hint: a pipe, a device or a file
    // system without the call leaves the file as it was.
    void reserveTo(uint64_t length);
    // Cuts the file back to `length` bytes and moves the stream there.
    bool truncate(int64_t length);
    bool seek(int64_t offset, int whence = SEEK_SET);
    int64_t tell() const;
    // Length of the file, leaving the position where it was; -1 on error.
    int64_t length();
    bool flush();
    // Closes the stream. True when every write, the flush and the close
    // succeeded over the file's life.
    bool close();
    // True once a write, flush or close has failed.
    bool failed() const { return failed_; }

private:
    std::unique_ptr<char[]> buf_; // read buffer of an input stream; outlives the stream
    FILE *f_ = nullptr;
    std::string path_;
    bool writable_ = false; // opened for output: its close goes through the seam
    bool failed_ = false;
};

// Deletes a file by path; a missing file is not an error.
void removeFile(const std::string &path);

// Directory prefix of a path: everything up to and including the last '\' or
// '/', or the empty string when it holds neither.
std::string get_dir_prefix(const std::string &path);

// The counted seam behind File's write, flush and close. Each such operation
// counts one; when the count reaches `failAt` (1-based, 0 = never) that
// operation fails as a full disk would.
struct IoFaultSeam {
    uint64_t failAt = 0;
    uint64_t count = 0;
    bool next(); // counts one operation; false when it must fail
};

} // namespace qv
