// What `quorvel diff` prints: the comparison of two releases as text and as
// JSON.
#pragma once

#include "cli/json_fields.h"
#include "report/diff.h"

namespace qvcli {

void printDiff(const ReleaseDiff &d);
Json diffJson(const ReleaseDiff &d);

} // namespace qvcli
