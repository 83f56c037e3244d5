// The page's inline style sheet.
#pragma once

namespace qvcli {

const char *pageStyle();

} // namespace qvcli
