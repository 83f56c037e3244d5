#include "codeimage/gen_mcp.h"

#include "codeimage/ad_write.h"
#include "base/bytes.h"
#include "codeimage/copy_range.h"
#include "codeimage/result_codes.h"
#include "base/log.h"

#include <vector>

namespace qv {
namespace {

constexpr const char *kName = "gen_mcp";
constexpr int64_t kSizesAt = 16;
constexpr int64_t kTablesAt = 32;
constexpr uint32_t kTableHead = 8; // magic and identifier

struct Layout {
    uint32_t tableSize; // S
    uint32_t didrAt;    // D
};

// The table size and DIDR offset must keep every read inside one table, and
// all kept tables must fit one record; only checked when a table is read.
int checkLayout(Cause &why, const Layout &l, uint32_t count) {
    if (count == 0) return 0;
    if (l.tableSize < kTableHead) {
        why.explain("the table size at offset 0x10 is %u, below the 8 bytes of a table's magic and memory part id",
                    l.tableSize);
        return kErrMcpTableSize;
    }
    if (uint64_t(l.didrAt) + 4 > l.tableSize) {
        why.explain("offset_DIDR at offset 0x14 is %u: its 4 bytes pass the table size of %u", l.didrAt, l.tableSize);
        return kErrMcpDidrOffset;
    }
    if (uint64_t(l.tableSize) * count > UINT32_MAX) {
        why.explain("%u tables (memPartCount of the flash description) of %u bytes make %llu bytes, more than the "
                    "4 GiB a record can hold", count, l.tableSize,
                    static_cast<unsigned long long>(uint64_t(l.tableSize) * count));
        return kErrMcpTooLarge;
    }
    return 0;
}

// The memory parts of the flash description as "0x.. (didr 0x..)", for a cause.
std::string flashParts(const FlashInfo &fi, uint32_t count) {
    std::string text;
    for (uint32_t i = 0; i < count; ++i)
        text += strprintf("%s0x%x (didr 0x%x)", i ? ", " : "", fi.memPartId(i), fi.memPartDidr(i));
    return text;
}

// True at the first memory part that the table matches (logged when `log`).
bool matchesPart(MergeLog &log, const uint8_t head[kTableHead], const uint8_t didr[4], uint32_t count,
                 const FlashInfo &fi, bool logged) {
    uint32_t id = le32(head + 4);
    uint16_t value = le16(didr);
    uint16_t mask = le16(didr + 2);
    for (uint32_t i = 0; i < count; ++i) {
        if (id == fi.memPartId(i) && value == (fi.memPartDidr(i) & mask)) {
            if (logged) logf(log, kName, "Found id - %x - in the table", fi.memPartId(i));
            return true;
        }
    }
    return false;
}

// Walks the tables from offset 32 and stops at each one kept. Only a table's
// head and DIDR pair are read here: the kept tables go into the record
// straight from the file, so no table size taken from the file decides an
// allocation.
class TableWalk {
public:
    TableWalk(MergeLog &log, File &mcp, const Layout &l, uint32_t count, const FlashInfo &fi,
              std::vector<uint32_t> *seen = nullptr)
        : log_(log), mcp_(mcp), l_(l), count_(count), fi_(fi), end_(mcp.length()), seen_(seen) {}

