#include "codeimage/gen_mcp.h"

#include "codeimage/ad_write.h"
#include "base/bytes.h"
#include "codeimage/result_codes.h"
#include "base/log.h"

#include <new>
#include <vector>

namespace qv {
namespace {

constexpr const char *kName = "gen_mcp";
constexpr int64_t kSizesAt = 16;
constexpr uint32_t kTableHead = 8; // magic and identifier

struct Layout {
    uint32_t tableSize; // S
    uint32_t didrAt;    // D
};

// The table size and DIDR offset must keep every read inside one table, and
// all kept tables must fit one record; only checked when a table is read.
int checkLayout(const Layout &l, uint32_t count) {
    if (count == 0) return 0;
    if (l.tableSize < kTableHead) return kErrMcpTableSize;
    if (uint64_t(l.didrAt) + 4 > l.tableSize) return kErrMcpDidrOffset;
    if (uint64_t(l.tableSize) * count > UINT32_MAX) return kErrMcpTooLarge;
    return 0;
}

// True (and logged) at the first memory part that the table matches.
bool matchesPart(CodeState &ci, const uint8_t *table, const Layout &l, uint32_t count, const FlashInfo &fi) {
    uint32_t id = le32(table + 4);
    uint16_t value = le16(table + l.didrAt);
    uint16_t mask = le16(table + l.didrAt + 2);
    for (uint32_t i = 0; i < count; ++i) {
        if (id == fi.memPartId(i) && value == (fi.memPartDidr(i) & mask)) {
            logf(ci.io.log, kName, "Found id - %x - in the table", fi.memPartId(i));
            return true;
        }
    }
    return false;
}

// Reads tables into `buf` until `count` are kept or the file ends; -74 on a
// table without the magic. The buffer grows one table at a time and only when
// the file still holds a whole table, so a table size taken from the file
// never makes it larger than the file. Stores the number kept.
int selectTables(CodeState &ci, File &mcp, const Layout &l, uint32_t count, const FlashInfo &fi,
                 std::vector<uint8_t> &buf, uint32_t &kept) {
    kept = 0;
    const int64_t end = mcp.length();
    while (kept < count) {
        if (end - mcp.tell() < int64_t(l.tableSize)) break; // a partial table ends the reading
        buf.resize(size_t(kept + 1) * l.tableSize);
        uint8_t *table = buf.data() + size_t(kept) * l.tableSize;
        if (mcp.read(table, l.tableSize) < l.tableSize) break;
        uint32_t magic = le32(table);
        if (magic != kMcpMagic) {
            logf(ci.io.log, kName, "wrong magic number:0x%x", magic);
            return -74;
        }
        if (matchesPart(ci, table, l, count, fi)) ++kept;
    }
    return 0;
}

} // namespace

int gen_mcp(CodeState &ci, File &mcp, File &out, uint32_t memPartCount, const FlashInfo &flashInfo) {
    uint8_t word[4];
    mcp.seek(kSizesAt);
    if (mcp.read(word, 4) != 4) {
        logf(ci.io.log, kName, "Fail to read table size");
        return -39;
    }
    Layout l{le32(word), 0};
    if (mcp.read(word, 4) != 4) {
        logf(ci.io.log, kName, "Fail to read DIDR offset");
        return -46;
    }
    l.didrAt = le32(word);
    mcp.seek(8, SEEK_CUR);
    logf(ci.io.log, kName, "mcp table size = %d, table count = %d, offset_DIDR = %d", int32_t(l.tableSize),
         int32_t(memPartCount), int32_t(l.didrAt));
    if (int r = checkLayout(l, memPartCount)) return r;

    const uint32_t total = l.tableSize * memPartCount;
    std::vector<uint8_t> buf;
    uint32_t kept = 0;
    try {
        if (int r = selectTables(ci, mcp, l, memPartCount, flashInfo, buf, kept)) return r;
    } catch (const std::bad_alloc &) {
        logf(ci.io.log, kName, "Fail to allocate memory for all mcp tables");
        return -59;
    }
    if (kept < memPartCount) {
        logf(ci.io.log, kName, "Fail to find all tables");
        return -102;
    }
    if (int r = fms_adWrite(ci, buf.data(), total, fourcc("MPRM"), total, out)) {
        logf(ci.io.log, kName, "fail to write mcp table to CUS");
        return r;
    }
    return 0;
}

} // namespace qv
