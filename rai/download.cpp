#include "rai/download.h"

#include "driver/log.h"
#include "rai/launch.h"
#include "rai/store.h"

namespace qv {

int dwl_NorFsProcessInit(uint32_t base, uint32_t length) {
    constexpr const char *kName = "dwl_NorFsProcessInit";
    logf(kName, "Try to launch RAI");
    int r = fms_MapLaunchService(base, length);
    if (r != 0) {
        logf(kName, "Launch RAI err %#x", uint32_t(r));
        return kDwlLaunchFailed;
    }
    logf(kName, "RAI launched");
    return 0;
}

int dwl_NorFsProcessData(File &stream, uint32_t hidden) {
    uint32_t idBase = (hidden & 0xFF) != 0 ? kHiddenFatIdBase : kUserFatIdBase;
    uint8_t record[kFsRecordSize];
    while (stream.read(record, sizeof record) == sizeof record) {
        uint32_t number = uint32_t(record[0]) | uint32_t(record[1]) << 8 | uint32_t(record[2]) << 16 |
                          uint32_t(record[3]) << 24;
        int r = dev_nor_write_sectors(number, 1, record + 4, idBase);
        if (r != 1) {
            logf("dwl_NorFsProcessData", "write nor %#x err %d", number, r);
            return kDwlWriteFailed;
        }
    }
    return 0;
}

int dev_nor_write_sectors(uint32_t first, uint32_t count, const uint8_t *data, uint32_t idBase) {
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t id = idBase + first + i;
        if (fms_rai_write(id, kFsSectorSize, data + uint64_t(kFsSectorSize) * i) == 0) {
            logf("dev_nor_write_sectors", "write %#x failed", id);
            return kDevWriteFailed;
        }
    }
    return 1;
}

} // namespace qv
