// Reading a description file into the object table: the container header,
// the lines, the objects, their values and the metadata entries.
#include "e2p/e2p_file.h"

#include "base/results.h"
#include "base/file.h"
#include "base/log.h"
#include "base/whole_file.h"
#include "base/results.h"
#include "e2p/text_helpers.h"
#include "e2p/text_lines.h"

#include <algorithm>
#include <cstring>

namespace qv {
namespace {

// Stores the message of a failure and returns its code.
int fail(std::string &error, int code, std::string message) {
    error = std::move(message);
    return code;
}

constexpr size_t kContainerProbe = 16;

// A numeric value token: "%p" is the placeholder (all bits set), "0x"
// anywhere makes it hexadecimal, anything else is decimal.
int32_t numericValue(std::string_view token) {
    if (token.find("%p") != std::string_view::npos) return -1;
    if (token.find("0x") != std::string_view::npos) return HexStrToInt(token);
    return DecStrToInt(token);
}

// The first and the last token of a line (both empty when it has none), and
// how many it has.
size_t firstAndLast(std::string_view line, std::string_view &first, std::string_view &last) {
    Pieces pieces(line, " ");
    first = last = {};
    size_t n = 0;
    for (std::string_view piece; pieces.next(piece); ++n) {
        if (n == 0) first = piece;
        last = piece;
    }
    return n;
}

// The four tokens of a header line; false for a line of any other count.
bool headerTokens(std::string_view line, std::string_view (&tokens)[4]) {
    Pieces pieces(line, " ");
    size_t n = 0;
    for (std::string_view piece; pieces.next(piece); ++n) {
        if (n == 4) return false;
        tokens[n] = piece;
    }
    return n == 4;
}

// Hands the values of one value line to `sink`; returns how many it gave.
// The tokens are walked twice (the last one names the type of the others)
// and never held, so a line of any length costs no more than its values.
size_t readValueLine(std::string_view line, E2pObjectSink &sink) {
    std::string_view first, typeName, token;
    const size_t n = firstAndLast(line, first, typeName);
    if (n == 0) return 0;
    const int32_t type = CE2pFile::GetValueType(typeName);
    Pieces tokens(line, " ");
    if (type == kE2pAscii) {
        E2pFileObjValueTag v;
        for (size_t i = 0; i + 1 < n && tokens.next(token); ++i) {
            if (i) v.text += ' ';
            v.text += token;
        }
        v.typeName = typeName;
        v.type = type;
        sink.value(std::move(v));
        return 1;
    }
    for (size_t i = 0; i + 1 < n && tokens.next(token); ++i) {
        E2pFileObjValueTag v;
        v.value = numericValue(token);
        v.placeholder = token.find("%p") != std::string_view::npos;
        v.typeName = typeName;
        v.type = type;
        sink.value(std::move(v));
    }
    return n - 1;
}

// Keeps every object in the table.
class TableSink : public E2pObjectSink {
public:
    explicit TableSink(std::vector<E2pFileObjTag> &objects) : objects_(objects) {}
    void begin(const E2pFileObjTag &obj, size_t) override { objects_.push_back(obj); }
    void value(E2pFileObjValueTag &&v) override { objects_.back().values.push_back(std::move(v)); }
    bool end() override { return true; }

private:
    std::vector<E2pFileObjTag> &objects_;
};

} // namespace

int32_t CE2pFile::GetValueType(std::string_view token) {
    static constexpr std::string_view kTokens[] = {"%u8", "%s8", "%u16", "%s16", "%u32", "%s32", "%ascii"};
    for (int32_t code = 0; code < int32_t(std::size(kTokens)); ++code)
        if (token == kTokens[code]) return code;
    return kE2pU8;
}

bool CE2pFile::IsDummyObj(const E2pFileObjTag &obj) {
    Pieces pieces(obj.name, "::");
    std::string_view first;
    return pieces.next(first) && first == "Dummy";
}

void CE2pFile::ParseDummyObj(const E2pFileObjTag &obj, std::string_view line) {
    std::string_view value, type;
    firstAndLast(line, value, type);
    if (obj.name == "Dummy::Version" && GetValueType(type) == kE2pAscii) {
        Pieces parts(value, ".");
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            std::string_view part;
            parts.next(part); // a missing part stays empty and reads as 0
            v += uint32_t(DecStrToInt(part)) << (8 * (3 - i));
        }
        version = v;
    } else if (obj.name == "Dummy::ID" && GetValueType(type) == kE2pU8) {
        id = uint8_t(value.find("0x") != std::string_view::npos ? HexStrToInt(value) : DecStrToInt(value));
    }
}

int CE2pFile::Load(const std::string &path, int /*flag*/, std::string *error) {
    TableSink table(objects);
    return Read(path, table, error);
}

int CE2pFile::Read(const std::string &path, E2pObjectSink &sink, std::string *error) {
    objects.clear();
    tempFile.clear();
    tempCreated = false;
    std::string message;
    int r = ReadText(path, sink, message);
    if (tempCreated && IsFileExist(tempFile)) removeFile(tempFile);
    if (r != 0 && error) *error = std::move(message);
    return r;
}

