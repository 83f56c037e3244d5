#include "input/dewpb.h"

#include "base/results.h"
#include "base/log.h"
#include "base/page_block.h"
#include "input/inputs.h"

#include <algorithm>

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

// Where the expanded bytes go, and how many more may go there.
struct Expansion {
    MergeLog &log;
    const ExpandedSink &out;
    uint64_t room;
    uint64_t done = 0;
};

// zlib's own words for a failed inflate call.
const char *zlibReason(Inflater &z, int ret) {
    if (z->msg) return z->msg;
    return ret == Z_NEED_DICT ? "the stream needs a preset dictionary" : zError(ret);
}

// Why an expansion stopped, told to the call's cause: the input is named by
// the caller, which knows it as the user does (also for a temporary copy).
// `at` is the input offset of the first byte inflate has not taken.
void explainStop(Cause &cause, int code, const Expansion &x, int64_t at, int64_t fileEnd, const char *reason) {
    const long long where = at, start = kWpbHeaderSize, end = fileEnd;
    const unsigned long long done = x.done;
    switch (code) {
    case kWpbInflateFailed:
        cause.explain("the zlib stream from offset 0x%llx is corrupt before offset 0x%llx, after %llu bytes "
                      "expanded: %s", start, where, done, reason);
        break;
    case kWpbDataAfterStream:
        cause.explain("the zlib stream from offset 0x%llx ends at offset 0x%llx, and the file goes on to %lld", start,
                      where, end);
        break;
    case kWpbCorruptEnd:
        if (end <= start)
            cause.explain("no zlib stream after the %lld-byte header: the file ends at %lld", start, end);
        else
            cause.explain("the zlib stream from offset 0x%llx is cut short at the file's end (%lld), after %llu bytes "
                          "expanded: %s", start, end, done, reason);
        break;
    // A failed write is the output's and told by the caller; a cancel is the
    // host's; an expansion that reaches its limit may be taken as it is.
    default: break;
    }
}

// Writes the n bytes that the last inflate call made, as many of them as
// there is room for. 0; `shortCode` after a short write, which is logged with
// the number of bytes that did get written; kWpbPastLimit, logged with where
// the expansion stopped, when they did not all fit.
int writeBlock(Expansion &x, PageBlock &buf, size_t n, const char *what, int shortCode) {
    const size_t fit = size_t(std::min<uint64_t>(n, x.room));
    if (fit > 0) {
        logf(x.log, kName, what, int(fit));
        size_t written = x.out(buf.data(), fit);
        if (written != fit) {
            logf(x.log, kName, "Write err %d", int(written));
            return shortCode;
        }
        x.room -= fit;
        x.done += fit;
    }
    if (fit == n) return 0;
    logf(x.log, kName, "Stopped after %llu bytes: this input may expand to no more",
         static_cast<unsigned long long>(x.done));
    return kWpbPastLimit;
}

} // namespace

int deWpb(Io &io, File &in, File &out, uint64_t limit) {
    return deWpb(io, in, [&out](const uint8_t *p, size_t n) { return out.writeThrough(p, n); }, limit);
}

int deWpb(Io &io, File &in, const ExpandedSink &out, uint64_t limit) {
    MergeLog &log = io.log;
    if (!wpb_read_header(in)) {
        io.cause.explain("no compressed-input magic 0x5A57 at offset 0x10");
        return kWpbNoMagic;
    }
    // Both sides move whole buffers with one system call each, past the
    // streams' own buffers.
    PageBlock inBuf(kBufSize), outBuf(kBufSize);
    Expansion x{log, out, limit};
    int64_t at = in.tell();
    auto readBlock = [&] {
        size_t got = at < 0 ? 0 : in.readAt(inBuf.data(), kBufSize, at);
        at += int64_t(got);
        return got;
    };
    Inflater z;
    LongLoop loop(io.call);
    // Where inflate stands in the input, for the cause of a stop.
    auto stop = [&](int code, int ret) {
        explainStop(io.cause, code, x, at - int64_t(z->avail_in), in.length(), zlibReason(z, ret));
        return code;
    };

    for (;;) { // main loop
        if (z->avail_in == 0) {
            size_t got = readBlock();
            if (got == 0) {
                logf(log, kName, "Reached end of stream");
                break;
            }
            z->next_in = inBuf.data();
            z->avail_in = uInt(got);
        }
        z->next_out = outBuf.data();
        z->avail_out = uInt(kBufSize);
        int ret = z.run(Z_NO_FLUSH);
        if (ret != Z_OK && ret != Z_STREAM_END) {
            logf(log, kName, "Inflate error");
            return stop(kWpbInflateFailed, ret);
        }
        if (int r = writeBlock(x, outBuf, kBufSize - z->avail_out, "Write %d bytes", kWpbWriteShort))
            return stop(r, ret);
        if (!loop.advance(kBufSize - z->avail_out)) return kErrCancelled;
        if (ret == Z_STREAM_END) {
            // One more read tells whether anything follows the stream.
            const int64_t end = at - int64_t(z->avail_in);
            if (readBlock() == 0) break;
            logf(log, kName, "Corrupt stream");
            explainStop(io.cause, kWpbDataAfterStream, x, end, in.length(), "");
            return kWpbDataAfterStream;
        }
    }

    for (;;) { // finishing loop
        z->next_out = outBuf.data();
        z->avail_out = uInt(kBufSize);
        int ret = z.run(Z_FINISH);
        if (int r = writeBlock(x, outBuf, kBufSize - z->avail_out, "Final write %d bytes", kWpbFinalWriteShort))
            return stop(r, ret);
        if (!loop.advance(kBufSize - z->avail_out)) return kErrCancelled;
        if (ret != Z_OK && ret != Z_STREAM_END) {
            logf(log, kName, "Corrupt stream while finishing");
            return stop(kWpbCorruptEnd, ret);
        }
        if (ret == Z_STREAM_END && z->avail_out != 0) {
            logf(log, kName, "%d DWL_END_OF_DOWNLOAD", 160);
            return 0;
        }
    }
}

} // namespace qv
