// The E2P merge: the host's journal area is replayed onto a copy of the base
// image, the description files and the queued CUS parameters are written into
// that working image, and a new journal of every changed 16-byte block is
// written to the E2P image file. The merged content goes back into the host's
// journal area, where the RAI merge reads its parameters.
#include "e2p/merge_e2p.h"

#include "base/file.h"
#include "base/log.h"
#include "e2p/access.h"
#include "base/results.h"
#include "e2p/e2p_load.h"
#include "e2p/journal.h"

#include <algorithm>
#include <new>

namespace qv {
namespace {

constexpr const char *kName = "mergeE2P";

// The current E2P image may point into this merge's buffers: forget it on
// every way out.
struct ImageScope {
    E2pState &e2p;
    ~ImageScope() { fms_E2pClearImage(e2p); }
};

void useImage(E2pState &e2p, E2pImageRef image) {
    fms_E2pClearImage(e2p);
    fms_E2pSetImage(e2p, image.data, image.size);
}

int fail(std::string &msg, int code, std::string text) {
    msg = std::move(text);
    return code;
}

// Refuses host buffers the merge cannot read or write safely.
int checkBuffers(Cause &why, const uint8_t *base, uint32_t baseSize, const uint8_t *area, uint32_t areaSize,
                 std::string &msg) {
    if (!base && baseSize > 0) {
        why.explain("no buffer given, but a size of %u bytes", baseSize);
        why.name(kE2pBaseName);
        return fail(msg, kE2pBaseMissing, strprintf("E2P base image missing: null buffer of %u bytes", baseSize));
    }
    if (!area && areaSize > 0) {
        why.explain("no buffer given, but a size of %u bytes", areaSize);
        why.name(kE2pAreaName);
        return fail(msg, kE2pAreaMissing, strprintf("E2P area missing: null buffer of %u bytes", areaSize));
    }
    if (baseSize < areaSize) {
        why.explain("%u bytes, fewer than the %u bytes of the E2P area it is the base of", baseSize, areaSize);
        why.name(kE2pBaseName);
        return fail(msg, kE2pBaseTooSmall,
                    strprintf("E2P base image of %u bytes is smaller than the E2P area of %u bytes", baseSize,
                              areaSize));
    }
    return 0;
}

// Why the queued CUS parameters do not fit the E2P area; the base image
// tells how large the area was meant to be.
void explainPending(E2pState &e2p, uint32_t baseSize) {
    uint32_t low = UINT32_MAX, high = 0;
    for (const PendingParam &p : e2p.pending) {
        low = std::min(low, p.paramAddr);
        high = std::max(high, p.paramAddr + p.paramLen - 1);
    }
    const std::string size = e2p.e2pAreaSize == 0 ? "empty" : strprintf("%u bytes", e2p.e2pAreaSize);
    const std::string base =
        baseSize > e2p.e2pAreaSize ? strprintf(", the E2P base image holds %u bytes", baseSize) : "";
    e2p.io.cause.explain("%s; the CUS size and base are written at E2P addresses %u to %u%s", size.c_str(), low, high,
                         base.c_str());
    e2p.io.cause.name(kE2pAreaName);
}

// Writes the queued CUS parameters, newest first.
int writePending(E2pState &e2p, uint32_t baseSize, std::string &msg) {
    for (const PendingParam &p : e2p.pending) {
        logf(e2p.io.log, kName, "fms_E2pWrite(%d, %d, 0x%x)", int32_t(p.paramAddr), int(p.paramLen), p.paramValue);
        const uint8_t bytes[4] = {uint8_t(p.paramValue), uint8_t(p.paramValue >> 8), uint8_t(p.paramValue >> 16),
                                  uint8_t(p.paramValue >> 24)};
        if (p.paramLen > sizeof bytes || fms_E2pWrite(e2p, p.paramAddr, p.paramLen, bytes) != 0) {
            explainPending(e2p, baseSize);
            return fail(msg, kE2pPendingFailed, "Update CUS size and base in E2P error");
        }
    }
    return 0;
}

// Turns a journal that could not describe every change into a failure.
int checkJournal(Cause &why, const E2pJournalBuild &j, uint32_t areaSize, const std::string &path,
                 std::string &msg) {
    if (j.unaddressable > 0) {
        why.explain("%u of the changed 16-byte blocks lie at offset 16384 or above, which no journal record can name",
                    j.unaddressable);
        why.name(kE2pAreaName);
        return fail(msg, kE2pJournalUnaddressable,
                    strprintf("journal of %s: %u changed blocks at offset 16384 or above did not fit the record "
                              "address",
                              path.c_str(), j.unaddressable));
    }
    if (j.unfit > 0) {
        why.explain("%u bytes hold %u journal records, the merge changed %u 16-byte blocks of the E2P base", areaSize,
                    j.records, j.changed);
        why.name(kE2pAreaName);
        return fail(msg, kE2pJournalFull,
                    strprintf("journal of %s full: %u of %u changed blocks did not fit (room for %u records)",
                              path.c_str(), j.unfit, j.changed, j.records));
    }
    return 0;
}

} // namespace

int mergeE2P(E2pState &e2p, uint8_t *e2pBase, uint32_t e2pBaseSize, uint8_t *e2pArea, uint32_t e2pAreaSize,
             const std::vector<std::string> &e2pFiles, OutputImage &out, uint32_t cusFileCount, int32_t eraseAll,
             std::string &msg) {
    if (int r = checkBuffers(e2p.io.cause, e2pBase, e2pBaseSize, e2pArea, e2pAreaSize, msg)) return r;
    ImageScope scope{e2p};
    std::vector<uint8_t> working, output;
    try {
        working.resize(e2pBaseSize);
        output.resize(e2pAreaSize);
    } catch (const std::bad_alloc &) {
        return fail(msg, kE2pNoMemory,
                    strprintf("cannot allocate the E2P working image (%u bytes) and output buffer (%u bytes)",
                              e2pBaseSize, e2pAreaSize));
    }
    const E2pImageRef base{e2pBase, e2pBaseSize}, area{e2pArea, e2pAreaSize};
    const E2pImageRef work{working.data(), e2pBaseSize}, journal{output.data(), e2pAreaSize};

    if (eraseAll) {
        logf(e2p.io.log, kName, "Erase_ALL is TRUE");
        std::fill_n(e2pBase, e2pBaseSize, uint8_t(0xFF));
        std::fill_n(e2pArea, e2pAreaSize, uint8_t(0xFF));
    }
    std::copy_n(e2pBase, e2pBaseSize, working.data());
    fms_E2pReplay(e2p, area, work);

    if (cusFileCount == 0 && e2pFiles.empty()) {
        std::copy_n(working.data(), e2pAreaSize, e2pArea);
        return 0;
    }

    File file = e2p.io.openOutput(out.imagePath, "wb");
    if (!file) {
        e2p.io.cause.explain("cannot be created: %s", systemReason().c_str());
        e2p.io.cause.name(out.imagePath);
        return fail(msg, kE2pOpenOutputFailed, strprintf("open %s failed", out.imagePath.c_str()));
    }
    out.imageType = QUORVEL_TYPE_E2P;
    out.imageAddress = 0;
    out.imageSize = e2pAreaSize;

    useImage(e2p, work);
    for (const std::string &path : e2pFiles) {
        std::string error;
        int r = DownloadE2PFile4Nor(e2p, path, working.data(), 0, &error); // names `path` in the cause
        if (r == kE2pDownloadFailed) return fail(msg, r, "DownloadE2PFile4Nor() error");
        if (r < 0) return fail(msg, r, error);
    }
    if (int r = writePending(e2p, e2pBaseSize, msg)) return r;

    fms_E2pClearImage(e2p);
    std::fill(output.begin(), output.end(), uint8_t(0xFF));
    useImage(e2p, journal);
    fms_E2pSetEndMark(e2p, e2pAreaSize);
    if (int r = checkJournal(e2p.io.cause, fms_E2pBuildJournal(e2p, work, base, journal), e2pAreaSize,
                             out.imagePath, msg))
        return r;

    file.write(output.data(), output.size());
    if (!file.close()) {
        e2p.io.cause.explain("cannot be written: %s", systemReason().c_str());
        e2p.io.cause.name(out.imagePath);
        return fail(msg, kE2pWriteOutputFailed, strprintf("write %s failed", out.imagePath.c_str()));
    }

    std::copy_n(working.data(), e2pAreaSize, e2pArea);
    return 0;
}

} // namespace qv
