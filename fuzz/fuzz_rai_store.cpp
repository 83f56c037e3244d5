// RAI images as inspect and the release report read them: the first byte
// gives the sector size (2^(6 + its low 4 bits)) and the layout (bit 4), the
// rest is the image; the item store is read and its FAT sectors gathered.
#include "rai/store_read.h"

#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    const std::span<const uint8_t> image(data + 1, size - 1);
    qv::RaiAreaLayout layout;
    layout.base = 0x04370000;
    layout.sectorSize = uint32_t(1) << (6 + (data[0] & 15));
    layout.interleaved = (data[0] & 16) != 0;
    (void)qv::looksLikeRaiImage(image);
    qv::RaiStoreContents store;
    if (!qv::readRaiStore(image, layout, store)) (void)qv::fatInputsOf(store);
    return 0;
}
