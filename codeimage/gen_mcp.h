// The MCP record: from a file of fixed-size memory-part tables, the tables
// that match the target's memory parts, kept in file order and written as one
// record (ident "MPRM").
#pragma once

#include "base/bytes.h"
#include "base/file.h"
#include "codeimage/code_state.h"

#include <quorvel/quorvel.h>

#include <cstdint>
#include <vector>

namespace qv {

inline constexpr uint32_t kMcpMagic = 0x0000BABE;
inline constexpr uint32_t kMcpIdent = fourcc("MPRM"); // ident of its record

// Keeps the first `memPartCount` tables that match an entry of the memory
// parts of `flashInfo` (same identifier, DIDR value == didr & DIDR mask) and
// appends them to `out`. Returns 0 or a negative code: -39, -46, -74, -102,
// -53, or one of the refusals of result_codes.h when the table size or the
// DIDR offset would make a table read fall outside the table, the record
// would pass the flash, or the tables read differently the second time.
// Nothing is written before the record. The tables are chosen in one walk
// over the file and copied into the record in a second one; no table is
// held in memory.
int gen_mcp(CodeState &ci, File &mcp, File &out, uint32_t memPartCount, const FlashInfo &flashInfo);

// What gen_mcp would keep of `mcp` for the memory parts of `flashInfo`, by
// its own walk and with nothing logged: the tables it needs and keeps, and
// the identifier of every table it read.
struct McpChoice {
    uint32_t needed = 0, kept = 0;
    std::vector<uint32_t> tableIds;
};
// 0, also when too few tables are kept; else gen_mcp's code for a file it
// refuses for another reason.
int mcpChoice(File &mcp, const FlashInfo &flashInfo, McpChoice &c);

} // namespace qv
