// Telling what a file holds from its bytes, by the library's detector: a
// FlashInfo record, a code image with a CUS area (or cut before it), an RAI
// image, an E2P image. Anything else, a code image of the code section alone
// included, is not inspected.
#pragma once

#include "cli/paths.h"

#include <optional>
#include <string>

namespace qvcli {

enum class FileKind { Code, E2p, Rai, FlashInfo };

std::optional<FileKind> detectKind(const Bytes &file);
// What a file inspect does not read looks like ("a CUS file (...)"), or "".
std::string lookOf(const Bytes &file);
std::optional<FileKind> kindFromName(const std::string &name);
const char *kindName(FileKind k);

} // namespace qvcli
