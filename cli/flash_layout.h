// The whole flash of a release as the device reads it: each image of the
// record at its flash address, erased bytes (0xFF) everywhere else, read in
// blocks straight from the image files (never the whole flash in memory).
//
// An image file is placed byte for byte, except the E2P and RAI images of an
// interleaved flash, whose files hold every 16 data bytes in the first half of
// a 32-byte slot: flash offset o of such an image is file byte
// (o / 16) * 32 + o % 16 (the library's own mapping), the second halves are
// not the flash's. See docs/formats.md, "Programmer file".
#pragma once

#include "base/file.h"
#include "base/page_block.h"
#include "cli/record.h"
#include "report/model.h"

#include <cstdint>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qvcli {

struct PlacedImage {
    std::string image; // "code", "e2p" or "rai"
    std::string path;  // the image file as the command opens it
    uint32_t address = 0;
    uint64_t length = 0;       // flash bytes it covers
    uint64_t fileSize = 0;
    bool interleaved = false;  // the file holds the data in the first halves of 32-byte slots
    // The interleaved RAI image: the item store uses the first half of each
    // sector of this size; the second halves hold no data of the image
    // (erased), whatever the file's gaps hold there.
    uint32_t storeSector = 0;
    uint64_t end() const { return uint64_t(address) + length; }
};

struct FlashLayout {
    uint32_t base = 0;  // FlashInfo baseAddress: the programmer file starts here
    uint64_t end = 0;   // base + the flash size
    bool interleaved = false;
    std::vector<PlacedImage> images; // in address order, none overlapping
};

// The layout of a record's produced images. Throws InputError when the merge
// failed, an image lies outside the flash or two of them overlap.
FlashLayout flashLayoutOf(const ReleaseRecord &r);

// The error of an image file that cannot be read as far as its record says:
// its cause names the file and what is wrong (shorter than recorded, or the
// system's reason).
InputError imageUnreadable(const PlacedImage &p);

// Reads the flash the layout describes.
class FlashContent {
public:
    // Opens every image file; throws InputError naming one that cannot be read.
    explicit FlashContent(const FlashLayout &layout);
    // The bytes of [address, address + n), within the flash.
    void read(uint64_t address, uint8_t *dst, size_t n);
    const FlashLayout &layout() const { return layout_; }
    // The open file of image i of the layout.
    qv::File &file(size_t i) { return files_[i]; }

private:
    void readImage(size_t i, uint64_t offset, uint8_t *dst, size_t n);
    FlashLayout layout_;
    std::vector<qv::File> files_;
    std::optional<qv::PageBlock> slots_; // interleaved reads: the file bytes before their second halves go
};

// The size and digest of each image file of a layout, each taken on a thread
// of its own while the caller reads the flash from them: the largest image's
// digest, not the reading, then sets the time.
class ImageFacts {
public:
    explicit ImageFacts(const FlashLayout &layout);
    // As fileFacts(path): an image file's from the thread (waiting for it to
    // finish), any other file's read now.
    FileFacts operator()(const std::string &path);

private:
    // A caller that leaves early (an error) waits for the threads to end.
    std::vector<std::pair<std::string, std::shared_future<FileFacts>>> pending_;
};

} // namespace qvcli
