// FlashInfo records with any geometry: every sector operation on addresses
// taken from the input must answer without undefined behaviour.
#include "support.h"

#include "entry/context.h"
#include "flash/geometry.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < qv::FlashInfo::kMinSize) return 0;
    qvfuzz::Bytes rec = qvfuzz::flashRecord(qvfuzz::Bytes(data, data + qv::FlashInfo::kMinSize));
    qv::MergeContext ctx;
    qv::fms_SetFlashInfo(ctx.flash, rec.data());
    for (size_t i = qv::FlashInfo::kMinSize; i + 8 <= size; i += 8) {
        uint32_t a, b;
        std::memcpy(&a, data + i, 4);
        std::memcpy(&b, data + i + 4, 4);
        qv::fms_GetSectorStart(ctx.flash, a);
        qv::fms_GetPrevSectorStart(ctx.flash, a);
        qv::fms_GetNextSectorStart(ctx.flash, a);
        qv::fms_GetSectorSize(ctx.flash, a);
        qv::fms_GetSectorCount(ctx.flash, a, b & 0xFFFFF);
        qv::fms_GoBackSectors(ctx.flash, a, b & 0xFF);
    }
    return 0;
}
