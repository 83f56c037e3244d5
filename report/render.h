// The release report as one self-contained HTML page: no scripts, fonts or
// pictures from elsewhere, a little inline CSS and SVG.
#pragma once

#include "report/model.h"

#include <string>

namespace qvcli {

std::string renderPage(const ReleaseModel &m);

// The parts of the page.
std::string renderMargins(const ReleaseModel &m); // margins, warnings, problems
std::string renderInputs(const ReleaseModel &m);
std::string renderOutputs(const ReleaseModel &m);
std::string renderFlashInfo(const ReleaseModel &m);
std::string renderDetails(const ReleaseModel &m); // folded by default

} // namespace qvcli
