// Reading an E2P image back: the journal of records from logical address 0
// (target address, length, header check, data check), where and why the
// journal ends, and the end mark in the last two logical bytes. Replaying the
// journal onto a base image gives the parameter content it describes. The
// records are read, judged and replayed by the merge's own journal operations.
#pragma once

#include "e2p/e2p_state.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qv {

struct E2pJournalRecord {
    uint32_t at = 0;      // logical address of the header
    uint16_t word0 = 0;   // flag bits and target address
    uint16_t address = 0; // word0 bits 0 to 13
    uint16_t length = 0;
    uint8_t storedHeaderCheck = 0, computedHeaderCheck = 0; // the low 7 bits are compared
    uint8_t storedDataCheck = 0, computedDataCheck = 0;
    bool dataReadable = true; // false when the data passes the end of the area
    std::vector<uint8_t> data;

    bool dataCheckMatches() const { return dataReadable && storedDataCheck == computedDataCheck; }
};

struct E2pJournal {
    uint32_t imageSize = 0, logicalSize = 0;
    bool interleaved = false;
    std::vector<E2pJournalRecord> records;
    uint32_t endAt = 0;     // logical address where the journal ends
    std::string endReason;  // why it ends there
    bool endMarkOk = false; // FF 7F in the last two logical bytes
    bool erased = false;    // every byte 0xFF: an erased area, an empty journal without end mark
    uint16_t endMark = 0;
    uint32_t notErasedAfterEnd = 0; // bytes other than 0xFF between the end and the end mark
    std::vector<std::string> problems;
};

// The journal of the current image of `e2p`, whose area is the whole image.
E2pJournal readE2pJournal(E2pState &e2p);
// True when the image ends with the end mark in the layout given.
bool e2pHasEndMark(std::span<const uint8_t> image, bool interleaved);
// True when the image ends with the end mark in either layout.
bool looksLikeE2pImage(std::span<const uint8_t> image);

// A 16-byte block of the parameter content that the journal changed.
struct E2pChangedBlock {
    uint32_t address = 0;
    uint8_t before[16] = {}, after[16] = {};
};

// The 16-byte blocks in which the current images of two states of one layout
// differ, up to the logical end of the smaller one.
std::vector<E2pChangedBlock> e2pChangedBlocks(E2pState &before, E2pState &after);

struct E2pReplay {
    std::vector<uint8_t> content;         // the base with the journal replayed
    std::vector<E2pChangedBlock> changed; // the blocks that differ from the base
};

// Replays the journal of the current image of `e2p` onto `base` as the merge
// does (records whose data passes the area or the base are skipped).
E2pReplay replayE2pJournal(E2pState &e2p, std::span<const uint8_t> base);

} // namespace qv
