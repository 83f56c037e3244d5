// The code image merge: code section, and with CUS files the CUS area.
#pragma once

#include "codeimage/code_state.h"

#include <quorvel/quorvel.h>

#include <string>
#include <vector>

namespace qv {

int merge_code_cus(CodeState &ci, const std::vector<std::string> &codeFiles, const std::vector<std::string> &dspFiles,
                   const std::string &mcpPath, const std::vector<std::string> &cusFiles, OutputImage &out,
                   const FlashInfo &flashInfo, std::string &msg);

} // namespace qv
