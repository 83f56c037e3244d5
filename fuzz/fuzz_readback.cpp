// Readbacks as verify reads them: the first byte chooses Intel HEX or
// S-records (bit 0), the rest is the file, read record by record. Then the
// same bytes written as records of that format read back to the same bytes.
#include "cli/hex_records.h"
#include "report/command_files.h"
#include "support.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    static const qvfuzz::FuzzDir dir;
    const qvcli::FlashFormat format = data[0] & 1 ? qvcli::FlashFormat::SRecord : qvcli::FlashFormat::IntelHex;
    const std::string path = dir.write("readback", qvfuzz::Bytes(data + 1, data + size));
    try {
        qvcli::RecordReader reader(path, format);
        qvcli::DataRecord r;
        while (reader.next(r)) {
        }
    } catch (const qvcli::InputError &) {
    }
    // Round trip: the input's bytes as data at an address its first bytes give.
    uint32_t address = 0;
    std::memcpy(&address, data, std::min<size_t>(4, size));
    address &= 0xFFFFFFE0u;
    if (uint64_t(address) + size > 0x100000000ull) address = 0;
    qvcli::RecordLines lines(format);
    std::string text;
    char line[qvcli::RecordLines::kMaxChars];
    for (size_t at = 0; at < size; at += 32) {
        char *end = lines.data(address + uint32_t(at), data + at, std::min<size_t>(32, size - at), line);
        text.append(line, size_t(end - line));
    }
    text.append(line, size_t(lines.end(line) - line));
    const std::string again = dir.write("again", qvfuzz::Bytes(text.begin(), text.end()));
    qvcli::RecordReader reader(again, format);
    qvcli::DataRecord r;
    size_t at = 0;
    while (reader.next(r)) {
        if (r.address != address + at || std::memcmp(r.bytes.data(), data + at, r.bytes.size()) != 0) std::abort();
        at += r.bytes.size();
    }
    if (at != size) std::abort();
    return 0;
}
