// Result codes of the E2P merge and of the description-file loader.
#pragma once

namespace qv {

// Failures the merge has always reported.
inline constexpr int kE2pOpenOutputFailed = -58; // "open %s failed"
inline constexpr int kE2pDownloadFailed = -78;   // "DownloadE2PFile4Nor() error"
inline constexpr int kE2pPendingFailed = -92;    // "Update CUS size and base in E2P error"

// Refused host buffers: a null pointer announced with a size, or a base image
// that does not cover the area (the journal build and the final copy read
// area-size bytes of it).
inline constexpr int kE2pBaseMissing = -1200;
inline constexpr int kE2pAreaMissing = -1201;
inline constexpr int kE2pBaseTooSmall = -1202;
// The working image and the output buffer could not be allocated.
inline constexpr int kE2pNoMemory = -1203;
// The new journal cannot describe every change: more changed blocks than
// records fit before the end mark, or changed blocks beyond the 14-bit
// record address.
inline constexpr int kE2pJournalFull = -1204;
inline constexpr int kE2pJournalUnaddressable = -1205;
// Writing or closing the E2P image file failed.
inline constexpr int kE2pWriteOutputFailed = -1206;
// The text of a container could not be moved into its temporary file.
inline constexpr int kE2pTempNameFailed = -1207;
inline constexpr int kE2pTempOpenFailed = -1208;
inline constexpr int kE2pTempWriteFailed = -1209;
// A description file could not be read to its end.
inline constexpr int kE2pContainerReadFailed = -1210;
inline constexpr int kE2pTextReadFailed = -1211;
// A description file larger than the format can need: known by its size
// before it is read, or found while it is read (a device, a pipe, a file that
// grew).
inline constexpr int kE2pFileTooLarge = -1400;
inline constexpr int kE2pTextTooLong = -1401;

} // namespace qv
