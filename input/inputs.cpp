#include "input/inputs.h"

#include "base/bytes.h"
#include "base/log.h"

namespace qv {

std::string get_file_ext(const std::string &path) {
    size_t dot = path.rfind('.');
    return dot == std::string::npos ? path : path.substr(dot + 1);
}

int file_kind_byte(File &f) {
    uint8_t b;
    if (!f.seek(kKindByteOffset) || f.read(&b, 1) != 1) return -1;
    return b;
}

bool wpb_read_header(File &f, uint32_t *typeCode) {
    uint8_t hdr[128];
    size_t n = f.seek(16) ? f.read(hdr, sizeof hdr) : 0;
    if (n < 2 || le16(hdr) != kWpbMagic) return false;
    if (typeCode) {
        // A header cut short before offset 48 has no RAI type code.
        *typeCode = n >= 32 ? le32(&hdr[28]) : 0;
    }
    f.seek(kWpbHeaderSize);
    return true;
}

bool is_wpb_file(const std::string &path, uint32_t *typeCode) {
    if (get_file_ext(path) != "wpb") return false;
    File f(path, "rb");
    return f && wpb_read_header(f, typeCode);
}

namespace {
int kindOf(const std::string &path) {
    File f(path, "rb");
    return f ? file_kind_byte(f) : -1;
}
} // namespace

bool is_fat_file(const std::string &path) {
    if (get_file_ext(path) != "fat") return false;
    int kind = kindOf(path);
    return kind == kKindUserFat || kind == kKindHiddenFat;
}

bool is_dsp_patch_file(const std::string &path) {
    return get_file_ext(path) == "pat" && kindOf(path) == kKindDspPatch;
}

bool is_mcp_file(const std::string &path) { return kindOf(path) == kKindMcp; }

void sortInputs(MergeLog &log, const std::vector<std::string> &imageFiles, const std::vector<std::string> &patchFiles,
                SortedInputs &out) {
    for (const std::string &path : imageFiles) {
        uint32_t type = 0;
        if ((is_wpb_file(path, &type) && type == kWpbTypeRai) || is_fat_file(path)) {
            out.raiFiles.push_back(path);
            logf(log, "quorvel", "got rai, file name = %s", path.c_str());
        } else {
            out.codeFiles.push_back(path);
            logf(log, "quorvel", "got code, file name = %s", path.c_str());
        }
    }
    for (const std::string &path : patchFiles) {
        if (is_dsp_patch_file(path)) {
            out.dspFiles.push_back(path);
            logf(log, "quorvel", "got dsp, file name = %s", path.c_str());
        } else if (is_mcp_file(path)) {
            out.mcpPath = path;
            logf(log, "quorvel", "got mcp, file name = %s", path.c_str());
        }
    }
}

} // namespace qv
