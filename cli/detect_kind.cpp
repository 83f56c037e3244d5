#include "cli/detect_kind.h"

#include "codeimage/code_image_read.h"
#include "e2p/journal_read.h"
#include "flash/flash_desc.h"
#include "rai/store_read.h"

namespace qvcli {

std::optional<FileKind> detectKind(const Bytes &b) {
    if (qv::looksLikeFlashRecord(b)) return FileKind::FlashInfo;
    if (qv::looksLikeCodeImage(b)) return FileKind::Code;
    if (qv::looksLikeRaiImage(b)) return FileKind::Rai;
    if (qv::looksLikeE2pImage(b)) return FileKind::E2p;
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
