#include "rai/block_reader.h"

#include <exception>

namespace qv {

BlockReader::BlockReader(File &stream, size_t blockSize) : stream_(stream), blockSize_(blockSize) {
    buffers_[0] = std::make_unique<uint8_t[]>(blockSize);
    buffers_[1] = std::make_unique<uint8_t[]>(blockSize);
    try {
        thread_ = std::thread(&BlockReader::readAhead, this);
    } catch (const std::exception &) {
        // No thread: next() reads each block itself.
    }
}

BlockReader::~BlockReader() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

// The helper thread: fills the buffers in turn, each once the caller gave it
// back, until a block comes out short or the reader goes.
void BlockReader::readAhead() {
    for (unsigned b = 0;; b ^= 1) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return stop_ || !filled_[b]; });
            if (stop_) return;
        }
        size_t got = stream_.read(buffers_[b].get(), blockSize_);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            sizes_[b] = got;
            filled_[b] = true;
        }
        changed_.notify_all();
        if (got < blockSize_) return;
    }
}

BlockReader::Block BlockReader::next() {
    unsigned b = current_;
    current_ ^= 1;
    if (!thread_.joinable()) return {buffers_[b].get(), stream_.read(buffers_[b].get(), blockSize_)};
    std::unique_lock<std::mutex> lock(mutex_);
    if (given_) filled_[b ^ 1] = false; // the block before goes back
    given_ = true;
    changed_.notify_all();
    changed_.wait(lock, [&] { return filled_[b]; });
    return {buffers_[b].get(), sizes_[b]};
}

} // namespace qv
