// A file the command writes in full only when everything before it worked:
// it is created under a unique temporary name in the final file's folder,
// and renamed over the final name by commit(). Until then an earlier file of
// that name stays as it was; a pending file never committed is removed.
#pragma once

#include "cli/io.h"

#include <string>

namespace qvcli {

class PendingFile {
public:
    // Creates the temporary file; throws InputError "cannot create PATH"
    // (the final path) when it cannot.
    explicit PendingFile(std::string path);
    ~PendingFile(); // removes the temporary file unless committed
    PendingFile(const PendingFile &) = delete;
    PendingFile &operator=(const PendingFile &) = delete;

    // Writes `data`, flushes it to the disk first when `sync`, and renames it
    // over the final path. Throws InputError "cannot write PATH".
    void commit(const Bytes &data, bool sync);

private:
    std::string path_, temp_;
    int fd_ = -1;
};

} // namespace qvcli
