// Strict inputs, the chip: a DSP patch file with no patch for the flash
// description's chip version, an MCP file without the tables its memory
// parts need. The choice is the generators' own (gen_patch, gen_mcp); a file
// they refuse for another reason is left to them.
#include "entry/strict_inputs.h"

#include "base/log.h"
#include "base/results.h"
#include "base/text_format.h"
#include "codeimage/gen_mcp.h"
#include "codeimage/gen_patch.h"
#include "flash/flash_desc.h"
#include "input/inputs.h"

namespace qv {
namespace {

constexpr size_t kListed = 8; // items a list in a message shows

template <class T, class Text>
std::string listed(const std::vector<T> &items, Text text) {
    std::string out;
    for (size_t i = 0; i < items.size() && i < kListed; ++i) out += (i ? ", " : "") + text(items[i]);
    if (items.size() > kListed) out += strprintf(" and %zu more", items.size() - kListed);
    return out.empty() ? "none" : out;
}

int checkDsp(const std::string &path, const FlashInfo &fi, std::string &msg) {
    File f(path, "rb");
    DspPatchChoice c;
    const uint16_t chip = dspChipId(fi), sub = fi.chipSubId();
    if (!f || dspPatchChoice(f, chip, sub, c) != 0 || c.found) return 0;
    if (c.wanted < 0) {
        msg = strprintf("%s: a DSP patch whose id map has no entry for the flash description's chip (chip id %u, "
                        "sub id %u)", path.c_str(), chip, sub);
        return kErrDspNoIdMapEntry;
    }
    msg = strprintf("%s: a DSP patch for chip versions %s; the flash description's chip (chip id %u, sub id %u) "
                    "needs version %d",
                    path.c_str(), listed(c.versions, [](uint8_t v) { return std::to_string(v); }).c_str(), chip,
                    sub, c.wanted);
    return kErrDspNoChipVersion;
}

int checkMcp(const std::string &path, const FlashInfo &fi, std::string &msg) {
    File f(path, "rb");
    McpChoice c;
    if (!f || mcpChoice(f, fi, c) != 0 || c.kept == c.needed) return 0;
    std::vector<uint32_t> parts(fi.memPartCount());
    for (uint32_t i = 0; i < parts.size(); ++i) parts[i] = i;
    msg = strprintf("%s: an MCP file with tables for memory parts %s; the flash description's memory parts %s find "
                    "%u of the %u tables they need",
                    path.c_str(), listed(c.tableIds, [](uint32_t id) { return hex(id); }).c_str(),
                    listed(parts, [&](uint32_t i) {
                        return hex(fi.memPartId(i)) + " (didr " + hex(fi.memPartDidr(i), 4) + ")";
                    }).c_str(),
                    c.kept, c.needed);
    return kErrMcpNoTables;
}

} // namespace

int checkPatchesFitChip(const std::vector<std::string> &patches, std::span<const uint8_t> flashInfo,
                        std::string &msg) {
    if (flashInfo.empty() || flashRecordShortfall(flashInfo)) return 0; // refused by the merge itself
    const FlashInfo fi(flashInfo.data());
    for (const std::string &path : patches)
        if (int r = is_dsp_patch_file(path) ? checkDsp(path, fi, msg) : checkMcp(path, fi, msg)) return r;
    return 0;
}

} // namespace qv
