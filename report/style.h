// The page's inline style sheet.
#pragma once

#include <string>

namespace qvcli {

std::string pageStyle();

} // namespace qvcli
