// Every file the command writes itself besides the library's images (the
// release record, the programmer file): written under a unique temporary name
// in its own folder, the way the library writes its images with safe outputs,
// and moved over its final name only once it is complete. A failure or an
// exception leaves the earlier file as it was and no temporary behind.
#pragma once

#include "base/file.h"
#include "base/output_files.h"

#include <cstdint>
#include <string>

namespace qvcli {

class CommandOutput {
public:
    // Creates the temporary; throws InputError ("cannot create PATH").
    explicit CommandOutput(const std::string &path, bool sync = false);
    CommandOutput(const CommandOutput &) = delete;
    CommandOutput &operator=(const CommandOutput &) = delete;

    // Appends; a failed write is found by commit().
    void write(const void *data, size_t n) { file_.write(data, n); }
    // Closes and moves the file over its final name; throws InputError
    // ("cannot write PATH", or the replace failure).
    void commit();

private:
    std::string path_;
    qv::OutputFiles files_;
    qv::File file_;
};

// A whole file written through CommandOutput.
void writeCommandFile(const std::string &path, const std::string &text, bool sync = false);

} // namespace qvcli
