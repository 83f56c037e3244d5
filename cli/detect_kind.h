// Telling what a file holds from its bytes: a FlashInfo record, a code image
// with a CUS area, an RAI image, an E2P image; anything else is taken as a
// code image of the code section alone.
#pragma once

#include "cli/io.h"

#include <optional>
#include <string>

namespace qvcli {

enum class FileKind { Code, E2p, Rai, FlashInfo };

FileKind detectKind(const Bytes &file);
std::optional<FileKind> kindFromName(const std::string &name);
const char *kindName(FileKind k);

} // namespace qvcli
