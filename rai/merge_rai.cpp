#include "rai/merge_rai.h"

#include "driver/dewpb.h"
#include "driver/inputs.h"
#include "driver/output_files.h"
#include "driver/state.h"
#include "e2p/access.h"
#include "flash/image_buffer.h"
#include "flash/partition_map.h"
#include "rai/download.h"

namespace qv {
namespace {

constexpr const char *kName = "mergeRAI";

// The download stream of one input, and the expanded temporary file behind
// it when the input was compressed; the temporary file goes with the stream.
struct InputStream {
    File file;
    std::string tempPath; // empty when nothing was expanded
    bool hidden = false;
    InputStream() = default;
    InputStream(const InputStream &) = delete;
    InputStream &operator=(const InputStream &) = delete;
    ~InputStream() {
        file.close();
        if (!tempPath.empty()) removeFile(tempPath);
    }
};

// Expands a compressed input into "<image folder>rai.tmp" (a unique name with
// safe outputs) and opens that as a user FAT stream from its first byte.
int openCompressed(const std::string &path, const std::string &imagePath, InputStream &in, std::string &msg) {
    File source(path, "rb");
    if (!source) {
        msg = strprintf("open %s fail", path.c_str());
        return -81;
    }
    std::string temp = scratchPath(get_dir_prefix(imagePath), "rai.tmp");
    File expanded(temp, "wb");
    if (!expanded) {
        msg = strprintf("open %s fail", temp.c_str());
        return -89;
    }
    in.tempPath = temp;
    if (deWpb(source, expanded) != 0) {
        msg = strprintf("uncompress %s error", path.c_str());
        return -98;
    }
    if (!expanded.close()) {
        msg = strprintf("close %s fail", temp.c_str());
        return kRaiTempCloseFailed;
    }
    in.file = File(temp, "rb");
    if (!in.file) {
        msg = strprintf("open %s fail", temp.c_str());
        return -109;
    }
    return 0;
}

// Opens a FAT input: its kind byte names the file system, its stream starts
// after the 16-byte header.
int openPlain(const std::string &path, InputStream &in, std::string &msg) {
    in.file = File(path, "rb");
    if (!in.file) {
        msg = strprintf("open %s fail", path.c_str());
        return -119;
    }
    int kind = file_kind_byte(in.file);
    if (kind == kKindUserFat) {
        logf(kName, "Start writing user fat: %s", path.c_str());
    } else if (kind == kKindHiddenFat) {
        logf(kName, "Start writing hidden fat: %s", path.c_str());
        in.hidden = true;
    } else {
        msg = strprintf("%s: unknown file type", path.c_str());
        return -138;
    }
    in.file.seek(16);
    return 0;
}

// Attaches the image file to the RAI image for the time of the merge; the
// image never outlives it holding a pointer to it.
class ImageFileScope {
public:
    ImageFileScope(RaiImage &img, File &file) : img_(&img) { imageAttach(img, file); }
    ImageFileScope(const ImageFileScope &) = delete;
    ImageFileScope &operator=(const ImageFileScope &) = delete;
    ~ImageFileScope() { release(); }
    void release() {
        if (img_) imageDetach(*img_);
        img_ = nullptr;
    }

private:
    RaiImage *img_;
};

int storeInput(const std::string &path, const std::string &imagePath, std::string &msg) {
    InputStream in;
    int r = is_wpb_file(path) ? openCompressed(path, imagePath, in, msg) : openPlain(path, in, msg);
    if (r != 0) return r;
    if (dwl_NorFsProcessData(in.file, in.hidden ? 1 : 0) != 0) {
        msg = "dwl_NorFsProcessData error";
        return -151;
    }
    return 0;
}

// Everything after the image file was created: the map, the bound check, the
// launch and the inputs in list order.
int buildImage(const std::vector<std::string> &raiFiles, OutputImage &out, std::string &msg) {
    uint32_t base = 0, length = 0;
    if (fms_MapOutMemoryExt(base, length) != 0) {
        msg = "fms_MapOutMemoryExt Error";
        return -45;
    }
    if (base < state().raiLowerbound) {
        msg = "CUS size overflow!";
        return -51;
    }
    if (raiFiles.empty()) return 0;
    out.imageAddress = base;
    out.imageSize = length;
    out.imageType = QUORVEL_TYPE_RAI;
    if (dwl_NorFsProcessInit(base, length) != 0) {
        msg = "dwl_NorFsProcessInit error";
        return -67;
    }
    for (size_t i = 0; i < raiFiles.size(); ++i)
        if (int r = storeInput(raiFiles[i], out.imagePath, msg)) return r;
    return 0;
}

} // namespace

int mergeRAI(const std::vector<std::string> &raiFiles, OutputImage &out, uint8_t *e2pArea, const FlashInfo &,
             std::string &msg) {
    State &s = state();
    s.rai = RaiState{};
    if (!fms_E2pSetImage(e2pArea, s.e2pAreaSize)) {
        msg = "Init E2P fail";
        return -32;
    }
    File image = openOutput(out.imagePath, "w+b");
    if (!image) {
        msg = strprintf("open %s fail", out.imagePath.c_str());
        return kRaiImageOpenFailed;
    }
    // Pages the merge has moved past go out to the file as it runs; the rest
    // follows at the end. The file gets what the merge wrote into it, on
    // failure as on success.
    ImageFileScope attached(s.rai.image, image);
    int r = buildImage(raiFiles, out, msg);
    bool saved = imageSave(s.rai.image, image);
    attached.release();
    saved = image.close() && saved;
    if (r == 0 && !saved) {
        msg = strprintf("write %s fail", out.imagePath.c_str());
        return kRaiImageWriteFailed;
    }
    return r;
}

} // namespace qv
