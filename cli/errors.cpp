#include "cli/errors.h"

#include "cli/json_fields.h"

#include <cstdio>

namespace qvcli {

void printJsonError(long code, const std::string &message) {
    std::printf("%s\n", dumpJson(Json{{"error", {{"code", code}, {"message", message}}}}).c_str());
}

int reportError(int status, const std::string &message, bool json) {
    std::fprintf(stderr, "error: %s\n", message.c_str());
    if (json) printJsonError(status, message);
    return status;
}

} // namespace qvcli
