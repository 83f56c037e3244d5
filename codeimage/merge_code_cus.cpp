// The code image merge: creates the image, copies the code section of the
// first code file (expanding a compressed one into "code.tmp" next to the
// image first), takes the version words from it, and either closes the image
// or goes on with the CUS area.
#include "codeimage/merge_code_cus.h"

#include "codeimage/bytes.h"
#include "codeimage/cus_area.h"
#include "codeimage/gen_code.h"
#include "codeimage/result_codes.h"
#include "driver/dewpb.h"
#include "driver/inputs.h"
#include "driver/log.h"
#include "driver/state.h"

#include <cstring>

namespace qv {
namespace {

constexpr const char *kName = "merge_code_cus";
constexpr uint32_t kTypeCode = 0x1000023;
constexpr int64_t kVersionAddr1At = 0x1094;
constexpr int64_t kVersionAddrAt = 0x10A0;

// Deletes the expanded copy of a compressed code file when the code section
// step ends, on every way out, once the file has been made.
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

// Reads the word at `offset` over the little-endian bytes of `word`: bytes
// past the end of the file keep their earlier value.
void readWordAt(File &f, int64_t offset, uint32_t &word) {
    uint8_t bytes[4], got[4];
    putLe32(bytes, word);
    size_t n = f.seek(offset) ? f.read(got, 4) : 0;
    std::memcpy(bytes, got, n);
    word = le32(bytes);
}

void takeVersionWords(File &code) {
    State &s = state();
    readWordAt(code, kVersionAddr1At, s.versionAddr1);
    readWordAt(code, kVersionAddrAt, s.versionAddr);
    logf(kName, "FMS_FLASH_VELMORINE_VERSION_ADDR is updated!");
    logValue(kName, "FMS_FLASH_VELMORINE_VERSION_ADDR", s.versionAddr);
    logValue(kName, "FMS_FLASH_VELMORINE_VERSION_ADDR1", s.versionAddr1);
}

// Expands the compressed code file `in` into "<dir of the image>code.tmp"
// behind 16 bytes of 0xFF (in place of a code file's header) and reopens
// that file as `in`.
int expandCodeFile(File &in, const std::string &imagePath, TempFile &tmp, std::string &msg) {
    std::string tmpPath = strprintf("%scode.tmp", get_dir_prefix(imagePath).c_str());
    File expanded(tmpPath, "wb");
    if (!expanded) return openFailed(msg, tmpPath, -82);
    tmp.keep(tmpPath);
    if (expanded.fill(0xFF, kCodeHeaderSize) != size_t(kCodeHeaderSize)) {
        msg = strprintf("write header of %s failed", tmpPath.c_str());
        return kErrTempHeaderWrite;
    }
    if (deWpb(in, expanded) != 0) {
        msg = strprintf("uncompress %s error", in.path().c_str());
        return -92;
    }
    in.close();
    if (!expanded.close()) {
        msg = strprintf("close %s failed", tmpPath.c_str());
        return kErrTempClose;
    }
    in = File(tmpPath, "rb");
    return in ? 0 : openFailed(msg, tmpPath, -101);
}

// Copies the code section of `codePath` onto `image` and notes what the CUS
// area needs to know about it.
int writeCodeSection(const std::string &codePath, File &image, CodeSection &code, std::string &msg) {
    code.present = true;
    code.path = codePath;
    code.compressed = is_wpb_file(codePath);
    TempFile tmp; // outlives `in`, so the copy is closed before it is deleted
    File in(codePath, "rb");
    if (!in) return openFailed(msg, codePath, -72);
    if (code.compressed)
        if (int r = expandCodeFile(in, image.path(), tmp, msg)) return r;
    takeVersionWords(in);
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
    File image(out.imagePath, "wb");
    if (!image) return openFailed(msg, out.imagePath, -60);
    CodeSection code;
    if (!codeFiles.empty()) {
        if (int r = writeCodeSection(codeFiles[0], image, code, msg)) return r;
        if (cusFiles.empty()) return closeCodeOnlyImage(image, out, msg);
    }
    return build_cus_area(image, code, dspFiles, mcpPath, cusFiles, out, flashInfo, msg);
}

} // namespace qv
