// E2P images as inspect and the release report read them: any bytes as the
// image (the first byte chooses the flat or interleaved layout), the journal
// walked and replayed onto an 8 KB base, the end mark looked for.
#include "e2p/image_reader.h"
#include "e2p/journal_read.h"
#include "flash/flash_desc.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 3) return 0;
    const std::vector<uint8_t> image(data + 1, data + size), base(0x2000, 0xFF);
    const bool interleaved = data[0] & 1;
    (void)qv::looksLikeE2pImage(image);
    (void)qv::e2pHasEndMark(image, interleaved);
    qv::E2pImageReader reader(image, qv::layoutOnly(interleaved));
    (void)qv::readE2pJournal(reader.e2p);
    (void)qv::replayE2pJournal(reader.e2p, base);
    return 0;
}
