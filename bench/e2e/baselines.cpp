#include "e2e/baselines.h"

#include "base/file.h"

#include <vector>
#include <zlib.h>

namespace qvbench {
namespace {

constexpr size_t kBuf = 1 << 18; // 256 KiB: input, output and window stay in the L2 cache

class Inflate {
public:
    Inflate() { ok_ = inflateInit(&z_) == Z_OK; }
    ~Inflate() { inflateEnd(&z_); }
    Inflate(const Inflate &) = delete;
    Inflate &operator=(const Inflate &) = delete;
    bool ok() const { return ok_; }
    z_stream &z() { return z_; }

private:
    z_stream z_{};
    bool ok_ = false;
};

} // namespace

int64_t inflateToFile(const std::string &wpbPath, const std::string &outPath) {
    qv::File in(wpbPath, "rb");
    qv::File out(outPath, "wb");
    Inflate inf;
    if (!in || !out || !inf.ok() || !in.seek(144)) return -1;
    std::vector<uint8_t> inBuf(kBuf), outBuf(kBuf);
    z_stream &z = inf.z();
    int64_t total = 0;
    int ret = Z_OK;
    while (ret != Z_STREAM_END) {
        if (z.avail_in == 0) {
            size_t got = in.read(inBuf.data(), kBuf);
            if (got == 0) return -1; // cut short
            z.next_in = inBuf.data();
            z.avail_in = uInt(got);
        }
        z.next_out = outBuf.data();
        z.avail_out = uInt(kBuf);
        ret = inflate(&z, Z_NO_FLUSH);
        if (ret != Z_OK && ret != Z_STREAM_END) return -1;
        size_t n = kBuf - z.avail_out;
        if (out.write(outBuf.data(), n) != n) return -1;
        total += int64_t(n);
    }
    return out.close() ? total : -1;
}

int writeSequential(const std::string &path, uint64_t bytes) {
    qv::File out(path, "wb");
    if (!out) return -1;
    std::vector<uint8_t> block(kBuf, 0xFF);
    for (uint64_t done = 0; done < bytes;) {
        size_t n = size_t(bytes - done < kBuf ? bytes - done : kBuf);
        if (out.write(block.data(), n) != n) return -1;
        done += n;
    }
    return out.close() ? 0 : -1;
}

} // namespace qvbench