    // 1 with the offset of the next kept table in `at`; 0 when the file ends
    // before one (a partial table ends the reading); -74 at a table without
    // the magic, logged when `log` and told to `why` when given.
    int next(int64_t &at, bool log, Cause *why = nullptr) {
        uint8_t head[kTableHead], didr[4];
        while (end_ - pos_ >= int64_t(l_.tableSize)) {
            at = pos_;
            pos_ += l_.tableSize;
            if (mcp_.readAt(head, sizeof head, at) < sizeof head ||
                mcp_.readAt(didr, sizeof didr, at + l_.didrAt) < sizeof didr)
                return 0;
            if (uint32_t magic = le32(head); magic != kMcpMagic) {
                if (log) logf(log_, kName, "wrong magic number:0x%x", magic);
                if (why)
                    why->explain("the table at offset 0x%llx starts with 0x%08x, expected the magic 0x0000BABE",
                                 static_cast<unsigned long long>(at), magic);
                return kErrMcpMagic;
            }
            if (seen_) seen_->push_back(le32(head + 4));
            if (matchesPart(log_, head, didr, count_, fi_, log)) return 1;
        }
        return 0;
    }

private:
    MergeLog &log_;
    File &mcp_;
    const Layout &l_;
    uint32_t count_;
    const FlashInfo &fi_;
    int64_t end_;
    std::vector<uint32_t> *seen_; // the identifier of every table read, when given
    int64_t pos_ = kTablesAt;
};

// Counts the kept tables until `count` are found or the file ends; -74 on a
// table without the magic.
int selectTables(MergeLog &log, Cause &why, File &mcp, const Layout &l, uint32_t count, const FlashInfo &fi,
                 uint32_t &kept, std::vector<uint32_t> *seen = nullptr) {
    TableWalk walk(log, mcp, l, count, fi, seen);
    int64_t at = 0;
    for (kept = 0; kept < count; ++kept) {
        int r = walk.next(at, true, &why);
        if (r <= 0) return r;
    }
    return 0;
}

// Why too few tables were kept: the memory parts the file's tables are for
// (the first eight), against the flash description's.
void explainTooFew(Cause &why, File &mcp, const Layout &l, uint32_t count, uint32_t kept, const FlashInfo &fi) {
    std::string tables;
    uint64_t n = 0;
    uint8_t head[kTableHead], didr[4];
    for (int64_t at = kTablesAt, end = mcp.length(); end - at >= int64_t(l.tableSize); at += l.tableSize, ++n) {
        if (n == 8) continue;
        if (mcp.readAt(head, sizeof head, at) < sizeof head || mcp.readAt(didr, sizeof didr, at + l.didrAt) < 4) break;
        tables += strprintf("%s0x%x (didr 0x%x mask 0x%x)", n ? ", " : "", le32(head + 4), le16(didr), le16(didr + 2));
    }
    if (n > 8) tables += strprintf(" and %llu more", static_cast<unsigned long long>(n - 8));
    why.explain("%u of the %u tables for the flash description's memory parts %s found; the file holds %llu "
                "table%s%s%s", kept, count, flashParts(fi, count).c_str(), static_cast<unsigned long long>(n),
                n == 1 ? "" : "s", n ? ", for " : "", tables.c_str());
}

// Writes the kept tables onto `out`, walking the file again.
int copyTables(CallControl &call, MergeLog &log, File &mcp, const Layout &l, uint32_t count, const FlashInfo &fi,
               File &out) {
    TableWalk walk(log, mcp, l, count, fi);
    int64_t at = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (walk.next(at, false) != 1) return kErrMcpReread;
        if (!copyRange(call, mcp, at, l.tableSize, out)) return out.failed() ? 0 : kErrMcpReread;
    }
    return 0;
}

// The table size and the DIDR offset, logged.
int readLayout(MergeLog &log, Cause &why, File &mcp, uint32_t memPartCount, Layout &l) {
    uint8_t word[4];
    mcp.seek(kSizesAt);
    if (mcp.read(word, 4) != 4) {
        logf(log, kName, "Fail to read table size");
        why.explain("the file ends at %lld, before the table size at offset 0x10",
                    static_cast<long long>(mcp.length()));
        return kErrMcpSizeUnreadable;
    }
    l.tableSize = le32(word);
    if (mcp.read(word, 4) != 4) {
        logf(log, kName, "Fail to read DIDR offset");
        why.explain("the file ends at %lld, before offset_DIDR at offset 0x14", static_cast<long long>(mcp.length()));
        return kErrMcpDidrUnreadable;
    }
    l.didrAt = le32(word);
    mcp.seek(8, SEEK_CUR);
    logf(log, kName, "mcp table size = %d, table count = %d, offset_DIDR = %d", int32_t(l.tableSize),
         int32_t(memPartCount), int32_t(l.didrAt));
    return checkLayout(why, l, memPartCount);
}

} // namespace

int mcpChoice(File &mcp, const FlashInfo &flashInfo, McpChoice &c) {
    MergeLog none; // gen_mcp's walk, without its log lines
    Cause ignored; // the strict check words its own refusal
    c = McpChoice{};
    c.needed = flashInfo.memPartCount();
    Layout l{0, 0};
    if (int r = readLayout(none, ignored, mcp, c.needed, l)) return r;
    return selectTables(none, ignored, mcp, l, c.needed, flashInfo, c.kept, &c.tableIds);
}

int gen_mcp(CodeState &ci, File &mcp, File &out, uint32_t memPartCount, const FlashInfo &flashInfo) {
    Cause &why = ci.io.cause;
    Layout l{0, 0};
    if (int r = readLayout(ci.io.log, why, mcp, memPartCount, l)) return r;

    const uint32_t total = l.tableSize * memPartCount;
    uint32_t kept = 0;
    if (int r = selectTables(ci.io.log, why, mcp, l, memPartCount, flashInfo, kept)) return r;
    if (kept < memPartCount) {
        logf(ci.io.log, kName, "Fail to find all tables");
        explainTooFew(why, mcp, l, memPartCount, kept, flashInfo);
        return kErrMcpTooFew;
    }
    const RecordData tables = [&](File &o) {
        int r = copyTables(ci.io.call, ci.io.log, mcp, l, memPartCount, flashInfo, o);
        if (r == kErrMcpReread && !cancelRequested(ci.io.call))
            why.explain("the %u tables chosen in a first walk were not all found again while they were copied: the "
                        "file is %lld bytes now", memPartCount, static_cast<long long>(mcp.length()));
        return r;
    };
    if (int r = fms_adWrite(ci, tables, total, kMcpIdent, total, out)) {
        logf(ci.io.log, kName, "fail to write mcp table to CUS");
        return r;
    }
    return 0;
}

} // namespace qv
