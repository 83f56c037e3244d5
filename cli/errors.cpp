#include "cli/errors.h"

#include "cli/json_fields.h"

#include <cstdio>

namespace qvcli {

void printJsonError(long code, const std::string &message, const std::string &cause) {
    Json error = {{"code", code}, {"message", message}};
    if (!cause.empty()) error["cause"] = cause;
    std::printf("%s\n", dumpJson(Json{{"error", error}}).c_str());
}

void printCause(const std::string &cause) {
    if (!cause.empty()) std::fprintf(stderr, "cause: %s\n", cause.c_str());
}

int reportError(int status, const std::string &message, bool json, const std::string &cause) {
    std::fprintf(stderr, "error: %s\n", message.c_str());
    printCause(cause);
    if (json) printJsonError(status, message, cause);
    return status;
}

} // namespace qvcli
