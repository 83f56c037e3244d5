// Telling what a file holds from its bytes, for the checks of strict inputs
// and for inspection: the kinds of input a release is made of (by their
// magic, kind byte or text) and the images and records the command reads.
// One detector, so that a refusal and an inspection name a file alike.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace qv {

enum class FileKind {
    FlashInfo,   // a record of exactly its size with a region table that can be walked
    CodeImage,   // with a CUS area, or cut right before one
    RaiImage,    // a formatted sector header where one belongs
    E2pImage,    // the end mark in the last two logical bytes
    CusFile,     // "WCUS", at 0 or behind a container header
    DspPatch,    // "PATC" at offset 16
    McpFile,     // kind byte 25 and the table magic at offset 32
    FatImage,    // kind byte 22 or 23
    Compressed,  // the compressed-input magic at offset 16 and room for its header
    Json,        // text opening with '{'
    E2pText,     // text, behind an optional "MSTM" or "MSTE" header
};

// The bytes a detection reads from the start of a file: a FlashInfo record
// with its largest list of memory parts fits.
size_t fileKindHeadBytes();

// The kind of input a file's first bytes show (`head`, of a file of `length`
// bytes); the FlashInfo record only when `head` is the whole file. Nothing
// for a file that shows none (a code file has no mark of its own).
std::optional<FileKind> inputKindOf(std::span<const uint8_t> head, uint64_t length);
// The same for a file on disk; nothing when it cannot be read.
std::optional<FileKind> inputKindOf(const std::string &path);
// The kind of a whole file: the images first (as inspection tells them),
// then the kinds of input.
std::optional<FileKind> fileKindOf(std::span<const uint8_t> file);

// "a CUS file (\"WCUS\")": the kind with the mark it was told by.
const char *fileKindText(FileKind k);

} // namespace qv
