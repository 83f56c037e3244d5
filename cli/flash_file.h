// The programmer file: the whole flash of a release as one raw binary, Intel
// HEX or S-record file (docs/formats.md, "Programmer file").
#pragma once

#include "cli/flash_layout.h"
#include "cli/hex_records.h"

#include <functional>
#include <string>

namespace qvcli {

// Raw: every byte from the flash's base address to its end. Intel HEX and
// S-records: the flash in 32-byte lines at multiples of 32, each written as
// one data record unless all its bytes are erased (0xFF), then the end record.
// Written through the command's one output path; `beforeCommit` runs once
// the file is complete and may throw to leave the earlier file as it was.
// Throws InputError.
void writeFlashFile(const std::string &path, FlashFormat format, FlashContent &content, bool sync,
                    const std::function<void()> &beforeCommit = {});

} // namespace qvcli
