#include "cli/detect_kind.h"

#include "cli/code_image.h"
#include "cli/e2p_journal.h"
#include "cli/flash_desc.h"
#include "cli/rai_image.h"

#include <algorithm>

namespace qvcli {
namespace {

// A record of exactly the size the merge's own records have, with a region
// table that can be walked.
bool looksLikeFlashInfo(const Bytes &b) {
    if (b.size() < kRecordMinSize || b.size() > kMemPartsOffset + kMemPartSize * kMaxMemParts) return false;
    const uint64_t parts = le32(&b[44]);
    if (b.size() != std::max<uint64_t>(kRecordMinSize, kMemPartsOffset + kMemPartSize * parts)) return false;
    const uint8_t regions = b[11];
    if (regions < 1 || regions > kMaxRegions || le16(&b[8]) == 0) return false;
    for (size_t k = 0; k < regions; ++k)
        if (le16(&b[12 + 4 * k]) >= 32) return false;
    return true;
}

} // namespace

std::optional<FileKind> detectKind(const Bytes &b) {
    if (looksLikeFlashInfo(b)) return FileKind::FlashInfo;
    if (looksLikeCodeImage(b)) return FileKind::Code;
    if (looksLikeRaiImage(b)) return FileKind::Rai;
    if (looksLikeE2pImage(b)) return FileKind::E2p;
    return std::nullopt;
}

std::optional<FileKind> kindFromName(const std::string &name) {
    if (name == "code") return FileKind::Code;
    if (name == "e2p") return FileKind::E2p;
    if (name == "rai") return FileKind::Rai;
    if (name == "flashinfo") return FileKind::FlashInfo;
    return std::nullopt;
}

const char *kindName(FileKind k) {
    switch (k) {
    case FileKind::Code: return "code";
    case FileKind::E2p: return "e2p";
    case FileKind::Rai: return "rai";
    case FileKind::FlashInfo: return "flashinfo";
    }
    return "?";
}

} // namespace qvcli
