#include "e2p/e2p_load.h"

#include "e2p/access.h"
#include "e2p/e2p_file.h"

#include <array>

namespace qv {
namespace {

bool acceptedClass(uint16_t w) {
    const uint16_t cls = w & 0xE000;
    return cls == 0x4000 || cls == 0x8000;
}

} // namespace

int DownloadE2PFile4Nor(E2pState &e2p, std::string path, uint8_t * /*image*/, int flag, std::string *error) {
    CE2pFile table(e2p.io.fs);
    if (int r = table.Load(path, flag); r < 0) {
        if (error) *error = table.errorMessage();
        return r;
    }
    std::array<uint8_t, kE2pRecordBuffer> record;
    for (int i = 0; i < table.GetObjCount(); ++i) {
        record.fill(0);
        int length = 0;
        if (table.GetObjRecord(i, record.data(), record.size(), &length) != 1) return 0;
        const uint16_t w = uint16_t(record[2] | record[3] << 8);
        if (!acceptedClass(w)) return 0;
        const uint16_t count = uint16_t(record[4] | record[5] << 8);
        fms_E2pWrite(e2p, w & 0x1FFF, count, record.data() + 7); // refused: the object is skipped
    }
    return 1;
}

} // namespace qv
