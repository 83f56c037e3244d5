#include "cli/detect_kind.h"

#include "entry/file_kind.h"

namespace qvcli {

std::optional<FileKind> detectKind(const Bytes &b) {
    switch (qv::fileKindOf(b).value_or(qv::FileKind::Json)) {
    case qv::FileKind::FlashInfo: return FileKind::FlashInfo;
    case qv::FileKind::CodeImage: return FileKind::Code;
    case qv::FileKind::RaiImage: return FileKind::Rai;
    case qv::FileKind::E2pImage: return FileKind::E2p;
    default: return std::nullopt;
    }
}

std::string lookOf(const Bytes &b) {
    const auto k = qv::fileKindOf(b);
    return k ? qv::fileKindText(*k) : "";
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
