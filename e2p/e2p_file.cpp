// Reading a description file into the object table: the container header,
// the lines, the objects, their values and the metadata entries.
#include "e2p/e2p_file.h"

#include "driver/call_codes.h"
#include "driver/call_control.h"
#include "driver/file.h"
#include "driver/log.h"
#include "e2p/e2p_codes.h"
#include "e2p/text_helpers.h"
#include "e2p/text_lines.h"

#include <cstring>

namespace qv {
namespace {

constexpr size_t kContainerProbe = 16;
constexpr size_t kReadBlock = 1 << 16;

// Reads the whole stream; false when it ends before `expected` bytes (a
// read error: the length was known when the file was opened).
bool readAll(File &f, std::string &out) {
    const int64_t expected = f.length();
    out.clear();
    if (expected > 0) out.reserve(size_t(expected));
    char block[kReadBlock];
    for (size_t n; (n = f.read(block, sizeof block)) > 0;) out.append(block, n);
    return expected < 0 || out.size() >= uint64_t(expected);
}

// A numeric value token: "%p" is the placeholder (all bits set), "0x"
// anywhere makes it hexadecimal, anything else is decimal.
int32_t numericValue(const std::string &token) {
    if (token.find("%p") != std::string::npos) return -1;
    if (token.find("0x") != std::string::npos) return HexStrToInt(token);
    return DecStrToInt(token);
}

// Appends the values of one value line; returns how many it gave. `tokens`
// is scratch space, reused from line to line.
size_t readValueLine(std::string_view line, std::vector<E2pFileObjValueTag> &values,
                     std::vector<std::string> &tokens) {
    SplitString(line, tokens, " ");
    if (tokens.empty()) return 0;
    const std::string &typeName = tokens.back();
    const int32_t type = CE2pFile::GetValueType(typeName);
    const size_t n = tokens.size() - 1;
    if (type == kE2pAscii) {
        E2pFileObjValueTag v;
        for (size_t i = 0; i < n; ++i) {
            if (i) v.text += ' ';
            v.text += tokens[i];
        }
        v.typeName = typeName;
        v.type = type;
        values.push_back(std::move(v));
        return 1;
    }
    for (size_t i = 0; i < n; ++i) {
        E2pFileObjValueTag v;
        v.value = numericValue(tokens[i]);
        v.typeName = typeName;
        v.type = type;
        values.push_back(std::move(v));
    }
    return n;
}

} // namespace

int32_t CE2pFile::GetValueType(std::string_view token) {
    static constexpr std::string_view kTokens[] = {"%u8", "%s8", "%u16", "%s16", "%u32", "%s32", "%ascii"};
    for (int32_t code = 0; code < int32_t(std::size(kTokens)); ++code)
        if (token == kTokens[code]) return code;
    return kE2pU8;
}

bool CE2pFile::IsDummyObj(const E2pFileObjTag &obj) {
    std::vector<std::string> pieces;
    SplitString(obj.name, pieces, "::");
    return GetToken(pieces, 0) == "Dummy";
}

void CE2pFile::ParseDummyObj(const E2pFileObjTag &obj, std::string_view line) {
    std::vector<std::string> tokens;
    SplitString(line, tokens, " ");
    const std::string type = GetToken(tokens, int(tokens.size()) - 1);
    const std::string value = GetToken(tokens, 0);
    if (obj.name == "Dummy::Version" && GetValueType(type) == kE2pAscii) {
        std::vector<std::string> parts;
        SplitString(value, parts, ".");
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v += uint32_t(DecStrToInt(GetToken(parts, i))) << (8 * (3 - i));
        version = v;
    } else if (obj.name == "Dummy::ID" && GetValueType(type) == kE2pU8) {
        id = uint8_t(value.find("0x") != std::string::npos ? HexStrToInt(value) : DecStrToInt(value));
    }
}

int CE2pFile::fail(int code, std::string message) {
    if (errorCode_ == 0) {
        errorCode_ = code;
        errorMessage_ = std::move(message);
    }
    return code;
}

int CE2pFile::Load(const std::string &path, int /*flag*/) {
    objects.clear();
    tempFile.clear();
    tempCreated = false;
    errorCode_ = 0;
    errorMessage_.clear();
    const bool wrapped = Unwrap(path);
    if (errorCode_ == 0) ParseFile(wrapped ? tempFile : path);
    if (tempCreated && IsFileExist(tempFile)) removeFile(tempFile);
    return errorCode_;
}

bool CE2pFile::Unwrap(const std::string &path) {
    const uint64_t length = GetFileLength(path);
    if (length < kContainerProbe) return false;
    File in(path, "rb");
    if (!in) return false;
    char head[kContainerProbe];
    if (in.read(head, sizeof head) != sizeof head) {
        fail(kE2pContainerReadFailed, strprintf("read %s failed", path.c_str()));
        return true;
    }
    uint64_t headerLength;
    if (std::memcmp(head, "MSTM", 4) == 0) headerLength = 16;
    else if (std::memcmp(head, "MSTE", 4) == 0) headerLength = 32;
    else return false;

    const uint64_t bodyLength = length > headerLength ? length - headerLength : 0;
    if (bodyLength == 0) return true; // nothing to parse: no temporary file
    std::string body(size_t(bodyLength), '\0');
    if (!in.seek(int64_t(headerLength)) || in.read(body.data(), body.size()) != body.size()) {
        fail(kE2pContainerReadFailed, strprintf("read %s failed", path.c_str()));
        return true;
    }
    in.close();

    tempFile = GetTempFilePath("AuE");
    if (tempFile.empty()) {
        fail(kE2pTempNameFailed, strprintf("cannot create a temporary file in %s", GetTempDir().c_str()));
        return true;
    }
    tempCreated = true;
    File out(tempFile, "wb");
    if (!out) {
        fail(kE2pTempOpenFailed, strprintf("open %s failed", tempFile.c_str()));
        return true;
    }
    out.write(body.data(), body.size());
    if (!out.close()) fail(kE2pTempWriteFailed, strprintf("write %s failed", tempFile.c_str()));
    return true;
}

int CE2pFile::ParseFile(const std::string &path) {
    objects.clear();
    if (path.empty() || IsDirectory(path)) return 0;
    File in(path, "rb");
    if (!in) return 0;
    std::string text;
    if (!readAll(in, text)) fail(kE2pTextReadFailed, strprintf("read %s failed", path.c_str()));
    in.close();

    TextLines lines(text);
    std::string_view line;
    std::vector<std::string> tokens;
    while (lines.next(line)) {
        if (cancelRequested()) return fail(kErrCancelled, "cancelled");
        SplitString(line, tokens, " ");
        if (tokens.size() != 4) continue;
        E2pFileObjTag obj;
        obj.name = tokens[0];
        obj.address = DecStrToInt(tokens[1]);
        obj.size = DecStrToInt(tokens[2]);
        obj.count = DecStrToInt(tokens[3]);
        if (IsDummyObj(obj)) {
            if (lines.next(line)) ParseDummyObj(obj, line);
            continue;
        }
        int64_t got = 0;
        while (got < obj.count && lines.next(line)) got += int64_t(readValueLine(line, obj.values, tokens));
        objects.push_back(std::move(obj));
    }
    return 0;
}

} // namespace qv
