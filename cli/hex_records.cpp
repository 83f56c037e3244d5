#include "cli/hex_records.h"

#include "cli/errors.h"
#include "report/format.h"
#include "report/command_files.h"

#include "base/system.h"

#include <array>
#include <bit>
#include <cctype>
#include <cstring>
#include <filesystem>

namespace qvcli {
namespace {

constexpr size_t kMaxLine = 600; // 255 data bytes and the fields around them, with room
constexpr size_t kReadBlock = size_t(1) << 20;

// The read block of a file: all of it when it is shorter than kReadBlock (a
// readback of a few records takes no megabyte), else kReadBlock, which a
// file of unknown length (a pipe) gets too.
size_t readBlockFor(qv::File &f) {
    const int64_t n = f ? f.length() : -1;
    return n > 0 && uint64_t(n) < kReadBlock ? size_t(n) : kReadBlock;
}

constexpr bool kLittle = std::endian::native == std::endian::little;

// Each byte value's two hex digits as they lie in memory, to write a byte
// with one copy.
constexpr auto kPairs = [] {
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::array<uint16_t, 256> t{};
    for (size_t b = 0; b < 256; ++b) {
        const uint16_t hi = uint8_t(kDigits[b >> 4]), lo = uint8_t(kDigits[b & 15]);
        t[b] = kLittle ? uint16_t(hi | lo << 8) : uint16_t(hi << 8 | lo);
    }
    return t;
}();

// The digits of four bytes as they lie in memory.
inline uint64_t quad(const uint8_t *b) {
    uint64_t w = 0;
    for (int i = 0; i < 4; ++i) w |= uint64_t(kPairs[b[i]]) << (kLittle ? 16 * i : 48 - 16 * i);
    return w;
}

// Puts bytes as hex digits at `p` and adds them to the checksum.
inline char *putBytes(char *p, const uint8_t *bytes, size_t n, unsigned &sum) {
    size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const uint64_t w = quad(bytes + i);
        std::memcpy(p + 2 * i, &w, 8);
    }
    for (; i < n; ++i) std::memcpy(p + 2 * i, &kPairs[bytes[i]], 2);
    for (i = 0; i < n; ++i) sum += bytes[i];
    return p + 2 * n;
}

char *intelLine(uint16_t offset, uint8_t type, const uint8_t *data, size_t n, char *p) {
    const uint8_t head[4] = {uint8_t(n), uint8_t(offset >> 8), uint8_t(offset), type};
    unsigned sum = 0;
    *p++ = ':';
    p = putBytes(p, head, 4, sum);
    p = putBytes(p, data, n, sum);
    const uint8_t check = uint8_t(-sum);
    p = putBytes(p, &check, 1, sum);
    *p++ = '\n';
    return p;
}

char *s3Line(char type, uint32_t address, const uint8_t *data, size_t n, char *p) {
    const uint8_t head[5] = {uint8_t(n + 5), uint8_t(address >> 24), uint8_t(address >> 16), uint8_t(address >> 8),
                             uint8_t(address)};
    unsigned sum = 0;
    *p++ = 'S';
    *p++ = type;
    p = putBytes(p, head, 5, sum);
    p = putBytes(p, data, n, sum);
    const uint8_t check = uint8_t(~sum);
    p = putBytes(p, &check, 1, sum);
    *p++ = '\n';
    return p;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

} // namespace

char *RecordLines::data(uint32_t address, const uint8_t *bytes, size_t n, char *out) {
    if (format_ == FlashFormat::SRecord) return s3Line('3', address, bytes, n, out);
    if (int64_t(address >> 16) != upper_) {
        upper_ = address >> 16;
        const uint8_t upper[2] = {uint8_t(address >> 24), uint8_t(address >> 16)};
        out = intelLine(0, 4, upper, 2, out);
    }
    return intelLine(uint16_t(address), 0, bytes, n, out);
}

char *RecordLines::end(char *out) {
    if (format_ == FlashFormat::SRecord) return s3Line('7', 0, nullptr, 0, out);
    return intelLine(0, 1, nullptr, 0, out);
}

RecordReader::RecordReader(const std::string &path, FlashFormat f)
    : path_(path), format_(f), file_(path, "rb"), buf_(readBlockFor(file_)) {
    if (!file_) throw InputError("cannot read " + path);
}

void RecordReader::fail(const std::string &what) const {
    throw InputError(path_ + ": line " + std::to_string(line_) + ": " + what);
}

bool RecordReader::nextLine(std::string_view &line) {
    carry_.clear();
    for (;;) {
        if (pos_ == len_) {
            len_ = file_.readAt(buf_.data(), buf_.size(), at_);
            at_ += int64_t(len_);
            pos_ = 0;
            if (len_ == 0) {
                if (carry_.empty()) return false;
                line = carry_;
                break;
            }
        }
        const char *start = reinterpret_cast<const char *>(buf_.data()) + pos_, *nl = static_cast<const char *>(std::memchr(start, '\n', len_ - pos_));
        const size_t take = nl ? size_t(nl - start) : len_ - pos_;
        if (carry_.size() + take > kMaxLine) {
            ++line_;
            fail("longer than any record (" + std::to_string(kMaxLine) + " characters)");
        }
        pos_ += take + (nl ? 1 : 0);
        if (nl && carry_.empty()) {
            line = std::string_view(start, take); // the whole line in the buffer: no copy
            break;
        }
        carry_.append(start, take);
        if (nl) {
            line = carry_;
            break;
        }
    }
    ++line_;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return true;
}

bool RecordReader::intelLine(const uint8_t *b, size_t size, DataRecord &r) {
    if (size < 5 || b[0] != size - 5) fail("the length field does not match the line");
    const uint8_t type = b[3];
    const uint16_t offset = uint16_t(b[1] << 8 | b[2]);
    const size_t n = b[0];
    auto word = [&] { return uint64_t(b[4] << 8 | b[5]); };
    switch (type) {
    case 0:
        r.address = upper_ + offset;
        r.bytes.assign(b + 4, b + 4 + n);
        return true;
    case 1: ended_ = true; return false;
    case 2:
        if (n != 2) fail("an extended segment address record holds 2 bytes");
        upper_ = word() << 4;
        return false;
    case 4:
        if (n != 2) fail("an extended linear address record holds 2 bytes");
        upper_ = word() << 16;
        return false;
    case 3:
    case 5: return false; // start addresses: nothing of the flash
    default: fail(strprintf("record type %02X is no Intel HEX record", type));
    }
}

bool RecordReader::srecLine(char type, const uint8_t *b, size_t size, DataRecord &r) {
    if (size == 0 || b[0] != size - 1) fail("the count field does not match the line");
    size_t addrBytes = 0;
    switch (type) {
    case '1': addrBytes = 2; break;
    case '2': addrBytes = 3; break;
    case '3': addrBytes = 4; break;
    case '7': case '8': case '9': ended_ = true; return false;
    case '0': case '5': case '6': return false; // header and counts
    default: fail(std::string("S") + type + " is no S-record type");
    }
    if (size < 2 + addrBytes) fail("shorter than its address");
    uint64_t address = 0;
    for (size_t i = 0; i < addrBytes; ++i) address = address << 8 | b[1 + i];
    r.address = address;
    r.bytes.assign(b + 1 + addrBytes, b + size - 1);
    return true;
}

bool RecordReader::next(DataRecord &r) {
    static const auto kValues = [] {
        std::array<int8_t, 256> t;
        t.fill(-1);
        for (int c = 0; c < 256; ++c) t[size_t(c)] = int8_t(hexValue(char(c)));
        return t;
    }();
    std::string_view line;
    uint8_t b[kMaxLine / 2];
    while (nextLine(line)) {
        if (line.empty()) continue;
        if (ended_) fail("a record after the end record");
        const bool intel = format_ == FlashFormat::IntelHex;
        const size_t from = intel ? 1 : 2;
        if (intel ? line[0] != ':' : (line[0] != 'S' || line.size() < 2))
            fail(intel ? "does not start with ':'" : "does not start with 'S' and a type digit");
        if ((line.size() - from) % 2 != 0) fail("an odd number of hex digits");
        size_t n = 0;
        unsigned sum = 0;
        for (size_t i = from; i < line.size(); i += 2) {
            const int hi = kValues[uint8_t(line[i])], lo = kValues[uint8_t(line[i + 1])];
            if ((hi | lo) < 0) fail("\"" + std::string(line.substr(i, 2)) + "\" is not a hex byte");
            b[n] = uint8_t(hi << 4 | lo);
            sum += b[n++];
        }
        if (uint8_t(sum) != (intel ? 0 : 0xFF)) fail("bad checksum");
        r.line = line_;
        if (intel ? intelLine(b, n, r) : srecLine(line[1], b, n, r)) return true;
    }
    if (!ended_) throw InputError(path_ + ": no end record: the file is cut short");
    return false;
}

FlashFormat flashFormatFor(const std::string &path, const std::string &given, const std::string &option) {
    if (given == "raw" || given == "bin") return FlashFormat::Raw;
    if (given == "ihex" || given == "hex") return FlashFormat::IntelHex;
    if (given == "srec") return FlashFormat::SRecord;
    if (!given.empty()) throw UsageError("--flash-format: \"" + given + "\" is none of raw, ihex, srec");
    const std::string ext = qv::sys::utf8Path(qv::sys::fsPath(path).extension());
    std::string e;
    for (char c : ext) e += char(std::tolower(static_cast<unsigned char>(c)));
    if (e == ".bin" || e == ".raw") return FlashFormat::Raw;
    if (e == ".hex" || e == ".ihex") return FlashFormat::IntelHex;
    if (e == ".srec" || e == ".s37" || e == ".mot" || e == ".s19" || e == ".s28") return FlashFormat::SRecord;
    throw UsageError(option + ": " + path + ": the name does not tell the format (.bin, .hex, .ihex, .srec, .s37, .mot); "
                     "give --flash-format raw, ihex or srec");
}

} // namespace qvcli
