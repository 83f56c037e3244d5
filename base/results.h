// Every result code of the library, in one place. 0 is success; each failure
// site has its own negative code, except where the merge itself gives one
// code to two sites (-53, -78, -92, -196: two names, one value). Codes from
// -1100 down are the project's own. docs/errors.md lists each code with its
// message and cause, and a test keeps the two in step.
#pragma once

namespace qv {

// ---- The entry ------------------------------------------------------------
inline constexpr int kErrNoFlashInfo = -57; // "Cannot get flash information"

// The call around the merges: outputs that are inputs, failures no merge
// reports, the request entry's checks, strict inputs and safe outputs.
inline constexpr int kErrOutputIsInput = -1450;
inline constexpr int kErrOutputIsOutput = -1451;
inline constexpr int kErrOutOfMemory = -1452;
inline constexpr int kErrUnexpected = -1453;
inline constexpr int kErrCancelled = -1454;
inline constexpr int kErrNoRequest = -1455;
inline constexpr int kErrStructSize = -1456;
inline constexpr int kErrUnknownFlags = -1457;
inline constexpr int kErrFlashInfoShort = -1458;
inline constexpr int kErrRecordedTime = -1459;
inline constexpr int kErrNoOutputs = -1460;
inline constexpr int kErrNullList = -1461;
inline constexpr int kErrInputMissing = -1462;
inline constexpr int kErrInputNotRegular = -1463;
inline constexpr int kErrInputUnreadable = -1464;
inline constexpr int kErrInputNotRecognised = -1465;
inline constexpr int kErrSecondCodeFile = -1466;
inline constexpr int kErrSecondMcpFile = -1467;
inline constexpr int kErrSecondDspFile = -1468;
inline constexpr int kErrPatchUnused = -1469;
inline constexpr int kErrNoE2pObject = -1470;
// Strict inputs: inputs that are sound files but the wrong ones.
inline constexpr int kErrFlashInfoUnsound = -1500;
inline constexpr int kErrE2pAreaNotJournal = -1501;
inline constexpr int kErrE2pBaseIsJournal = -1502;
inline constexpr int kErrInputOfOtherKind = -1503;
inline constexpr int kErrFatCutShort = -1504;
inline constexpr int kErrDspNoChipVersion = -1505;
inline constexpr int kErrDspNoIdMapEntry = -1506;
inline constexpr int kErrMcpNoTables = -1507;
inline constexpr int kErrSyncOutput = -1471;
inline constexpr int kErrReplaceOutput = -1472;
// With safe outputs: an image the merge writes has no path.
inline constexpr int kErrOutputMissing = -1480;

// ---- Compressed inputs (deWpb; callers report their own code) --------------
inline constexpr int kWpbNoMagic = -62;
inline constexpr int kWpbInflateFailed = -99;
inline constexpr int kWpbWriteShort = -115;
inline constexpr int kWpbDataAfterStream = -128;
inline constexpr int kWpbFinalWriteShort = -148;
inline constexpr int kWpbCorruptEnd = -155;
// The expansion stopped because it would have given more bytes than its
// limit; the log says where ("Stopped after %llu bytes ...").
inline constexpr int kWpbPastLimit = -1430;

// ---- Code image merge -----------------------------------------------------
inline constexpr int kErrCodeImageOpen = -60;
inline constexpr int kErrCodeFileOpen = -72;
inline constexpr int kErrCodeTempOpen = -82;
inline constexpr int kErrCodeExpand = -92;
inline constexpr int kErrCodeSeek = -34;  // gen_code: the code file cannot be positioned
inline constexpr int kErrCodeWrite = -41; // gen_code: a block not written completely
inline constexpr int kErrSizeDate = -143;
inline constexpr int kErrDspOpen = -196;
inline constexpr int kErrNoDspFile = -196;
inline constexpr int kErrMcpOpen = -219;
// The record writer: the stream is past the record's end.
inline constexpr int kErrRecordRefused = -53;
// DSP patch file (gen_patch).
inline constexpr int kErrDspMagic = -73;
inline constexpr int kErrDspVersion = -78;
inline constexpr int kErrDspKind = -83;
inline constexpr int kErrDspDescriptorVersion = -94;
inline constexpr int kErrDspNoIdMatch = -125;
inline constexpr int kErrDspNoEntry = -141;
// MCP file (gen_mcp).
inline constexpr int kErrMcpSizeUnreadable = -39;
inline constexpr int kErrMcpDidrUnreadable = -46;
inline constexpr int kErrMcpMagic = -74;
inline constexpr int kErrMcpTooFew = -102;
// CUS file (gen_cus).
inline constexpr int kErrCusMalformed = -246;
inline constexpr int kErrCusNoIdent = -264;
inline constexpr int kErrCusRecordRefused = -270;

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

// A code section larger than the flash: refused by its length before it is
// copied (a file that grows or reports no length), or found while a
// compressed one is expanded; a CUS area record that would end past it.
inline constexpr int kErrCodeTooLarge = -1410;
inline constexpr int kErrCodeGrewPastFlash = -1411;
inline constexpr int kErrExpandedCodePastFlash = -1412;
inline constexpr int kErrRecordPastFlash = -1413;
// MCP tables that read differently when their record is written than when
// they were chosen (the file changed or failed in between).
inline constexpr int kErrMcpReread = -1414;

// ---- E2P merge ------------------------------------------------------------
inline constexpr int kE2pReadRefused = -85;  // fms_E2pRead outside the area or the image
inline constexpr int kE2pWriteRefused = -104; // fms_E2pWrite outside the area or the image
inline constexpr int kE2pOpenOutputFailed = -58; // "open %s failed"
inline constexpr int kE2pDownloadFailed = -78;   // "DownloadE2PFile4Nor() error"
inline constexpr int kE2pPendingFailed = -92;    // "Update CUS size and base in E2P error"
// Host buffers that are null while their size says otherwise, or a base image
// that does not cover the area (the journal build and the final copy read
// area-size bytes of it).
inline constexpr int kE2pBaseMissing = -1200;
inline constexpr int kE2pAreaMissing = -1201;
inline constexpr int kE2pBaseTooSmall = -1202;
// The working image and the output buffer could not be allocated.
inline constexpr int kE2pNoMemory = -1203;
// A journal that would drop changes: more changed blocks than records fit
// before the end mark, or changed blocks beyond the 14-bit record address.
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
// A table's object asked for by an index outside the table (GetObjRecord).
inline constexpr int kE2pIndexOutside = -1212;
// A description file larger than a description file may be: refused by size
// before it is read, or found while it is read (a device, a pipe, a file that
// grew).
inline constexpr int kE2pFileTooLarge = -1400;
inline constexpr int kE2pTextTooLong = -1401;

// ---- RAI merge ------------------------------------------------------------
inline constexpr int kRaiNoE2pArea = -32;     // "Init E2P fail"
inline constexpr int kRaiImageOpenFailed = -44;
inline constexpr int kRaiMapFailed = -45;     // "fms_MapOutMemoryExt Error"
inline constexpr int kRaiCusOverflow = -51;   // "CUS size overflow!"
inline constexpr int kRaiLaunchFailed = -67;  // "dwl_NorFsProcessInit error"
inline constexpr int kRaiInputOpen = -81;     // a compressed input
inline constexpr int kRaiTempCreate = -89;    // "<image folder>rai.tmp"
inline constexpr int kRaiExpandFailed = -98;
inline constexpr int kRaiTempReopen = -109;
inline constexpr int kRaiFatOpen = -119;      // a plain FAT input
inline constexpr int kRaiUnknownKind = -138;
inline constexpr int kRaiStoreFailed = -151;  // "dwl_NorFsProcessData error"
// Writing the RAI image file out (a write or its close) failed.
inline constexpr int kRaiImageWriteFailed = -1310;
// Closing the expanded temporary file failed.
inline constexpr int kRaiTempCloseFailed = -1311;
// A code image without CUS area reaches into the RAI area.
inline constexpr int kRaiCodeOverflow = -1420;

// The download stream (log lines of dwl_NorFsProcessInit/Data).
inline constexpr int kDevWriteFailed = -5;
inline constexpr int kDwlLaunchFailed = -25;
inline constexpr int kDwlWriteFailed = -53;

// The partition map (fms_MapOutMemoryExt).
inline constexpr int kMapNoFlashInfo = -323;
inline constexpr int kMapTraceBelowBank = -407;
// The region table cannot be walked: `regionCount` is 0 or above 4.
inline constexpr int kMapBadRegionCount = -1300;
// A used region's sector shift is 32 or more.
inline constexpr int kMapBadRegionShift = -1301;

// The launch of the item service (fms_MapLaunchService).
inline constexpr int kLaunchNoLength = -11;
inline constexpr int kLaunchNoMemory = -12;
// fms_GetSectorCount cannot step over [base, base + length).
inline constexpr int kLaunchBadRange = -1302;
// A sector of the range differs in size from the one at the base.
inline constexpr int kLaunchMixedSectors = -1303;
// The cache size parameter lies beyond the E2P area.
inline constexpr int kLaunchCacheUnreadable = -1304;
// l__u16_CacheSize of 0 or above 511: no table its 17-bit links can hold.
inline constexpr int kLaunchBadCacheSize = -1305;
// A sector (halved when interleaved) too small for its 8-byte header.
inline constexpr int kLaunchSectorTooSmall = -1306;

// The item store (fms_rai_write): why an item was not stored.
inline constexpr int kItemTooLarge = -1320;  // data size above 0xB000
inline constexpr int kItemExists = -1321;    // the identifier is already stored
inline constexpr int kItemNoRoom = -1322;    // no room under mem_avail
inline constexpr int kItemNoSector = -1323;  // no sector can take the item
inline constexpr int kItemHashFull = -1324;  // the hash table is full

// The RAI image window (fms_Write, fms_Read).
inline constexpr int kIllegalWriteAddress = -260;
inline constexpr int kIllegalReadAddress = -281;

} // namespace qv
