// The files a call writes besides its log. With safe outputs each output
// image is written under a unique temporary name in its own folder and
// replaces the file of its final name only once the whole merge succeeded;
// on failure every temporary goes and the earlier files stay as they were.
// The merges open and name the final path throughout, so logs and messages
// read the same with and without it.
#pragma once

#include "base/cause.h"
#include "base/file.h"
#include "base/log.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

class OutputFiles {
public:
    OutputFiles() = default;
    OutputFiles(const OutputFiles &) = delete;
    OutputFiles &operator=(const OutputFiles &) = delete;
    ~OutputFiles() { discard(); }

    // Starts a call: `safe` writes outputs under temporary names and makes
    // scratch files unique, `sync` flushes outputs to the disk at the end.
    void begin(bool safe, bool sync);
    // Opens the output `path` with `mode` ("wb" or "w+b"): its temporary,
    // for update, when outputs are safe and `path` is, or will be, a regular
    // file; else `path` itself. The File names `path` either way and asks
    // `fs` (none: the disk) before each write.
    File open(const std::string &path, const char *mode, FileSystem *fs);
    // Opens the call's log at `path`: with safe outputs, when `path` is, or
    // will be, a regular file, under a unique temporary name in its folder
    // that closing the log moves over `path`, whether the call succeeded or
    // failed; so two calls writing one log leave the whole log of one of them.
    // Else (or when no temporary can be created) at `path` itself.
    bool openLog(MergeLog &log, const std::string &path);
    // Path of a scratch file `name` in the folder `dirPrefix`: that name
    // itself, or with safe outputs a unique name that is created here, so
    // that two merges into one folder never share one and no file of the
    // user's is replaced. Empty when no unique name could be created.
    std::string scratch(const std::string &dirPrefix, const char *name);
    // Ends a successful merge: flushes what was opened to the disk (sync),
    // then moves the temporaries over the final names. 0, or a negative code
    // with `msg` naming the file and `why` (when given) what was done to it.
    int commit(std::string &msg, Cause *why = nullptr);
    // Removes every temporary and scratch file left and forgets the call.
    void discard() noexcept;

private:
    struct Output {
        std::string path; // the final name
        std::string temp; // where it is written; empty: at the final name
    };
    int sync(std::string &msg, Cause *why) const;
    int replace(std::string &msg, Cause *why);

    bool safe_ = false, sync_ = false;
    std::vector<Output> opened_;
    std::vector<std::string> scratch_;
    uint64_t names_ = 0; // unique names asked for so far
};

} // namespace qv
