// File: the one way the library opens, reads and writes files. It owns its
// stream (closed on every path), remembers the path for messages, and asks
// the file system it was opened on before every write, flush and close of an
// output, so that a test's file system can make any of them fail.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace qv {

// The file system a call's outputs are written on. The disk allows every
// operation; a test hands the call a file system that refuses one.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Asked before each write, flush and close of an output; false makes
    // that operation fail as a full disk would.
    virtual bool outputAllowed() = 0;
};

class File {
public:
    File() = default;
    // Opens `path`; `fs` (none: the disk) is asked before each output operation.
    File(const std::string &path, const char *mode, FileSystem *fs = nullptr);
    // Opens `openedPath` and names `path`: an output written under another
    // name until it is complete.
    File(const std::string &path, const char *mode, const std::string &openedPath, FileSystem *fs = nullptr);
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
    // Writes n bytes of `src` from `offset` at the stream's position, which
    // then moves past them: copied by the system from file to file where it
    // can, else through a buffer. Returns the number written, short when
    // `src` ends first or a write fails (which marks the file as failed).
    uint64_t copyFrom(File &src, int64_t offset, uint64_t n);
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
    // The system's reason for the first failed write, flush or close ("No
    // space left on device"); "" while none failed.
    std::string failure() const;

private:
    std::unique_ptr<char[]> buf_; // read buffer of an input stream; outlives the stream
    FILE *f_ = nullptr;
    std::string path_;
    FileSystem *fs_ = nullptr; // none: the disk
    bool writable_ = false;    // opened for output: its close asks the file system
    bool failed_ = false;
    int error_ = 0; // errno of the first failure

    void fail(int error);
    bool allowed() { return !fs_ || fs_->outputAllowed(); }
};

// Deletes a file by path; a missing file is not an error.
void removeFile(const std::string &path);

// Directory prefix of a path: everything up to and including the last '\' or
// '/', or the empty string when it holds neither.
std::string get_dir_prefix(const std::string &path);

} // namespace qv
