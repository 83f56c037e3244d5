#include "codeimage/gen_cus.h"

#include "codeimage/ad_write.h"
#include "base/bytes.h"
#include "base/cause.h"
#include "base/log.h"
#include "codeimage/copy_range.h"
#include "codeimage/result_codes.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace qv {
namespace {

constexpr const char *kName = "gen_cus";
constexpr uint32_t kNoIdent = 0;     // shown by the ident log line when no row matches
constexpr int64_t kTagsSize = 8;     // "WCUS" and the type tag
constexpr int64_t kChunkTagSize = 8; // "FRED" and L

struct IdentRow {
    uint8_t fileType;
    uint32_t ident;
};

constexpr IdentRow kIdentTable[] = {
    {0, 0xFFFFFFFF},        {5, fourcc("DSCT")},    {'L', fourcc("LCMC")}, {'D', fourcc("DLMM")},
    {'S', fourcc("SDLM")},  {'P', fourcc("PAGE")},  {'E', fourcc("ECUS")}, {'F', fourcc("FCUS")},
    {'G', fourcc("GCUS")},  {'H', fourcc("HCUS")},  {'N', fourcc("NETS")},
};

bool tagIs(const uint8_t *tag, const char *text) { return std::memcmp(tag, text, 4) == 0; }

// Called for each chunk: its index, where its data starts and its length L.
// False stops the walk.
using ChunkVisit = std::function<bool(uint32_t index, int64_t dataAt, uint32_t length)>;

// True, with `why` told, when the chunk header at `at` cannot be read or
// is no "FRED" tag.
bool chunkTagFault(CusFile &cus, uint32_t index, int64_t at, uint8_t tag[kChunkTagSize], Cause *why) {
    const long long offset = at;
    if (cus.end - at < kChunkTagSize) {
        if (why) why->explain("chunk %u at offset 0x%llx: the file ends at %lld, inside its 8-byte \"FRED\" header",
                              index, offset, static_cast<long long>(cus.end));
        return true;
    }
    if (cus.file.readAt(tag, kChunkTagSize, at) < kChunkTagSize) {
        if (why) why->explain("chunk %u at offset 0x%llx cannot be read", index, offset);
        return true;
    }
    if (tagIs(tag, "FRED")) return false;
    if (why) why->explain("chunk %u at offset 0x%llx: expected the tag \"FRED\", found %02x %02x %02x %02x", index,
                          offset, tag[0], tag[1], tag[2], tag[3]);
    return true;
}

// Walks the chunks from past the tags, also for a payload that is not a WCUS
// file; true when they end exactly at the payload's end. `why`, when given,
// is told what stopped the walk.
bool walkChunks(CusFile &cus, const ChunkVisit &visit, Cause *why = nullptr) {
    int64_t at = cus.start + kTagsSize;
    bool complete = false;
    uint32_t index = 0;
    for (; at < cus.end; ++index) {
        uint8_t tag[kChunkTagSize];
        if (chunkTagFault(cus, index, at, tag, why)) return false;
        const uint32_t length = le32(tag + 4);
        if (length > cus.end - (at + kChunkTagSize)) {
            if (why) why->explain("chunk %u at offset 0x%llx claims %u bytes, the file ends at %lld", index,
                                  static_cast<long long>(at), length, static_cast<long long>(cus.end));
            return false;
        }
        at += kChunkTagSize;
        if (!visit(index, at, length)) return false;
        at += length;
        complete = at == cus.end;
    }
    if (!complete && why) why->explain("no \"FRED\" chunk after the tags at offset 0x%llx",
                                       static_cast<long long>(cus.start));
    return complete;
}

void putChunkHeader(uint8_t h[kChunkHeaderSize], uint32_t length, const uint8_t ident[4]) {
    putLe32(h, length + kChunkHeaderSize);
    std::memcpy(h + 4, ident, 4);
    putLe32(h + 8, length);
    putLe32(h + 12, kRecordTail);
}

} // namespace

uint8_t cus_get_file_type(const uint8_t *head, size_t length, uint8_t chunkIdent[4]) {
    std::memset(chunkIdent, 0xFF, 4);
    if (length < 8 || !tagIs(head, "WCUS")) return kCusTypeNotWcus;
    const uint8_t *tag = head + 4;
    if (tagIs(tag, "CUST")) return 0;
    if (tagIs(tag, "JAVA")) return 2;
    if (tagIs(tag, "THEM")) return 4;
    if (tagIs(tag, "SENS")) {
        std::memcpy(chunkIdent, "DSCT", 4);
        return 5;
    }
    std::memcpy(chunkIdent, tag, 4);
    return tag[0];
}

