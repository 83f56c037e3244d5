// Loading one description file into the current E2P image.
#pragma once

#include "e2p/e2p_state.h"

#include <cstdint>
#include <optional>
#include <string>

namespace qv {

// Reads the description file at `path` and writes the data of every object
// through fms_E2pWrite into the current E2P image, at the offset its address
// gives (addresses 0..8191 and 16384..24575 both map to 0..8191). `image` and
// `flag` are not used: the caller has made the image current. The text is
// read whole first (a description file is at most kE2pMaxFileSize bytes), and
// each object is written as soon as its values are read: no table is held.
// Returns 0 when every object was accepted; kE2pDownloadFailed when an
// object's address is refused or its record does not fit the record buffer
// (objects before it stay written, later ones are not written); another
// negative code when the file could not be read (then `error`, when given,
// receives the message), or the cancel code when the host cancelled the call.
// The E2P offset of an object whose record carries the address word `w`
// ((address + 0x4000) modulo 65536): its low 13 bits for the address classes
// 0x4000 and 0x8000, nothing for every other class (the load refuses it).
std::optional<uint32_t> e2pRecordOffset(uint16_t w);
// The same for an object's address as its description file gives it.
std::optional<uint32_t> e2pObjectOffset(int32_t address);

int DownloadE2PFile4Nor(E2pState &e2p, std::string path, uint8_t *image, int flag, std::string *error = nullptr);

} // namespace qv
