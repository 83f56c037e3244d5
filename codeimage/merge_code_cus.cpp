// The code image merge: creates the image, copies the code section of the
// first code file (or expands a compressed one straight into the image),
// takes the version words from it, and either closes the image or goes on
// with the CUS area.
#include "codeimage/merge_code_cus.h"

#include "codeimage/bytes.h"
#include "codeimage/cus_area.h"
#include "codeimage/gen_code.h"
#include "codeimage/result_codes.h"
#include "codeimage/version_words.h"
#include "driver/dewpb.h"
#include "driver/inputs.h"
#include "driver/log.h"
#include "driver/output_files.h"
#include "driver/state.h"

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

int openFailed(std::string &msg, const std::string &path, int code) {
    msg = strprintf("open %s failed", path.c_str());
    return code;
}

void takeVersionWords(const VersionWords &words) {
    State &s = state();
    words.store(s.versionAddr1, s.versionAddr);
    logf(kName, "FMS_FLASH_VELMORINE_VERSION_ADDR is updated!");
    logValue(kName, "FMS_FLASH_VELMORINE_VERSION_ADDR", s.versionAddr);
    logValue(kName, "FMS_FLASH_VELMORINE_VERSION_ADDR1", s.versionAddr1);
}

// A compressed code file claims "code.tmp" in the folder of the image for the
// time of its expansion: a folder where that file cannot be made refuses it
// (-82), and a file of that name is replaced and, at the end, removed. With
// safe outputs the claimed file has a unique name instead.
int claimTempFile(const std::string &imagePath, TempFile &tmp, std::string &msg) {
    std::string tmpPath = scratchPath(get_dir_prefix(imagePath), "code.tmp");
    File claimed(tmpPath, "wb");
    if (!claimed) return openFailed(msg, tmpPath, -82);
    tmp.keep(tmpPath);
    if (!claimed.close()) {
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
// file would have left there.
int expandCodeSection(File &in, File &image, std::string &msg) {
    int64_t start = image.tell();
    VersionWords words;
    int64_t pos = kCodeHeaderSize;
    int r = deWpb(in, [&](const uint8_t *p, size_t n) {
        words.watch(pos, p, n);
        pos += int64_t(n);
        return image.writeThrough(p, n);
    });
    if (r != 0) {
        image.truncate(start);
        msg = strprintf("uncompress %s error", in.path().c_str());
        return -92;
    }
    takeVersionWords(words);
    return 0;
}

// Copies the code section of `codePath` onto `image` and notes what the CUS
// area needs to know about it.
int writeCodeSection(const std::string &codePath, File &image, CodeSection &code, std::string &msg) {
    code.present = true;
    code.path = codePath;
    code.compressed = is_wpb_file(codePath);
    File in(codePath, "rb");
    if (!in) return openFailed(msg, codePath, -72);
    if (code.compressed) {
        TempFile tmp;
        if (int r = claimTempFile(image.path(), tmp, msg)) return r;
        return expandCodeSection(in, image, msg);
    }
    VersionWords words;
    words.read(in);
    takeVersionWords(words);
    in.seek(0);
    if (int r = gen_code(in, image, code.checksum)) {
        msg = "gen_code() function error";
        return r;
    }
    return 0;
}

int closeCodeOnlyImage(File &image, OutputImage &entry, std::string &msg) {
    uint32_t size = uint32_t(image.tell());
    if (!image.close()) {
        msg = strprintf("close %s failed", image.path().c_str());
        return kErrCodeImageClose;
    }
    entry.imageType = kTypeCode;
    entry.imageAddress = 0;
    entry.imageSize = size;
    return 0;
}

} // namespace

int merge_code_cus(const std::vector<std::string> &codeFiles, const std::vector<std::string> &dspFiles,
                   const std::string &mcpPath, const std::vector<std::string> &cusFiles, OutputImage &out,
                   const FlashInfo &flashInfo, std::string &msg) {
    if (codeFiles.empty() && cusFiles.empty()) return 0;
    File image = openOutput(out.imagePath, "wb");
    if (!image) return openFailed(msg, out.imagePath, -60);
    CodeSection code;
    if (!codeFiles.empty()) {
        if (int r = writeCodeSection(codeFiles[0], image, code, msg)) return r;
        if (cusFiles.empty()) return closeCodeOnlyImage(image, out, msg);
    }
    return build_cus_area(image, code, dspFiles, mcpPath, cusFiles, out, flashInfo, msg);
}

} // namespace qv
