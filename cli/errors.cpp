#include "cli/errors.h"

#include <cstdio>

namespace qvcli {

int reportInputError(const InputError &e) {
    std::fprintf(stderr, "error: %s\n", e.what());
    return kExitFailed;
}

int reportUsageError(const UsageError &e) {
    std::fprintf(stderr, "error: %s\n", e.what());
    return kExitUsage;
}

} // namespace qvcli
