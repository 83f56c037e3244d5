#include "codeimage/gen_cus.h"

#include "codeimage/ad_write.h"
#include "base/bytes.h"
#include "codeimage/result_codes.h"
#include "base/log.h"

#include <cstring>
#include <new>

namespace qv {
namespace {

constexpr const char *kName = "gen_cus";
constexpr uint32_t kStagingReserve = 65536;
constexpr uint32_t kNoIdent = 0; // shown by the ident log line when no row matches

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

void append(std::vector<uint8_t> &v, const uint8_t *p, size_t n) { v.insert(v.end(), p, p + n); }

void appendChunkHeader(std::vector<uint8_t> &v, uint32_t length, const uint8_t ident[4]) {
    uint8_t h[kChunkHeaderSize];
    putLe32(h, length + kChunkHeaderSize);
    std::memcpy(h + 4, ident, 4);
    putLe32(h + 8, length);
    putLe32(h + 12, kRecordTail);
    append(v, h, sizeof h);
}

} // namespace

uint8_t cus_get_file_type(const uint8_t *payload, size_t length, uint8_t chunkIdent[4]) {
    std::memset(chunkIdent, 0xFF, 4);
    if (length < 8 || !tagIs(payload, "WCUS")) return kCusTypeNotWcus;
    const uint8_t *tag = payload + 4;
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

bool cus_find_ident(uint8_t fileType, uint32_t &ident) {
    for (const IdentRow &row : kIdentTable) {
        if (row.fileType == fileType) {
            ident = row.ident;
            return true;
        }
    }
    return false;
}

int cus_stage_chunks(const uint8_t *payload, size_t length, std::vector<uint8_t> &staging, CusFigures &fig) {
    uint8_t ident[4];
    fig.fileType = cus_get_file_type(payload, length, ident);
    size_t at = 8; // past "WCUS" and the type tag, whatever the type
    bool first = true, complete = false;
    while (at < length) {
        if (length - at < 8 || !tagIs(payload + at, "FRED")) break;
        uint32_t chunk = le32(payload + at + 4);
        at += 8;
        if (first) fig.chunkSize = chunk;
        else appendChunkHeader(staging, chunk, ident);
        first = false;
        if (chunk > length - at) break;
        append(staging, payload + at, chunk);
        at += chunk;
        complete = at == length;
    }
    fig.dataLen = uint32_t(staging.size());
    return complete ? 1 : 0;
}

int cus_has_container(const std::string &path) {
    File f(path, "rb");
    uint8_t magic[4];
    if (!f || f.length() < int64_t(kContainerHeaderSize) || f.read(magic, 4) != 4) return 0;
    return tagIs(magic, "MSTM") || tagIs(magic, "MSTE") ? 1 : 0;
}

int cus_load_file(const std::string &path, std::vector<uint8_t> &staging, CusFigures &fig) {
    uint32_t start = cus_has_container(path) ? kContainerHeaderSize : 0;
    File f(path, "rb");
    if (!f) return 0;
    int64_t fileLength = f.length();
    // The record's length is a 32-bit value: a larger payload cannot be one.
    if (fileLength < int64_t(start) || fileLength - start > int64_t(UINT32_MAX - kStagingReserve)) return 0;
    size_t length = size_t(fileLength - start);
    std::vector<uint8_t> payload(length);
    if (!f.seek(start) || f.read(payload.data(), length) < length) return 0;
    staging.clear();
    staging.reserve(length + kStagingReserve);
    return cus_stage_chunks(payload.data(), length, staging, fig);
}

int gen_cus(CodeState &ci, const std::string &path, File &out) {
    std::vector<uint8_t> staging;
    CusFigures fig;
    try {
        if (!cus_load_file(path, staging, fig)) return -246;
    } catch (const std::bad_alloc &) {
        return kErrCusNoMemory;
    }
    logValue(ci.io.log, kName, "cus_file_type", fig.fileType);
    logValue(ci.io.log, kName, "cus_chunk_size", fig.chunkSize);
    logValue(ci.io.log, kName, "cus_data_len", fig.dataLen);
    uint32_t ident = kNoIdent;
    bool found = cus_find_ident(fig.fileType, ident);
    logValue(ci.io.log, kName, "ident", ident);
    if (!found) return -264;
    return fms_adWrite(ci, staging.data(), fig.dataLen, ident, fig.chunkSize, out) ? -270 : 0;
}

} // namespace qv