int CE2pFile::ReadText(const std::string &path, E2pObjectSink &sink, std::string &error) {
    // Refused by its size before anything of it is read.
    if (const uint64_t length = GetFileLength(path); length > kE2pMaxFileSize) {
        if (Cause *w = why())
            w->explain("holds %llu bytes; a description file holds at most %llu",
                       static_cast<unsigned long long>(length), static_cast<unsigned long long>(kE2pMaxFileSize));
        return fail(error, kE2pFileTooLarge,
                    strprintf("description file %s holds %llu bytes, more than the %llu a description file may hold",
                              path.c_str(), static_cast<unsigned long long>(length),
                              static_cast<unsigned long long>(kE2pMaxFileSize)));
    }
    bool wrapped = false;
    if (int r = Unwrap(path, wrapped, error)) return r;
    return ParseFile(wrapped ? tempFile : path, sink, error);
}

int CE2pFile::Unwrap(const std::string &path, bool &wrapped, std::string &error) {
    const uint64_t length = GetFileLength(path);
    if (length < kContainerProbe) return 0;
    File in(path, "rb");
    if (!in) return 0;
    char head[kContainerProbe];
    if (size_t got = in.read(head, sizeof head); got != sizeof head)
        return readFailed(path, got, length, error);
    uint64_t headerLength;
    if (std::memcmp(head, "MSTM", 4) == 0) headerLength = 16;
    else if (std::memcmp(head, "MSTE", 4) == 0) headerLength = 32;
    else return 0;
    wrapped = true;

    const uint64_t bodyLength = length > headerLength ? length - headerLength : 0;
    if (bodyLength == 0) return 0; // nothing to parse: no temporary file
    std::string body(size_t(bodyLength), '\0');
    const size_t got = in.seek(int64_t(headerLength)) ? in.read(body.data(), body.size()) : 0;
    if (got != body.size()) return readFailed(path, headerLength + got, length, error);
    in.close();

    tempFile = GetTempFilePath("AuE");
    if (tempFile.empty()) {
        if (Cause *w = why())
            w->explain("its text cannot be given a temporary file in %s: %s", GetTempDir().c_str(),
                       systemReason().c_str());
        return fail(error, kE2pTempNameFailed,
                    strprintf("cannot create a temporary file in %s", GetTempDir().c_str()));
    }
    tempCreated = true;
    File out(tempFile, "wb", io_ ? io_->fs : nullptr);
    if (!out) {
        if (Cause *w = why())
            w->explain("the temporary file %s for its text cannot be opened: %s", tempFile.c_str(),
                       systemReason().c_str());
        return fail(error, kE2pTempOpenFailed, strprintf("open %s failed", tempFile.c_str()));
    }
    out.write(body.data(), body.size());
    if (!out.close()) {
        if (Cause *w = why())
            w->explain("the temporary file %s for its text cannot be written: %s", tempFile.c_str(),
                       systemReason().c_str());
        return fail(error, kE2pTempWriteFailed, strprintf("write %s failed", tempFile.c_str()));
    }
    return 0;
}

int CE2pFile::readFailed(const std::string &path, uint64_t got, uint64_t length, std::string &error) {
    if (Cause *w = why())
        w->explain("reading stopped after %llu of its %llu bytes", static_cast<unsigned long long>(got),
                   static_cast<unsigned long long>(length));
    return fail(error, kE2pContainerReadFailed, strprintf("read %s failed", path.c_str()));
}

int CE2pFile::ParseFile(const std::string &path, E2pObjectSink &sink, std::string &error) {
    if (path.empty() || IsDirectory(path)) return 0;
    File in(path, "rb");
    if (!in) return 0;
    // The text is read whole before the first object goes to the sink: a
    // file that cannot be read to its end gives no object at all.
    std::string text;
    int64_t expected = 0;
    const ReadEnd end = readWholeStream(in, text, kE2pMaxFileSize, expected);
    if (end == ReadEnd::cut) {
        if (Cause *w = why())
            w->explain("reading stopped after %zu of its %lld bytes", text.size(), static_cast<long long>(expected));
        return fail(error, kE2pTextReadFailed, strprintf("read %s failed", path.c_str()));
    }
    if (end == ReadEnd::tooLong) {
        if (Cause *w = why())
            w->explain("gives more than the %llu bytes a description file holds at most (a device, a pipe or a file "
                       "that grew)",
                       static_cast<unsigned long long>(kE2pMaxFileSize));
        return fail(error, kE2pTextTooLong, strprintf("description file %s gives more than %llu bytes", path.c_str(),
                                               static_cast<unsigned long long>(kE2pMaxFileSize)));
    }
    in.close();

    TextLines lines(text);
    std::string_view line;
    while (lines.next(line)) {
        if (io_ && cancelRequested(io_->call)) return fail(error, kErrCancelled, "cancelled");
        std::string_view tokens[4];
        if (!headerTokens(line, tokens)) continue;
        E2pFileObjTag obj;
        obj.name = tokens[0];
        obj.address = DecStrToInt(tokens[1]);
        obj.size = DecStrToInt(tokens[2]);
        obj.count = DecStrToInt(tokens[3]);
        if (IsDummyObj(obj)) {
            if (lines.next(line)) ParseDummyObj(obj, line);
            continue;
        }
        sink.begin(obj, lines.number());
        int64_t got = 0;
        while (got < obj.count && lines.next(line)) got += int64_t(readValueLine(line, sink));
        if (!sink.end()) break;
    }
    return 0;
}

} // namespace qv
