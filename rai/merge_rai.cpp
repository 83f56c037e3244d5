#include "rai/merge_rai.h"

#include "input/dewpb.h"
#include "input/inputs.h"
#include "rai/rai_state.h"
#include "e2p/access.h"
#include "rai/image_buffer.h"
#include "rai/partition_map.h"
#include "rai/download.h"

#include "base/cause.h"
#include "flash/geometry.h"

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

// What a failed expansion of a compressed input says about the input.
void explainExpansion(Cause &why, int r) {
    switch (r) {
    case kWpbNoMagic: why.explain("no compressed-input magic 0x5A57 at offset 16"); break;
    case kWpbInflateFailed: why.explain("its zlib stream from offset 144 is corrupt"); break;
    case kWpbDataAfterStream: why.explain("data follows the end of its zlib stream"); break;
    case kWpbCorruptEnd: why.explain("its zlib stream is cut short or inconsistent"); break;
    default: why.explain("its expansion could not be written to the temporary file next to the RAI image"); break;
    }
}

// Expands a compressed input into "<image folder>rai.tmp" (a unique name with
// safe outputs) and opens that as a user FAT stream from its first byte.
// An input that would expand past `limit` keeps the part that reaches it
// (the log says where the expansion stopped): more records than the area can
// hold, so storing them ends with the area full.
int openCompressed(RaiState &rai, const std::string &path, const std::string &imagePath, uint64_t limit,
                   InputStream &in, std::string &msg) {
    Cause &why = rai.io.cause;
    File source(path, "rb");
    if (!source) {
        why.explain("cannot be opened: %s", systemReason().c_str());
        msg = strprintf("open %s fail", path.c_str());
        return kRaiInputOpen;
    }
    std::string temp = rai.io.scratchPath(get_dir_prefix(imagePath), "rai.tmp");
    File expanded(temp, "wb", rai.io.fs);
    if (!expanded) {
        why.explain("its expansion cannot go to %s: %s", temp.c_str(), systemReason().c_str());
        msg = strprintf("open %s fail", temp.c_str());
        return kRaiTempCreate;
    }
    in.tempPath = temp;
    if (int r = deWpb(rai.io, source, expanded, limit); r != 0 && r != kWpbPastLimit) {
        if (r != kErrCancelled) explainExpansion(why, r);
        msg = strprintf("uncompress %s error", path.c_str());
        return kRaiExpandFailed;
    }
    if (!expanded.close()) {
        why.explain("its expansion cannot be written to %s: %s", temp.c_str(), systemReason().c_str());
        msg = strprintf("close %s fail", temp.c_str());
        return kRaiTempCloseFailed;
    }
    in.file = File(temp, "rb");
    if (!in.file) {
        why.explain("its expansion in %s cannot be opened again: %s", temp.c_str(), systemReason().c_str());
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
        rai.io.cause.explain("cannot be opened: %s", systemReason().c_str());
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
        if (kind < 0)
            rai.io.cause.explain("ends at %lld bytes, before its kind byte at offset 9",
                                 static_cast<long long>(in.file.length()));
        else
            rai.io.cause.explain("kind byte %d at offset 9, expected 22 (user FAT) or 23 (hidden FAT)", kind);
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
    if (r == 0 && dwl_NorFsProcessData(rai, in.file, in.hidden ? 1 : 0) != 0) {
        msg = "dwl_NorFsProcessData error";
        r = kRaiStoreFailed;
    }
    rai.io.cause.name(path); // the input as the host named it, never its expansion
    return r;
}

// The most bytes of download stream an area of `length` bytes can take: every
// stored sector takes at least its 512 bytes of the area, so a stream of one
// record more than length / 512 cannot be stored whole.
uint64_t streamLimit(uint32_t length) { return (uint64_t(length) / kFsSectorSize + 1) * kFsRecordSize; }

// The RAI area must lie above the code image: above the CUS area, or above a
// code image without one.
int checkBelowArea(Cause &why, const CodeExtent &code, uint32_t base, std::string &msg) {
    if (base < code.raiLowerbound) {
        if (code.raiLowerbound == uint32_t(kNoSectorStart))
            why.explain("the CUS area of the code image reaches the last sector of the flash, the RAI area starts at "
                        "0x%08x",
                        base);
        else
            why.explain("the CUS area of the code image reaches 0x%08x (RAI_lowerbound), the RAI area starts below "
                        "it at 0x%08x",
                        code.raiLowerbound, base);
        msg = "CUS size overflow!";
        return kRaiCusOverflow;
    }
    if (code.codeImageEnd > base) {
        why.explain("ends at 0x%08llx, the RAI area starts below it at 0x%08x",
                    static_cast<unsigned long long>(code.codeImageEnd), base);
        why.name(code.codeImagePath);
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
    if (int r = checkBelowArea(rai.io.cause, code, base, msg)) return r;
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
        rai.io.cause.explain("empty; the partition map reads the trace and RAI sizes from it");
        rai.io.cause.name(kE2pAreaName);
        msg = "Init E2P fail";
        return kRaiNoE2pArea;
    }
    File image = rai.io.openOutput(out.imagePath, "w+b");
    if (!image) {
        rai.io.cause.explain("cannot be created: %s", systemReason().c_str());
        rai.io.cause.name(out.imagePath);
        msg = strprintf("open %s fail", out.imagePath.c_str());
        return kRaiImageOpenFailed;
    }
    // Pages the merge has moved past go out to the file as it runs; the rest
    // follows at the end. The file gets what the merge wrote into it, on
    // failure as on success.
    ImageFileScope attached(rai.image, image);
    int r = buildImage(rai, raiFiles, code, out, msg);
    bool saved = imageSave(rai.image, image);
    std::string reason = saved ? "" : systemReason();
    attached.release();
    if (!image.close() && saved) saved = false, reason = systemReason();
    if (r == 0 && !saved) {
        rai.io.cause.explain("cannot be written: %s", reason.c_str());
        rai.io.cause.name(out.imagePath);
        msg = strprintf("write %s fail", out.imagePath.c_str());
        return kRaiImageWriteFailed;
    }
    return r;
}

} // namespace qv
