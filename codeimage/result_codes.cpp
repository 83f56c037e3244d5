#include "codeimage/result_codes.h"

namespace qv {

const char *refusalFormat(int code) {
    switch (code) {
    case kErrDspDescriptorPastEnd: return "DSP descriptor of %s runs past the end of the file";
    case kErrDspDescriptorShort: return "DSP descriptor of %s is too short";
    case kErrDspEntryOutside: return "a patch entry of %s lies outside its descriptor";
    case kErrDspIdMapOutside: return "id map of %s lies outside its descriptor";
    case kErrDspPatchPastEnd: return "patch data of %s runs past the end of the file";
    case kErrMcpTableSize: return "mcp table size of %s is too small";
    case kErrMcpDidrOffset: return "offset_DIDR of %s lies outside its table";
    case kErrMcpTooLarge: return "mcp tables of %s are too large for one record";
    case kErrRecordPastFlash: return "the record of %s would reach past the end of the flash";
    case kErrMcpReread: return "mcp tables of %s read differently while their record was written";
    default: return nullptr;
    }
}

} // namespace qv
