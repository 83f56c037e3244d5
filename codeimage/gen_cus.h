// The CUS file container ("WCUS", a type tag and "FRED" chunks, optionally
// behind a 16-byte "MSTM"/"MSTE" header) and its record in the CUS area: the
// chunks joined, every chunk after the first behind a 16-byte chunk header.
#pragma once

#include "base/file.h"
#include "codeimage/code_state.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qv {

inline constexpr uint32_t kContainerHeaderSize = 16;
inline constexpr uint32_t kChunkHeaderSize = 16;
inline constexpr uint8_t kCusTypeNotWcus = 3;

// Figures of one loaded CUS file.
struct CusFigures {
    uint8_t fileType = 0;   // cus_file_type
    uint32_t chunkSize = 0; // cus_chunk_size: L of the first chunk
    uint32_t dataLen = 0;   // cus_data_len: bytes staged
};

// File type of a payload; `chunkIdent` (preset to FF FF FF FF) receives the
// ident that the chunk headers carry.
uint8_t cus_get_file_type(const uint8_t *payload, size_t length, uint8_t chunkIdent[4]);

// Record ident of a file type (the first table row for it); false when the
// type has no row.
bool cus_find_ident(uint8_t fileType, uint32_t &ident);

// Joins the chunks of a payload into `staging`; 1 when the chunks end
// exactly at the payload's end, else 0. The staging buffer grows as needed,
// whatever the number of chunks.
int cus_stage_chunks(const uint8_t *payload, size_t length, std::vector<uint8_t> &staging, CusFigures &fig);

// 1 when the file opens, has at least 16 bytes and begins "MSTM" or "MSTE".
int cus_has_container(const std::string &path);

// Reads the payload of a CUS file and stages its chunks; 1 when the file was
// read whole and is well formed, else 0.
int cus_load_file(const std::string &path, std::vector<uint8_t> &staging, CusFigures &fig);

// Appends the record of one CUS file. Returns 0, -246 (not readable or not
// well formed), -264 (no record ident for its type), -270 (the record writer
// failed) or kErrCusNoMemory. Nothing is written before the record.
int gen_cus(CodeState &ci, const std::string &path, File &out);

} // namespace qv
