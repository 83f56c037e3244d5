// Result codes of the call itself, before, around and after the three
// merges: the request, outputs that are inputs, strict inputs, safe outputs,
// cancellation and failures no merge reports (docs/errors.md).
#pragma once

namespace qv {

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
inline constexpr int kErrSyncOutput = -1471;
inline constexpr int kErrReplaceOutput = -1472;

} // namespace qv
