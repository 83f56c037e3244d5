#include "entry/file_kind.h"

#include "base/bytes.h"
#include "base/file.h"
#include "codeimage/code_image_read.h"
#include "codeimage/gen_cus.h"
#include "codeimage/gen_mcp.h"
#include "e2p/journal_read.h"
#include "flash/flash_desc.h"
#include "input/inputs.h"
#include "rai/store_read.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace qv {
namespace {

constexpr size_t kTextLooked = 4096; // bytes of text looked at
constexpr uint8_t kTextEnd = 0x1A;   // ends a description text as the end of the file does

bool tagAt(std::span<const uint8_t> b, size_t at, const char *tag) {
    return b.size() >= at + 4 && std::memcmp(b.data() + at, tag, 4) == 0;
}

bool containerHeader(std::span<const uint8_t> b) { return tagAt(b, 0, "MSTM") || tagAt(b, 0, "MSTE"); }

int kindByte(std::span<const uint8_t> b) { return b.size() > size_t(kKindByteOffset) ? b[kKindByteOffset] : -1; }

// Bytes a text holds: no control character but tab, line and page breaks,
// and no 0xFF (what erased flash and buffers are full of).
bool isText(std::span<const uint8_t> b) {
    for (uint8_t c : b.first(std::min(b.size(), kTextLooked))) {
        if (c == kTextEnd) return true;
        const bool breakOrTab = c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
        if ((c < 0x20 && !breakOrTab) || c == 0xFF) return false;
    }
    return true;
}

// The text after an "MSTM" (16 bytes) or "MSTE" (32 bytes) header.
std::span<const uint8_t> descriptionText(std::span<const uint8_t> b, uint64_t length) {
    if (length < 16 || !containerHeader(b)) return b;
    const size_t skip = tagAt(b, 0, "MSTE") ? 32 : 16;
    return b.size() > skip ? b.subspan(skip) : std::span<const uint8_t>();
}

bool opensWithBrace(std::span<const uint8_t> b) {
    auto it = std::find_if(b.begin(), b.end(), [](uint8_t c) { return c != ' ' && c != '\t' && c != '\r' && c != '\n'; });
    return it != b.end() && *it == '{';
}

} // namespace

size_t fileKindHeadBytes() { return FlashInfo::kMemPartsOffset + FlashInfo::kMemPartSize * kMaxMemParts; }

std::optional<FileKind> inputKindOf(std::span<const uint8_t> b, uint64_t length) {
    if (b.size() == length && looksLikeFlashRecord(b)) return FileKind::FlashInfo;
    if (tagAt(b, 0, "WCUS") || (containerHeader(b) && tagAt(b, kContainerHeaderSize, "WCUS")))
        return FileKind::CusFile;
    if (tagAt(b, 16, "PATC")) return FileKind::DspPatch;
    if (kindByte(b) == kKindMcp && (length <= 32 || (b.size() >= 36 && le32(b.data() + 32) == kMcpMagic)))
        return FileKind::McpFile;
    if (length >= uint64_t(kWpbHeaderSize) && b.size() >= 18 && le16(b.data() + 16) == kWpbMagic)
        return FileKind::Compressed;
    if (kindByte(b) == kKindUserFat || kindByte(b) == kKindHiddenFat) return FileKind::FatImage;
    const std::span<const uint8_t> text = descriptionText(b, length);
    if (length == 0 || !isText(text)) return std::nullopt;
    return opensWithBrace(text) ? FileKind::Json : FileKind::E2pText;
}

std::optional<FileKind> inputKindOf(const std::string &path) {
    File f(path, "rb");
    const int64_t length = f ? f.length() : -1;
    if (length < 0) return std::nullopt;
    std::vector<uint8_t> head(size_t(std::min<int64_t>(length, int64_t(fileKindHeadBytes()))));
    if (f.readAt(head.data(), head.size(), 0) < head.size()) return std::nullopt;
    return inputKindOf(head, uint64_t(length));
}

std::optional<FileKind> fileKindOf(std::span<const uint8_t> b) {
    if (looksLikeFlashRecord(b)) return FileKind::FlashInfo;
    if (looksLikeCodeImage(b)) return FileKind::CodeImage;
    if (looksLikeRaiImage(b)) return FileKind::RaiImage;
    if (looksLikeE2pImage(b)) return FileKind::E2pImage;
    return inputKindOf(b, b.size());
}

const char *fileKindText(FileKind k) {
    switch (k) {
    case FileKind::FlashInfo: return "a FlashInfo record";
    case FileKind::CodeImage: return "a code image";
    case FileKind::RaiImage: return "an RAI image";
    case FileKind::E2pImage: return "an E2P image";
    case FileKind::CusFile: return "a CUS file (\"WCUS\")";
    case FileKind::DspPatch: return "a DSP patch file (\"PATC\" at offset 16)";
    case FileKind::McpFile: return "an MCP file (kind byte 25, tables with magic 0x0000BABE)";
    case FileKind::FatImage: return "a FAT image (kind byte 22 or 23 at offset 9)";
    case FileKind::Compressed: return "a compressed input (magic 0x5A57 at offset 16)";
    case FileKind::Json: return "a JSON file";
    case FileKind::E2pText: return "an E2P description file (text)";
    }
    return "?";
}

} // namespace qv
