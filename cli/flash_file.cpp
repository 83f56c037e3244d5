#include "cli/flash_file.h"

#include "report/command_files.h"

#include "base/page_block.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace qvcli {
namespace {

// The flash is read into page-aligned blocks that stay in the cache the copy
// from the system goes through, and the text is written from page-aligned
// pieces of about the same size: each byte is moved while it is still there.
constexpr uint64_t kBlock = uint64_t(1) << 17;
constexpr size_t kText = size_t(1) << 18;
constexpr uint64_t kLine = 32;

bool erased(const uint8_t *p, size_t n) {
    uint64_t all = ~uint64_t(0);
    size_t i = 0;
    for (uint64_t w; i + 8 <= n; i += 8) std::memcpy(&w, p + i, 8), all &= w;
    for (; i < n; ++i) all &= uint64_t(p[i]) | ~uint64_t(0xFF);
    return all == ~uint64_t(0);
}

// HEX or S-record text, gathered and written in large pieces.
class TextOutput {
public:
    TextOutput(SafeOutput &out, FlashFormat f) : out_(out), lines_(f), text_(kText), end_(text()) {}
    void data(uint32_t address, const uint8_t *bytes, size_t n) { end_ = lines_.data(address, bytes, n, room()); }
    void end() {
        end_ = lines_.end(room());
        flush();
    }

private:
    char *room() {
        if (size_t(end_ - text()) > text_.size() - RecordLines::kMaxChars) flush();
        return end_;
    }
    void flush() {
        out_.write(ByteView(text_.data(), size_t(end_ - text())));
        end_ = text();
    }
    char *text() { return reinterpret_cast<char *>(text_.data()); }
    SafeOutput &out_;
    RecordLines lines_;
    qv::PageBlock text_;
    char *end_;
};

// The lines of one block that hold data.
void blockLines(TextOutput &text, uint64_t from, const uint8_t *block, uint64_t n) {
    for (uint64_t p = from; p < from + n;) {
        const uint64_t end = std::min(from + n, (p / kLine + 1) * kLine);
        const uint8_t *bytes = block + (p - from);
        if (!erased(bytes, size_t(end - p))) text.data(uint32_t(p), bytes, size_t(end - p));
        p = end;
    }
}

// The flash of [from, to) a block at a time, each block on the grid of the
// block size.
template <class Use> void writeBlocks(FlashContent &content, uint64_t from, uint64_t to, const Use &use) {
    qv::PageBlock block(kBlock);
    for (uint64_t a = from; a < to;) {
        const uint64_t next = std::min(to, (a / kBlock + 1) * kBlock), n = next - a;
        content.read(a, block.data(), size_t(n));
        use(a, block.data(), n);
        a = next;
    }
}

// A raw file: an image placed byte for byte is copied by the system from its
// file (its bytes never pass through this process); the erased gaps and the
// interleaved images go through blocks.
void writeRaw(SafeOutput &out, FlashContent &content) {
    const FlashLayout &l = content.layout();
    auto blocks = [&](uint64_t from, uint64_t to) {
        writeBlocks(content, from, to, [&](uint64_t, const uint8_t *block, uint64_t n) { out.write(ByteView(block, size_t(n))); });
    };
    uint64_t at = l.base;
    for (size_t i = 0; i < l.images.size(); ++i) {
        const PlacedImage &p = l.images[i];
        if (p.interleaved) continue;
        blocks(at, p.address);
        if (out.copy(content.file(i), 0, p.length) != p.length && !out.failed()) throw imageUnreadable(p);
        at = p.end();
    }
    blocks(at, l.end);
}

} // namespace

void writeFlashFile(const std::string &path, FlashFormat format, FlashContent &content, bool sync,
                    const std::function<void()> &beforeCommit) {
    SafeOutput out(path, sync);
    if (format == FlashFormat::Raw) {
        writeRaw(out, content);
    } else {
        TextOutput text(out, format);
        writeBlocks(content, content.layout().base, content.layout().end, [&](uint64_t a, const uint8_t *block, uint64_t n) {
            blockLines(text, a, block, n);
        });
        text.end();
    }
    if (beforeCommit) beforeCommit();
    out.commit();
}

} // namespace qvcli
