// The flash description in the form people read and review: JSON, written
// from and to the library's FlashInfo fields (flash/flash_desc.h), and
// loaded from a JSON description or a binary record.
#pragma once

#include "cli/paths.h"
#include "cli/json_fields.h"
#include "report/readers.h"

#include <string>

namespace qvcli {

// From the JSON description; `field` is the description's own name in
// messages ("" at the top of a file, "flashInfo" inside a manifest).
FlashDesc flashDescFromJson(const Json &j, const std::string &field);
// The JSON description, addresses, sizes, identifiers and flags as "0x..."
// strings; flashDescFromJson gives the same description back.
Json flashDescToJson(const FlashDesc &d);

// Reads a record. Throws InputError naming `path` when the record is shorter
// than its fields.
FlashRecord flashRecordFromBytes(Bytes record, const std::string &path);

// Loads a flash description from a file: a JSON description (encoded) when
// the name ends in ".json", else a binary record.
FlashRecord loadFlashRecord(const std::string &path);

} // namespace qvcli
