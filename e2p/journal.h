// The E2P journal: records of new values for n bytes at address a, laid back
// to back from logical address 0 of an E2P area, ended by an erased header,
// a header with bit 14 set (the end mark 0x7FFF is one), n = 0 or a failed
// header check. All accesses go through fms_E2pRead / fms_E2pWrite on the
// current E2P image, so the interleaved layout applies when the flash asks
// for it.
//
// Record at P: word0 (0x8000 | a), u16 n, header check, data check, one pad
// byte when n is odd, then the n data bytes.
#pragma once

#include "base/bytes.h"
#include "e2p/e2p_state.h"

#include <cstdint>
#include <vector>

namespace qv {

// One E2P image: bytes and their count.
struct E2pImageRef {
    uint8_t *data = nullptr;
    uint32_t size = 0;
};

// Length of a record header; records built here carry 16 data bytes.
inline constexpr uint32_t kE2pRecHeader = 6;
inline constexpr uint32_t kE2pBlock = 16;
inline constexpr uint32_t kE2pRecLength = kE2pRecHeader + kE2pBlock;
// Blocks at or above this offset cannot be named by the 14-bit address.
inline constexpr uint32_t kE2pRecAddressLimit = 0x4000;

// The six header bytes of a record as stored.
struct E2pRecHeader {
    uint8_t b[kE2pRecHeader] = {};
    uint16_t word0() const { return le16(b); }
    uint16_t address() const { return word0() & 0x3FFF; }
    uint16_t count() const { return le16(&b[2]); }
    uint8_t storedCheck() const { return b[4]; }
    uint8_t dataCheck() const { return b[5]; }
};

// Why a header ends the journal, or None when a live record starts there.
enum class E2pRecEnd { None, Erased, EndFlag, ZeroLength, BadCheck };

// Reads the header at P; false when it passes the end of the area or image.
bool e2pReadRecHeader(E2pState &e2p, uint32_t p, E2pRecHeader &h);
// byte0 ^ (byte1 & 0x3F) ^ byte2 ^ byte3 of a stored header.
uint8_t e2pRecHeaderCheck(const E2pRecHeader &h);
E2pRecEnd e2pRecEnd(const E2pRecHeader &h);
// Reads the n data bytes of the record at P into `data` (resized to n);
// false, leaving them 0, when they pass the area's end.
bool e2pReadRecData(E2pState &e2p, uint32_t p, const E2pRecHeader &h, std::vector<uint8_t> &data);

// Header check of the stored header at P: byte0 ^ (byte1 & 0x3F) ^ byte2 ^
// byte3 (the two flag bits are left out).
uint8_t fms_E2pRecHdrCheck(E2pState &e2p, uint32_t p);
// True when the three header words at P are all 0xFFFF.
bool fms_E2pRecIsErased(E2pState &e2p, uint32_t p);
// True when a live record starts at P. A header that cannot be read (it
// passes the area's end) is no record.
bool fms_E2pRecValid(E2pState &e2p, uint32_t p);
// Address of the record after the one at P.
uint64_t fms_E2pRecNext(E2pState &e2p, uint32_t p);
// Writes the record's data at its address a of `content` through the same
// mapping as fms_E2pWrite. Skipped when the data cannot be read from the
// journal or does not lie wholly inside the E2P area size and `content`.
// The current image is the journal again afterwards.
void fms_E2pRecApply(E2pState &e2p, uint32_t p, E2pImageRef content);
// Writes the six header bytes at P: 0x8000 | (a & 0x3FFF), n, the check, 0xFF.
void fms_E2pRecWriteHdr(E2pState &e2p, uint32_t p, uint16_t a, uint16_t n);
// XOR of the record's data bytes, from 0.
uint8_t fms_E2pRecDataXor(E2pState &e2p, uint32_t p);
// Stores fms_E2pRecDataXor(e2p, P) at P + 5.
void fms_E2pRecSetDataXor(E2pState &e2p, uint32_t p);

// Applies every live record of `journal`, in order, to `content`. The replay
// stops at the first position that holds no live record, at the latest at
// the end of the area.
void fms_E2pReplay(E2pState &e2p, E2pImageRef journal, E2pImageRef content);

// What fms_E2pBuildJournal wrote and what it could not.
struct E2pJournalBuild {
    uint32_t changed = 0;       // blocks that differ from the base
    uint32_t records = 0;       // records written
    uint32_t unfit = 0;         // addressable blocks with no room left
    uint32_t unaddressable = 0; // blocks at kE2pRecAddressLimit or above
};

// Writes one 16-byte record into `out` for every block of `fresh` that
// differs from `base`, in ascending block order from output address 0. Only
// the logical bytes an area holds are compared (half the area size in the
// interleaved layout). Records never reach the end mark: blocks without room,
// and blocks the record address cannot name, are counted instead. The
// current image is left on one of the three images.
E2pJournalBuild fms_E2pBuildJournal(E2pState &e2p, E2pImageRef fresh, E2pImageRef base, E2pImageRef out);

// Logical bytes that an area of `areaImageBytes` image bytes holds.
uint32_t e2pLogicalBytes(const FlashState &flash, uint32_t areaImageBytes);

} // namespace qv
