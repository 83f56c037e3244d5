// The CUS file container ("WCUS", a type tag and "FRED" chunks, optionally
// behind a 16-byte "MSTM"/"MSTE" header) and its record in the CUS area: the
// chunks joined, every chunk after the first behind a 16-byte chunk header.
// The chunks are walked twice in the file, once for the record's figures and
// once to copy them into the record, so no file is held in memory.
#pragma once

#include "base/cause.h"
#include "base/file.h"
#include "codeimage/code_state.h"

#include <cstdint>
#include <string>

namespace qv {

inline constexpr uint32_t kContainerHeaderSize = 16;
inline constexpr uint32_t kChunkHeaderSize = 16;
inline constexpr uint8_t kCusTypeNotWcus = 3;

// Figures of one loaded CUS file.
struct CusFigures {
    uint8_t fileType = 0;   // cus_file_type
    uint32_t chunkSize = 0; // cus_chunk_size: L of the first chunk
    uint32_t dataLen = 0;   // cus_data_len: bytes of the record's data
};

// One CUS file open for its record: where its payload lies and what the
// chunk headers of the record carry.
struct CusFile {
    File file;
    int64_t start = 0; // payload: [start, end) of the file
    int64_t end = 0;
    uint8_t chunkIdent[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    CusFigures fig;
};

// File type of a payload that begins with `head` (`length` bytes of payload
// in all); `chunkIdent` (preset to FF FF FF FF) receives the ident that the
// chunk headers carry.
uint8_t cus_get_file_type(const uint8_t *head, size_t length, uint8_t chunkIdent[4]);

// Record ident of a file type (the first table row for it); false when the
// type has no row.
bool cusFindIdent(uint8_t fileType, uint32_t &ident);

// True when the file opens, has at least 16 bytes and begins "MSTM" or "MSTE".
bool cus_has_container(const std::string &path);

// Opens a CUS file, classifies its payload and walks its chunks for the
// figures; 0 when the payload is well formed (its chunks end exactly at the
// end of the file) and its record data fits 32 bits, else kErrCusMalformed,
// with `why` (when given) told where and what.
int cus_load_file(const std::string &path, CusFile &cus, Cause *why = nullptr);

// Writes the record data of a loaded file onto `out`: the first chunk's
// data, then each later chunk behind its chunk header. 0, or
// kErrCusMalformed when the file no longer reads as it did when it was loaded.
int cus_stage_chunks(CallControl &call, CusFile &cus, File &out);

// Appends the record of one CUS file. Returns 0, -246 (not readable or not
// well formed), -264 (no record ident for its type), -270 (the record writer
// refused it) or kErrRecordPastFlash. Nothing is written before the record.
int gen_cus(CodeState &ci, const std::string &path, File &out);

} // namespace qv
