#include "rai/merge_rai.h"

namespace qv {

int mergeRAI(const std::vector<std::string> &, OutputImage &, uint8_t *, const FlashInfo &, std::string &) {
    return 0;
}

} // namespace qv
