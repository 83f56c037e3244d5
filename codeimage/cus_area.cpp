#include "codeimage/cus_area.h"

#include "base/bytes.h"
#include "codeimage/gen_code.h"
#include "codeimage/gen_cus.h"
#include "codeimage/gen_mcp.h"
#include "codeimage/gen_patch.h"
#include "codeimage/result_codes.h"
#include "codeimage/size_date.h"
#include "base/log.h"
#include "flash/geometry.h"

namespace qv {
namespace {

constexpr const char *kName = "merge_code_cus";
constexpr uint32_t kTypeCode = 0x1000023;

int writeFailed(CodeState &ci, std::string &msg, int code, const char *what, const File &image) {
    ci.io.cause.explain("writing the %s failed: %s", what, image.failure().c_str());
    ci.io.cause.name(image.path());
    msg = strprintf("write %s to %s failed", what, image.path().c_str());
    return code;
}

// The input named by `path` could not be opened.
void openFailed(CodeState &ci, const std::string &path) {
    ci.io.cause.explain("cannot be opened: %s", systemReason().c_str());
    ci.io.cause.name(path);
}

// Message of a generator's failure: its own refusal text naming the input,
// else the generic text of the step. The generator told the cause what it
// found; the input is named here.
int generatorFailed(CodeState &ci, std::string &msg, int r, const std::string &input, const std::string &generic) {
    ci.io.cause.name(input);
    const char *refusal = refusalFormat(r);
    msg = refusal ? strprintf(refusal, input.c_str()) : generic;
    return r;
}

bool writeWord(File &image, uint32_t v) {
    uint8_t b[4];
    putLe32(b, v);
    return image.write(b, 4) == 4;
}

// Size-and-date record and checksum (uncompressed code file only), then the
// code end marker.
int closeCodeSection(CodeState &ci, File &image, const CodeSection &code, const FlashInfo &fi, std::string &msg) {
    if (!code.compressed) {
        std::vector<uint8_t> record;
        uint32_t length = 0;
        if (int r = SendBinaryFileSizeAndDate(code.path, record, length, ci.io.call.recordedTime, &ci.io.cause)) {
            ci.io.cause.name(code.path);
            msg = "SendBinaryFileSizeAndDate() function error";
            return r;
        }
        uint32_t sum = xor_words(code.checksum, record.data(), length / 4);
        if (image.write(record.data(), length) != length || !writeWord(image, sum))
            return writeFailed(ci, msg, kErrSizeDateWrite, "size and date record", image);
    }
    if (!writeWord(image, codeEndMarker(ci.flash.versionAddr1, fi.options())))
        return writeFailed(ci, msg, kErrMarkerWrite, "code end marker", image);
    return 0;
}

// cusPos: after the code section (filled to 1024 on an interleaved flash),
// or cusOffset (rounded up to 1024 there) without a code file.
int placeArea(CodeState &ci, File &image, bool withCode, const FlashInfo &fi, uint32_t &cusPos, std::string &msg) {
    cusPos = withCode ? uint32_t(image.tell()) : fi.cusOffset();
    if (!fms_IsInterleaved(ci.flash)) return 0;
    uint32_t rem = cusPos % kInterleavedAlign;
    if (!withCode) {
        cusPos += rem ? kInterleavedAlign - rem : 0;
    } else if (rem) {
        uint32_t fill = kInterleavedAlign - rem;
        if (image.fill(0xFF, fill) != fill) return writeFailed(ci, msg, kErrAlignFillWrite, "alignment fill", image);
        cusPos += fill;
    }
    return 0;
}

int writePatchRecord(CodeState &ci, File &image, const std::vector<std::string> &dspFiles, uint32_t cusPos,
                     const FlashInfo &fi, std::string &msg) {
    if (dspFiles.empty()) {
        ci.io.cause.explain("the CUS area begins with the DSP patch record, and the patch list holds no .pat file "
                            "with kind byte 6 at offset 9");
        msg = "no DSP patch file given";
        return kErrNoDspFile;
    }
    File dsp(dspFiles[0], "rb");
    if (!dsp) {
        openFailed(ci, dspFiles[0]);
        msg = strprintf("open %s failed", dspFiles[0].c_str());
        return kErrDspOpen;
    }
    uint8_t head[8];
    putLe32(head, kCusfTag);
    putLe32(head + 4, cusPos + 4);
    if (image.write(head, sizeof head) != sizeof head)
        return writeFailed(ci, msg, kErrCusfWrite, "CUSF header", image);
    int r = gen_patch(ci, dsp, image, dspChipId(fi), fi.chipSubId());
    dsp.close();
    if (image.failed()) return writeFailed(ci, msg, kErrPatchRecordWrite, "DSP patch record", image);
    return r ? generatorFailed(ci, msg, r, dspFiles[0], "gen_patch() function error") : 0;
}

int writeMcpRecord(CodeState &ci, File &image, const std::string &mcpPath, const FlashInfo &fi, std::string &msg) {
    if (mcpPath.empty()) return 0;
    File mcp(mcpPath, "rb");
    if (!mcp) {
        openFailed(ci, mcpPath);
        msg = strprintf("open mcp bin file: %s failed", mcpPath.c_str());
        return kErrMcpOpen;
    }
    int r = gen_mcp(ci, mcp, image, fi.memPartCount(), fi);
    mcp.close();
    if (image.failed()) return writeFailed(ci, msg, kErrMcpRecordWrite, "MCP record", image);
    return r ? generatorFailed(ci, msg, r, mcpPath, "gen_mcp() function error") : 0;
}

int writeCusRecords(CodeState &ci, File &image, const std::vector<std::string> &cusFiles, std::string &msg) {
    for (const std::string &path : cusFiles) {
        int r = gen_cus(ci, path, image);
        if (image.failed()) {
            ci.io.cause.explain("writing the record of %s failed: %s", path.c_str(), image.failure().c_str());
            ci.io.cause.name(image.path());
            msg = strprintf("write record of %s to %s failed", path.c_str(), image.path().c_str());
            return kErrCusRecordWrite;
        }
        if (r) return generatorFailed(ci, msg, r, path, strprintf("gen_cus(%s) function error", path.c_str()));
    }
    return 0;
}

// On an interleaved flash the area, "MCUS" included, ends on a 4 KB boundary
// counted from cus_start; nothing is added when it already does.
int writeClosingFill(CodeState &ci, File &image, uint32_t cusLen, std::string &msg) {
    if (!fms_IsInterleaved(ci.flash)) return 0;
    uint32_t rem = (cusLen + 4) % kCusBlock;
    if (rem == 0) return 0;
    uint32_t fill = kCusBlock - rem;
    uint8_t tag[4];
    putLe32(tag, kMcusTag);
    if (image.fill(0xFF, fill) != fill || image.write(tag, sizeof tag) != sizeof tag)
        return writeFailed(ci, msg, kErrClosingFillWrite, "closing fill", image);
    return 0;
}

// Logs where the area lies, queues its size and base for the E2P merge and
// sets the lowest address the RAI area may use.
void publishArea(CodeState &ci, uint32_t cusStart, uint32_t cusEnd) {
    uint32_t cusLen = cusEnd - cusStart;
    uint32_t cusSize = uint32_t(cusSizeIn4K(cusLen));
    uint8_t base0 = uint8_t(cusStart >> 2), base1 = uint8_t(cusStart >> 10), base2 = uint8_t(cusStart >> 18);
    logf(ci.io.log, kName, "cus_start = 0x%x, cus_end=0x%x, cus_len=%d", cusStart, cusEnd, int32_t(cusLen));
    logf(ci.io.log, kName, "cus_size = 0x%x", cusSize);
    logf(ci.io.log, kName, "l__u8_CustoBase=%x", base0);
    logf(ci.io.log, kName, "l__u8_CustoBase1=%x", base1);
    logf(ci.io.log, kName, "l__u8_CustoBase2=%x", base2);
    ci.e2p.pending.push_front(PendingParam{247, 2, cusSize});
    ci.e2p.pending.push_front(PendingParam{249, 1, base0});
    ci.e2p.pending.push_front(PendingParam{223, 1, base1});
    ci.e2p.pending.push_front(PendingParam{255, 1, base2});
    ci.raiLowerbound = uint32_t(fms_GetNextSectorStart(ci.flash, cusEnd));
    logf(ci.io.log, kName, "RAI_lowerbound=%x", ci.raiLowerbound);
    logf(ci.io.log, kName, "cus_end=%x", cusEnd);
}

} // namespace

uint32_t codeEndMarker(uint32_t versionAddr1, uint16_t options) {
    return traceVersion(versionAddr1) >= 4 && (options & 1) ? kCodeEndMarkerNew : kCodeEndMarker;
}

int buildCusArea(CodeState &ci, File &image, const CodeSection &code, const std::vector<std::string> &dspFiles,
                   const std::string &mcpPath, const std::vector<std::string> &cusFiles, OutputImage &entry,
                   const FlashInfo &fi, std::string &msg) {
    uint32_t cusPos = 0;
    if (code.present)
        if (int r = closeCodeSection(ci, image, code, fi, msg)) return r;
    if (int r = placeArea(ci, image, code.present, fi, cusPos, msg)) return r;
    uint32_t cusStart = fi.baseAddress() + cusPos;
    if (int r = writePatchRecord(ci, image, dspFiles, cusPos, fi, msg)) return r;
    if (int r = writeMcpRecord(ci, image, mcpPath, fi, msg)) return r;
    if (int r = writeCusRecords(ci, image, cusFiles, msg)) return r;

    uint32_t imageAddress = code.present ? 0 : cusPos;
    uint32_t imageSize = uint32_t(image.tell());
    uint32_t cusEnd = imageSize + imageAddress + fi.baseAddress();
    if (int r = writeClosingFill(ci, image, cusEnd - cusStart, msg)) return r;
    if (!image.close()) {
        ci.io.cause.explain("cannot be closed: %s", image.failure().c_str());
        ci.io.cause.name(image.path());
        msg = strprintf("close %s failed", image.path().c_str());
        return kErrCusImageClose;
    }
    entry.imageType = kTypeCode;
    entry.imageAddress = imageAddress;
    entry.imageSize = imageSize;
    publishArea(ci, cusStart, cusEnd);
    return 0;
}

} // namespace qv
