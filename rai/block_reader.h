// Reads a stream in blocks of a fixed size, one block ahead of the code that
// uses them: a helper thread copies the next block out of the file while the
// caller works on the one before. The blocks, their order and their sizes are
// those of reading the stream block by block on the caller's thread; without
// a thread that is what it does.
#pragma once

#include "driver/file.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

namespace qv {

class BlockReader {
public:
    struct Block {
        const uint8_t *data = nullptr;
        size_t size = 0; // below the block size: the stream's last block
    };

    BlockReader(File &stream, size_t blockSize);
    ~BlockReader();
    BlockReader(const BlockReader &) = delete;
    BlockReader &operator=(const BlockReader &) = delete;

    // The next block. The one before is given back; call only after a
    // block of the full size.
    Block next();

private:
    void readAhead();

    File &stream_;
    size_t blockSize_;
    std::unique_ptr<uint8_t[]> buffers_[2];
    size_t sizes_[2] = {0, 0};
    bool filled_[2] = {false, false};
    unsigned current_ = 0; // the buffer next() returns next
    bool given_ = false;   // the caller holds buffer current_ ^ 1
    bool stop_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread thread_;
};

} // namespace qv
