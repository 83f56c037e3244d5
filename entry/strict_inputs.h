// Strict inputs: every named input must exist, be a regular file that can
// be read, be recognised as what its list and name make it and as no other
// kind of input, be whole, be built for the flash description's chip, and be
// merged; the host's buffers must be what they are given as. Checked before
// any output is touched; the sorting rules themselves are those of
// input/inputs.h, the chip rules those of the generators.
#pragma once

#include "base/cause.h"
#include "entry/host_args.h"

#include <cstdint>
#include <span>
#include <string>

namespace qv {

// 0, or the code of the first input that fails, with `msg` naming the file
// and why, and `why` (when given) where the path breaks off, what the file
// is instead, or the system's reason. `flashInfo` is the record the merge
// reads (empty: none), for the chip the DSP patch and MCP files are to be
// built for.
int checkStrictInputs(const HostLists &in, std::span<const uint8_t> flashInfo, std::string &msg,
                      Cause *why = nullptr);

// The host's buffers, each with the name its messages give it.
struct StrictBuffers {
    std::span<const uint8_t> flashInfo, e2pBase, e2pArea;
    bool eraseAll = false; // the E2P buffers are not read
    std::string flashName = "flash_info", baseName = "e2p_base", areaName = "e2p_area";
};

// 0, or the code of the first buffer that fails, with `msg` naming it and
// what it looks like: a FlashInfo record with the faults inspection reports
// (one shorter than its fields is the merge's to refuse), an E2P area that
// is neither erased nor a sound journal, an E2P base that reads as a journal.
int checkStrictBuffers(const StrictBuffers &b, std::string &msg);

// Part of checkStrictBuffers, and the check of a record the command writes:
// a FlashInfo record with the faults inspection reports, named `name`.
int checkStrictFlashInfo(std::span<const uint8_t> record, const std::string &name, std::string &msg);

// Part of checkStrictInputs: DSP patch and MCP files that hold nothing for
// the chip and memory parts of `flashInfo`.
int checkPatchesFitChip(const std::vector<std::string> &patches, std::span<const uint8_t> flashInfo, std::string &msg);

} // namespace qv