bool cusFindIdent(uint8_t fileType, uint32_t &ident) {
    for (const IdentRow &row : kIdentTable) {
        if (row.fileType == fileType) {
            ident = row.ident;
            return true;
        }
    }
    return false;
}

bool cus_has_container(const std::string &path) {
    File f(path, "rb");
    uint8_t magic[4];
    if (!f || f.length() < int64_t(kContainerHeaderSize) || f.read(magic, 4) != 4) return false;
    return tagIs(magic, "MSTM") || tagIs(magic, "MSTE");
}

int cus_load_file(const std::string &path, CusFile &cus, Cause *why) {
    cus.start = cus_has_container(path) ? kContainerHeaderSize : 0;
    cus.file = File(path, "rb");
    if (!cus.file) {
        if (why) why->explain("cannot be opened: %s", systemReason().c_str());
        return kErrCusMalformed;
    }
    cus.end = cus.file.length();
    if (cus.end < cus.start) return kErrCusMalformed;
    const int64_t length = cus.end - cus.start;
    uint8_t head[kTagsSize] = {};
    const size_t headBytes = size_t(std::min(kTagsSize, length));
    if (cus.file.readAt(head, headBytes, cus.start) < headBytes) {
        if (why) why->explain("cannot be read");
        return kErrCusMalformed;
    }
    cus.fig = CusFigures{};
    cus.fig.fileType = cus_get_file_type(head, size_t(length), cus.chunkIdent);
    // The record's length is a 32-bit value: larger data cannot be one.
    uint64_t dataLen = 0;
    const bool complete = walkChunks(cus, [&](uint32_t index, int64_t, uint32_t chunk) {
        if (index == 0) cus.fig.chunkSize = chunk;
        dataLen += (index == 0 ? 0 : kChunkHeaderSize) + uint64_t(chunk);
        if (dataLen <= UINT32_MAX) return true;
        if (why) why->explain("chunk %u takes the record's data to %llu bytes, past the 4 GiB a record can hold", index,
                              static_cast<unsigned long long>(dataLen));
        return false;
    }, why);
    cus.fig.dataLen = uint32_t(dataLen);
    return complete ? 0 : kErrCusMalformed;
}

int cus_stage_chunks(CallControl &call, CusFile &cus, File &out) {
    uint64_t written = 0;
    const bool complete = walkChunks(cus, [&](uint32_t index, int64_t dataAt, uint32_t length) {
        if (index > 0) {
            uint8_t h[kChunkHeaderSize];
            putChunkHeader(h, length, cus.chunkIdent);
            if (out.write(h, sizeof h) != sizeof h) return false;
            written += kChunkHeaderSize;
        }
        written += length;
        return copyRange(call, cus.file, dataAt, length, out);
    });
    if (out.failed()) return 0; // the caller reports the write
    return complete && written == cus.fig.dataLen ? 0 : kErrCusMalformed;
}

int gen_cus(CodeState &ci, const std::string &path, File &out) {
    CusFile cus;
    if (int r = cus_load_file(path, cus, &ci.io.cause)) {
        ci.io.cause.name(path);
        return r;
    }
    const CusFigures &fig = cus.fig;
    logValue(ci.io.log, kName, "cus_file_type", fig.fileType);
    logValue(ci.io.log, kName, "cus_chunk_size", fig.chunkSize);
    logValue(ci.io.log, kName, "cus_data_len", fig.dataLen);
    uint32_t ident = kNoIdent;
    bool found = cusFindIdent(fig.fileType, ident);
    logValue(ci.io.log, kName, "ident", ident);
    if (!found) {
        const long long at = cus.start;
        if (fig.fileType == kCusTypeNotWcus) ci.io.cause.explain("no \"WCUS\" tag at offset 0x%llx", at);
        else ci.io.cause.explain("the type tag at offset 0x%llx (first byte 0x%02x) names no record ident", at + 4, fig.fileType);
        ci.io.cause.name(path);
        return kErrCusNoIdent;
    }
    int r = fms_adWrite(
        ci, [&](File &o) { return cus_stage_chunks(ci.io.call, cus, o); }, fig.dataLen, ident, fig.chunkSize, out);
    return r == kErrRecordRefused ? kErrCusRecordRefused : r;
}

} // namespace qv
