// File helpers of the command: whole-file reads and writes that report their
// own errors on stderr.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qvcli {

bool readWholeFile(const std::string &path, std::vector<uint8_t> &out);
bool writeWholeFile(const std::string &path, const std::vector<uint8_t> &data);
// Reads a binary FlashInfo record, padded with zeros to cover every field the
// library reads (the memory-part entries included).
bool readFlashInfo(const std::string &path, std::vector<uint8_t> &out);
std::string jsonEscape(const std::string &s);

} // namespace qvcli
