// The code image merge: creates the image, copies the code section of the
// first code file (or expands a compressed one straight into the image),
// takes the version words from it, and either closes the image or goes on
// with the CUS area.
#include "codeimage/merge_code_cus.h"

#include "base/bytes.h"
#include "codeimage/ad_write.h"
#include "codeimage/cus_area.h"
#include "codeimage/gen_code.h"
#include "codeimage/result_codes.h"
#include "codeimage/version_words.h"
#include "base/log.h"
#include "input/dewpb.h"
#include "input/inputs.h"

namespace qv {
namespace {

constexpr const char *kName = "merge_code_cus";
constexpr uint32_t kTypeCode = 0x1000023;

// Deletes "code.tmp" when the code section step ends, on every way out, once
// the file has been made.
class TempFile {
public:
    TempFile() = default;
    TempFile(const TempFile &) = delete;
    TempFile &operator=(const TempFile &) = delete;
    ~TempFile() {
        if (!path_.empty()) removeFile(path_);
    }
    void keep(const std::string &path) { path_ = path; }

private:
    std::string path_;
};

// The open that just failed: the message names `path`, the cause names it
// too with the system's reason (read before anything else can change it).
int openFailed(CodeState &ci, std::string &msg, const std::string &path, const char *how, int code) {
    ci.io.cause.explain("cannot be %s: %s", how, systemReason().c_str());
    ci.io.cause.name(path);
    msg = strprintf("open %s failed", path.c_str());
    return code;
}

void takeVersionWords(CodeState &ci, const VersionWords &words) {
    words.store(ci.flash.versionAddr1, ci.flash.versionAddr);
    logf(ci.io.log, kName, "FMS_FLASH_VELMORINE_VERSION_ADDR is updated!");
    logValue(ci.io.log, kName, "FMS_FLASH_VELMORINE_VERSION_ADDR", ci.flash.versionAddr);
    logValue(ci.io.log, kName, "FMS_FLASH_VELMORINE_VERSION_ADDR1", ci.flash.versionAddr1);
}

// A compressed code file claims "code.tmp" in the folder of the image for the
// time of its expansion: a folder where that file cannot be made refuses it
// (-82), and a file of that name is replaced and, at the end, removed. With
// safe outputs the claimed file has a unique name instead.
int claimTempFile(CodeState &ci, const std::string &imagePath, TempFile &tmp, std::string &msg) {
    std::string tmpPath = ci.io.scratchPath(get_dir_prefix(imagePath), "code.tmp");
    File claimed(tmpPath, "wb", ci.io.fs);
    if (!claimed)
        return openFailed(ci, msg, tmpPath, "created next to the code image for the expansion", kErrCodeTempOpen);
    tmp.keep(tmpPath);
    if (!claimed.close()) {
        ci.io.cause.explain("cannot be closed: %s", claimed.failure().c_str());
        ci.io.cause.name(tmpPath);
        msg = strprintf("close %s failed", tmpPath.c_str());
        return kErrTempClose;
    }
    return 0;
}

// Expands the compressed code file `in` straight into `image`: its payload is
// the code section, so it is written once and not copied again from a file of
// its own. The version words are caught on the way at their offsets in the
// expanded form, where 16 bytes stand for a code file's header. A failed
// expansion cuts the image back to where it stood, which is all a separate
// file would have left there; so does an expansion that would pass `limit`,
// the flash size.
int expandCodeSection(CodeState &ci, File &in, File &image, uint64_t limit, std::string &msg) {
    int64_t start = image.tell();
    VersionWords words;
    int64_t pos = kCodeHeaderSize;
    const ExpandedSink toImage = [&](const uint8_t *p, size_t n) {
        words.watch(pos, p, n);
        pos += int64_t(n);
        const size_t done = image.writeThrough(p, n);
        if (done < n) {
            ci.io.cause.explain("writing the expanded code section at offset 0x%llx failed: %s",
                                static_cast<unsigned long long>(pos - int64_t(n) - kCodeHeaderSize),
                                image.failure().c_str());
            ci.io.cause.name(image.path());
        }
        return done;
    };
    int r = deWpb(ci.io, in, toImage, limit);
    if (r == kWpbPastLimit)
        ci.io.cause.explain("its %lld compressed bytes expand past the flash size of %llu bytes (sizeIn64KB %llu of "
                            "the flash description)", static_cast<long long>(in.length()),
                            static_cast<unsigned long long>(limit), static_cast<unsigned long long>(limit >> 16));
    ci.io.cause.name(in.path());
    if (r == kWpbPastLimit) {
        image.truncate(start);
        msg = strprintf("expanded code section of %s passes the flash size of %llu bytes", in.path().c_str(),
                        static_cast<unsigned long long>(limit));
        return kErrExpandedCodePastFlash;
    }
    if (r != 0) {
        image.truncate(start);
        msg = strprintf("uncompress %s error", in.path().c_str());
        return kErrCodeExpand;
    }
    takeVersionWords(ci, words);
    return 0;
}

// Why the code section could not be copied: the flash size is FlashInfo's.
void explainCodeSection(CodeState &ci, int r, File &in, File &image, uint64_t limit) {
    Cause &why = ci.io.cause;
    const unsigned long long flash = limit, blocks = limit >> 16;
    if (r == kErrCodeTooLarge) {
        why.explain("the file holds %lld bytes: its 16-byte header and a code section of %lld; the flash description's "
                    "sizeIn64KB %llu gives a flash of %llu bytes", static_cast<long long>(in.length()),
                    static_cast<long long>(in.length() - kCodeHeaderSize), blocks, flash);
    } else if (r == kErrCodeGrewPastFlash) {
        why.explain("reads on past the flash size of %llu bytes (sizeIn64KB %llu of the flash description); a device "
                    "or pipe is no code file", flash, blocks);
    } else if (r == kErrCodeSeek) {
        why.explain("cannot be positioned at its code section (offset 0x10): %s", systemReason().c_str());
    } else if (r == kErrCodeWrite) {
        why.explain("writing the code section failed: %s", image.failure().c_str());
        why.name(image.path());
    }
    why.name(in.path());
}

// Copies the section with gen_code, at most `limit` bytes of it; a section
// found to pass the limit while it is copied is cut away again.
int copyCodeSection(CodeState &ci, File &in, File &image, uint64_t limit, CodeSection &code, std::string &msg) {
    const int64_t start = image.tell();
    const int r = gen_code(ci.io.call, in, image, code.checksum, limit);
    const unsigned long long flash = limit;
    explainCodeSection(ci, r, in, image, limit);
    if (r == kErrCodeTooLarge) {
        msg = strprintf("code section of %s holds %lld bytes, more than the flash size of %llu bytes",
                        in.path().c_str(), static_cast<long long>(in.length() - kCodeHeaderSize), flash);
    } else if (r == kErrCodeGrewPastFlash) {
        image.truncate(start);
        msg = strprintf("code section of %s passes the flash size of %llu bytes while it is copied",
                        in.path().c_str(), flash);
    } else if (r != 0) {
        msg = "gen_code() function error";
    }
    return r;
}

// Copies the code section of `codePath` onto `image`, at most `limit` bytes
// (the flash size), and notes what the CUS area needs to know about it.
int writeCodeSection(CodeState &ci, const std::string &codePath, File &image, uint64_t limit, CodeSection &code,
                     std::string &msg) {
    code.present = true;
    code.path = codePath;
    code.compressed = is_wpb_file(codePath);
    File in(codePath, "rb");
    if (!in) return openFailed(ci, msg, codePath, "opened", kErrCodeFileOpen);
    if (code.compressed) {
        TempFile tmp;
        if (int r = claimTempFile(ci, image.path(), tmp, msg)) return r;
        return expandCodeSection(ci, in, image, limit, msg);
    }
    VersionWords words;
    words.read(in);
    takeVersionWords(ci, words);
    in.seek(0);
    return copyCodeSection(ci, in, image, limit, code, msg);
}

// Closes an image that is the code section alone and tells the RAI merge
// where it ends in the flash: the RAI area must not begin below that.
int closeCodeOnlyImage(CodeState &ci, File &image, OutputImage &entry, const FlashInfo &fi, std::string &msg) {
    uint32_t size = uint32_t(image.tell());
    if (!image.close()) {
        ci.io.cause.explain("cannot be closed: %s", image.failure().c_str());
        ci.io.cause.name(image.path());
        msg = strprintf("close %s failed", image.path().c_str());
        return kErrCodeImageClose;
    }
    entry.imageType = kTypeCode;
    entry.imageAddress = 0;
    entry.imageSize = size;
    ci.codeImageEnd = uint64_t(fi.baseAddress()) + size;
    ci.codeImagePath = entry.imagePath;
    return 0;
}

} // namespace

int merge_code_cus(CodeState &ci, const std::vector<std::string> &codeFiles, const std::vector<std::string> &dspFiles,
                   const std::string &mcpPath, const std::vector<std::string> &cusFiles, OutputImage &out,
                   const FlashInfo &flashInfo, std::string &msg) {
    if (codeFiles.empty() && cusFiles.empty()) return 0;
    // No part of the image may pass the end of the flash, which also keeps
    // its 32-bit sizes and offsets from wrapping.
    const uint64_t flashSize = flashBytes(flashInfo.sizeIn64KB());
    fms_adSetWriteLimit(ci, flashSize);
    File image = ci.io.openOutput(out.imagePath, "wb");
    if (!image) return openFailed(ci, msg, out.imagePath, "created", kErrCodeImageOpen);
    CodeSection code;
    if (!codeFiles.empty()) {
        if (int r = writeCodeSection(ci, codeFiles[0], image, flashSize, code, msg)) return r;
        if (cusFiles.empty()) return closeCodeOnlyImage(ci, image, out, flashInfo, msg);
    }
    return buildCusArea(ci, image, code, dspFiles, mcpPath, cusFiles, out, flashInfo, msg);
}

} // namespace qv
