#include "e2p/image_reader.h"

#include "e2p/access.h"

namespace qv {

E2pImageReader::E2pImageReader(std::span<const uint8_t> image, const FlashState &layout) : flash(layout) {
    e2p.e2pAreaSize = uint32_t(image.size());
    fms_E2pSetImage(e2p, const_cast<uint8_t *>(image.data()), uint32_t(image.size()));
}

} // namespace qv
