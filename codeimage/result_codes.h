// Result codes of the code image merge beyond those of the record formats:
// write and close failures of the image and of its temporary file, input
// files whose declared sizes reach past their own data (refused rather than
// read out of bounds), and images that would not fit the flash.
#pragma once

namespace qv {

// Output and temporary-file failures.
inline constexpr int kErrTempClose = -1101;        // code.tmp claimed for an expansion
inline constexpr int kErrCodeImageClose = -1102;   // image without CUS area
inline constexpr int kErrSizeDateWrite = -1103;    // size-and-date record and checksum
inline constexpr int kErrMarkerWrite = -1104;      // code end marker
inline constexpr int kErrAlignFillWrite = -1105;   // interleaved alignment fill
inline constexpr int kErrCusfWrite = -1106;        // "CUSF" and its position word
inline constexpr int kErrPatchRecordWrite = -1107; // DSP patch record
inline constexpr int kErrMcpRecordWrite = -1108;   // MCP record
inline constexpr int kErrCusRecordWrite = -1109;   // record of a CUS file
inline constexpr int kErrClosingFillWrite = -1110; // closing fill and "MCUS"
inline constexpr int kErrCusImageClose = -1111;    // image with CUS area

// DSP patch files that do not hold what their descriptor says.
inline constexpr int kErrDspDescriptorPastEnd = -1120;
inline constexpr int kErrDspDescriptorShort = -1121;
inline constexpr int kErrDspEntryOutside = -1122;
inline constexpr int kErrDspIdMapOutside = -1123;
inline constexpr int kErrDspPatchPastEnd = -1124;

// MCP files whose table size or DIDR offset do not fit.
inline constexpr int kErrMcpTableSize = -1140;
inline constexpr int kErrMcpDidrOffset = -1141;
inline constexpr int kErrMcpTooLarge = -1142;

// A code image that would not fit the flash: a code section larger than the
// flash, known by its length before anything is copied, found while it is
// copied (a file that grows or reports no length), or found while a
// compressed one is expanded; a CUS area record that would end past it.
inline constexpr int kErrCodeTooLarge = -1410;
inline constexpr int kErrCodeGrewPastFlash = -1411;
inline constexpr int kErrExpandedCodePastFlash = -1412;
inline constexpr int kErrRecordPastFlash = -1413;
// MCP tables that read differently when their record is written than when
// they were chosen (the file changed or failed in between).
inline constexpr int kErrMcpReread = -1414;

// Message format (one %s: the input file's path) of a code by which a
// generator refuses its input file, or nullptr for any other code.
const char *refusalFormat(int code);

} // namespace qv
