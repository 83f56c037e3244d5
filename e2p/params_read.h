// The parameters of an E2P image by name: the objects of the description
// files that went into it, judged by the loader's own rules (the address
// classes, the record buffer, the area's end) in the merge's order, the later
// object winning where they overlap, and the values each holds in an image,
// read by the object's type tokens. Used by `inspect`, the release report and
// the comparison of two releases.
#pragma once

#include "e2p/e2p_file.h"
#include "e2p/e2p_state.h"
#include "e2p/journal_read.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qv {

// An object of a description file as the merge loads it.
struct E2pParam {
    std::string name;
    std::string file; // the description file it comes from
    int32_t address = 0, size = 0;
    uint32_t offset = 0;  // the E2P offset its address gives
    bool written = false; // the load wrote its bytes [offset, offset + size)
    std::string notWritten; // why not, when it was not
    std::vector<E2pFileObjValueTag> declared; // its values as the file gives them
    std::vector<std::string> replaces;        // earlier objects whose every byte it wrote over, "NAME (FILE)"
    std::vector<std::string> overwrittenBy;   // later objects that wrote over part of it
};

struct E2pParamTable {
    std::vector<E2pParam> params; // in loading order; objects wholly written over are left out
    std::vector<uint8_t> covered; // one flag per logical byte: a listed object writes it
    std::vector<std::string> problems;

    bool covers(uint32_t x) const { return x < covered.size() && covered[x]; }
};

// Reads the description files in the order the merge loads them, judging
// each object against the E2P area of `area` (its current image, whose size
// and layout the merged content has). A file that cannot be read, and an
// object the load refuses (which ends the load there), are problems.
E2pParamTable readE2pParams(E2pState &area, const std::vector<std::string> &files);

// One value of an object as an image holds it.
struct E2pParamValue {
    int32_t type = 0;     // E2pValueType
    std::string typeName; // the type token as written
    bool placeholder = false; // written as "%p"
    bool stored = false;  // its bytes lie inside the object's size and the object was written
    int64_t number = 0;   // numeric types: unsigned, or sign-extended for the signed ones
    std::string text;     // "%ascii": the bytes
};

// An object's bytes and values in the current image of `image`.
struct E2pParamNow {
    std::vector<uint8_t> bytes; // its `size` bytes; empty when it was not written
    std::vector<E2pParamValue> values;
};
E2pParamNow readE2pParam(E2pState &image, const E2pParam &p);

// A value as people read it: 250, -3, "Quorvel demo" (bytes other than
// printable ASCII as \xNN), %p for a placeholder that still holds all ones,
// "(not stored)" for a value past the object's size.
std::string e2pValueText(const E2pParamValue &v);
// The values of an object, ", " between them.
std::string e2pValuesText(const E2pParamNow &now);
// The distinct type tokens of an object in order: "%u16 %u32".
std::string e2pTypesText(const E2pParam &p);

// The 16-byte blocks in which the images of `before` and `after` differ in a
// byte that no object of `tables` covers.
std::vector<E2pChangedBlock> e2pUncoveredChanges(E2pState &before, E2pState &after,
                                                 const std::vector<const E2pParamTable *> &tables);

// An E2P image's parameters: its journal replayed onto its base, and the
// description files that went into it read over the result.
struct E2pImageParams {
    E2pReplay replay;                       // the merged content and the blocks the journal changed
    E2pParamTable table;
    std::vector<E2pParamNow> before, now;   // of each listed object, in the base and in the merged content
    std::vector<E2pChangedBlock> uncovered; // changed blocks with a changed byte no object covers
};
// `image` is the state of an E2P image reader (E2pImageReader) over the E2P
// image; `base` the base image the merge built its journal against.
E2pImageParams readE2pImageParams(E2pState &image, std::span<const uint8_t> base,
                                  const std::vector<std::string> &files);

} // namespace qv
