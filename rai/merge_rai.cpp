#include "rai/merge_rai.h"

#include "input/dewpb.h"
#include "input/inputs.h"
#include "rai/rai_state.h"
#include "e2p/access.h"
#include "rai/image_buffer.h"
#include "rai/partition_map.h"
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
// An input that would expand past `limit` keeps the part that reaches it
// (the log says where the expansion stopped): more records than the area can
// hold, so storing them ends with the area full.
int openCompressed(RaiState &rai, const std::string &path, const std::string &imagePath, uint64_t limit,
                   InputStream &in, std::string &msg) {
    File source(path, "rb");
    if (!source) {
        msg = strprintf("open %s fail", path.c_str());
        return kRaiInputOpen;
    }
    std::string temp = rai.io.scratchPath(get_dir_prefix(imagePath), "rai.tmp");
    File expanded(temp, "wb", rai.io.fs);
    if (!expanded) {
        msg = strprintf("open %s fail", temp.c_str());
        return kRaiTempCreate;
    }
    in.tempPath = temp;
    if (int r = deWpb(rai.io, source, expanded, limit); r != 0 && r != kWpbPastLimit) {
        msg = strprintf("uncompress %s error", path.c_str());
        return kRaiExpandFailed;
    }
    if (!expanded.close()) {
        msg = strprintf("close %s fail", temp.c_str());
        return kRaiTempCloseFailed;
    }
    in.file = File(temp, "rb");
    if (!in.file) {
        msg = strprintf("open %s fail", temp.c_str());
        return kRaiTempReopen;
    }
    return 0;
}

// Opens a FAT input: its kind byte names the file system, its stream starts
// after the 16-byte header.
int openPlain(RaiState &rai, const std::string &path, InputStream &in, std::string &msg) {
    in.file = File(path, "rb");
    if (!in.file) {
        msg = strprintf("open %s fail", path.c_str());
        return kRaiFatOpen;
    }
    int kind = file_kind_byte(in.file);
    if (kind == kKindUserFat) {
        logf(rai.io.log, kName, "Start writing user fat: %s", path.c_str());
    } else if (kind == kKindHiddenFat) {
        logf(rai.io.log, kName, "Start writing hidden fat: %s", path.c_str());
        in.hidden = true;
    } else {
        msg = strprintf("%s: unknown file type", path.c_str());
        return kRaiUnknownKind;
    }
    in.file.seek(kFatHeaderSize);
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

int storeInput(RaiState &rai, const std::string &path, const std::string &imagePath, uint64_t limit,
               std::string &msg) {
    InputStream in;
    int r = is_wpb_file(path) ? openCompressed(rai, path, imagePath, limit, in, msg) : openPlain(rai, path, in, msg);
    if (r != 0) return r;
    if (dwl_NorFsProcessData(rai, in.file, in.hidden ? 1 : 0) != 0) {
        msg = "dwl_NorFsProcessData error";
        return kRaiStoreFailed;
    }
    return 0;
}

// The most bytes of download stream an area of `length` bytes can take: every
// stored sector takes at least its 512 bytes of the area, so a stream of one
// record more than length / 512 cannot be stored whole.
uint64_t streamLimit(uint32_t length) { return (uint64_t(length) / kFsSectorSize + 1) * kFsRecordSize; }

// The RAI area must lie above the code image: above the CUS area, or above a
// code image without one.
int checkBelowArea(const CodeExtent &code, uint32_t base, std::string &msg) {
    if (base < code.raiLowerbound) {
        msg = "CUS size overflow!";
        return kRaiCusOverflow;
    }
    if (code.codeImageEnd > base) {
        msg = strprintf("code size overflow! %s ends at %#llx, above the RAI base %#x", code.codeImagePath.c_str(),
                        static_cast<unsigned long long>(code.codeImageEnd), base);
        return kRaiCodeOverflow;
    }
    return 0;
}

// Everything after the image file was created: the map, the bound checks, the
// launch and the inputs in list order.
int buildImage(RaiState &rai, const std::vector<std::string> &raiFiles, const CodeExtent &code, OutputImage &out,
               std::string &msg) {
    uint32_t base = 0, length = 0;
    if (fms_MapOutMemoryExt(rai, base, length) != 0) {
        msg = "fms_MapOutMemoryExt Error";
        return kRaiMapFailed;
    }
    if (int r = checkBelowArea(code, base, msg)) return r;
    if (raiFiles.empty()) return 0;
    out.imageAddress = base;
    out.imageSize = length;
    out.imageType = QUORVEL_TYPE_RAI;
    if (dwl_NorFsProcessInit(rai, base, length) != 0) {
        msg = "dwl_NorFsProcessInit error";
        return kRaiLaunchFailed;
    }
    for (size_t i = 0; i < raiFiles.size(); ++i)
        if (int r = storeInput(rai, raiFiles[i], out.imagePath, streamLimit(length), msg)) return r;
    return 0;
}

} // namespace

int mergeRAI(RaiState &rai, const std::vector<std::string> &raiFiles, const CodeExtent &code, OutputImage &out,
             uint8_t *e2pArea, std::string &msg) {
    rai.clear();
    if (!fms_E2pSetImage(rai.e2p, e2pArea, rai.e2p.e2pAreaSize)) {
        msg = "Init E2P fail";
        return kRaiNoE2pArea;
    }
    File image = rai.io.openOutput(out.imagePath, "w+b");
    if (!image) {
        msg = strprintf("open %s fail", out.imagePath.c_str());
        return kRaiImageOpenFailed;
    }
    // Pages the merge has moved past go out to the file as it runs; the rest
    // follows at the end. The file gets what the merge wrote into it, on
    // failure as on success.
    ImageFileScope attached(rai.image, image);
    int r = buildImage(rai, raiFiles, code, out, msg);
    bool saved = imageSave(rai.image, image);
    attached.release();
    saved = image.close() && saved;
    if (r == 0 && !saved) {
        msg = strprintf("write %s fail", out.imagePath.c_str());
        return kRaiImageWriteFailed;
    }
    return r;
}

} // namespace qv
