// FlashInfo records as inspect, flashinfo and the release report read them:
// any bytes, decoded field by field when they hold their fields, their
// problems listed and their regions walked.
#include "flash/flash_desc.h"
#include "flash/geometry.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    (void)qv::looksLikeFlashRecord(bytes);
    if (qv::flashRecordShortfall(bytes)) return 0;
    const qv::FlashRecord r = qv::flashRecordFrom(bytes);
    if (qv::flashRecordProblems(r).empty()) (void)qv::regionRanges(r.state());
    const qv::FlashRecord again = qv::flashRecordOf(r.desc); // encoding what was decoded
    (void)qv::flashRecordProblems(again);
    return 0;
}
