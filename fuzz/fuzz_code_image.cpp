// Code images as inspect and the release report read them: any bytes, the
// code section, its closing records and the CUS record chain walked.
#include "codeimage/code_image_read.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::span<const uint8_t> file(data, size);
    if (qv::looksLikeCodeImage(file)) {
        const qv::CodeImageContents c = qv::readCodeImage(file);
        for (const qv::CusRecord &r : c.records) (void)qv::cusRecordKind(r.ident);
    }
    (void)qv::readCodeImage(file); // also without the recognition inspect --kind code skips
    return 0;
}
