// The flash map of a release: the whole flash to scale with its sector grid
// and every area on it, and zoomed strips of the RAI and CUS areas when they
// are too thin to see at full scale.
#pragma once

#include "report/model.h"
#include "report/svg.h"

#include <string>

namespace qvcli {

std::string renderFlashMap(const ReleaseModel &m);

// One rectangle per RAI sector, classed by its state, with its fill level.
std::string raiSectorRects(const ReleaseModel &m, const Scale &s, double y, double h);
// "CUSF", each CUS record by its kind, and the closing fill.
std::string cusRecordRects(const ReleaseModel &m, const Scale &s, double y, double h);
// Areas narrower than this at full scale get a zoomed strip.
inline constexpr double kThinCusPixels = 40;
// The zoomed strips; empty when the area is wide enough at full scale.
std::string renderRaiStrip(const ReleaseModel &m, double fullScalePixels);
std::string renderCusStrip(const ReleaseModel &m, double fullScalePixels);

} // namespace qvcli
