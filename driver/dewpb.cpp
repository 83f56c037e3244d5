#include "driver/dewpb.h"

#include "driver/call_codes.h"
#include "driver/call_control.h"
#include "driver/inputs.h"
#include "driver/log.h"
#include "driver/page_block.h"

#include <zlib.h>

namespace qv {
namespace {

constexpr size_t kBufSize = 300000;
constexpr const char *kName = "deWpb";

// Owns one inflate stream; released on every way out.
class Inflater {
public:
    Inflater() { inflateInit(&z_); }
    ~Inflater() { inflateEnd(&z_); }
    Inflater(const Inflater &) = delete;
    Inflater &operator=(const Inflater &) = delete;
    z_stream *operator->() { return &z_; }
    int run(int flush) { return inflate(&z_, flush); }

private:
    z_stream z_{};
};

// Writes the n bytes that the last inflate call made. False after a short
// write, which is logged with the number of bytes that did get written.
bool writeBlock(const ExpandedSink &out, PageBlock &buf, size_t n, const char *what) {
    if (n == 0) return true;
    logf(kName, what, int(n));
    size_t written = out(buf.data(), n);
    if (written == n) return true;
    logf(kName, "Write err %d", int(written));
    return false;
}

} // namespace

int deWpb(File &in, File &out) {
    return deWpb(in, [&out](const uint8_t *p, size_t n) { return out.writeThrough(p, n); });
}

int deWpb(File &in, const ExpandedSink &out) {
    if (!wpb_read_header(in)) return -62;
    // Both sides move whole buffers with one system call each, past the
    // streams' own buffers.
    PageBlock inBuf(kBufSize), outBuf(kBufSize);
    int64_t at = in.tell();
    auto readBlock = [&] {
        size_t got = at < 0 ? 0 : in.readAt(inBuf.data(), kBufSize, at);
        at += int64_t(got);
        return got;
    };
    Inflater z;
    LongLoop loop;

    for (;;) { // main loop
        if (z->avail_in == 0) {
            size_t got = readBlock();
            if (got == 0) {
                logf(kName, "Reached end of stream");
                break;
            }
            z->next_in = inBuf.data();
            z->avail_in = uInt(got);
        }
        z->next_out = outBuf.data();
        z->avail_out = uInt(kBufSize);
        int ret = z.run(Z_NO_FLUSH);
        if (ret != Z_OK && ret != Z_STREAM_END) {
            logf(kName, "Inflate error");
            return -99;
        }
        if (!writeBlock(out, outBuf, kBufSize - z->avail_out, "Write %d bytes")) return -115;
        if (!loop.advance(kBufSize - z->avail_out)) return kErrCancelled;
        if (ret == Z_STREAM_END) {
            // One more read tells whether anything follows the stream.
            if (readBlock() == 0) break;
            logf(kName, "Corrupt stream");
            return -128;
        }
    }

    for (;;) { // finishing loop
        z->next_out = outBuf.data();
        z->avail_out = uInt(kBufSize);
        int ret = z.run(Z_FINISH);
        if (!writeBlock(out, outBuf, kBufSize - z->avail_out, "Final write %d bytes")) return -148;
        if (!loop.advance(kBufSize - z->avail_out)) return kErrCancelled;
        if (ret != Z_OK && ret != Z_STREAM_END) {
            logf(kName, "Corrupt stream while finishing");
            return -155;
        }
        if (ret == Z_STREAM_END && z->avail_out != 0) {
            logf(kName, "%d DWL_END_OF_DOWNLOAD", 160);
            return 0;
        }
    }
}

} // namespace qv
