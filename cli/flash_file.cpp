#include "cli/flash_file.h"

#include "report/read_files.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace qvcli {
namespace {

constexpr uint64_t kBlock = uint64_t(1) << 20;
constexpr uint64_t kLine = 32;

bool erased(const uint8_t *p, size_t n) {
    static const uint8_t kErased[kLine] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                           0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                           0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    return std::memcmp(p, kErased, n) == 0;
}

// The lines of one block that hold data.
void blockLines(RecordLines &lines, uint64_t from, const uint8_t *block, uint64_t n, std::string &text) {
    for (uint64_t p = from; p < from + n;) {
        const uint64_t end = std::min(from + n, (p / kLine + 1) * kLine);
        const uint8_t *bytes = block + (p - from);
        if (!erased(bytes, size_t(end - p))) lines.data(uint32_t(p), bytes, size_t(end - p), text);
        p = end;
    }
}

} // namespace

void writeFlashFile(const std::string &path, FlashFormat format, FlashContent &content, bool sync,
                    const std::function<void()> &beforeCommit) {
    SafeOutput out(path, sync);
    const FlashLayout &l = content.layout();
    std::vector<uint8_t> block(kBlock);
    std::string text;
    RecordLines lines(format);
    for (uint64_t a = l.base; a < l.end;) {
        const uint64_t next = std::min(l.end, (a / kBlock + 1) * kBlock), n = next - a;
        content.read(a, block.data(), size_t(n));
        if (format == FlashFormat::Raw) {
            out.write(ByteView(block.data(), size_t(n)));
        } else {
            blockLines(lines, a, block.data(), n, text);
            out.write(asBytes(text));
            text.clear();
        }
        a = next;
    }
    if (format != FlashFormat::Raw) {
        lines.end(text);
        out.write(asBytes(text));
    }
    if (beforeCommit) beforeCommit();
    out.commit();
}

} // namespace qvcli
