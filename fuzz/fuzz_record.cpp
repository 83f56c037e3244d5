// Release records as verify and export read them: any text as the record's
// JSON, every field checked; a record read is written and read back the same.
#include "cli/errors.h"
#include "cli/record.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);
    qvcli::ReleaseRecord r;
    try {
        r = qvcli::recordFromJson(qvcli::parseJson(text, "fuzz"), "fuzz");
    } catch (const qvcli::InputError &) {
        return 0;
    } catch (const qvcli::UsageError &) {
        return 0;
    }
    const qvcli::Json j = qvcli::recordToJson(r);
    if (qvcli::recordToJson(qvcli::recordFromJson(j, "again")) != j) std::abort();
    return 0;
}
