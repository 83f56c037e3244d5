// The library's text helpers under the names the command and its report use.
#pragma once

#include "base/log.h"
#include "base/text_format.h"

namespace qvcli {

using qv::hex;
using qv::hexBytes;
using qv::identText;
using qv::strprintf;

} // namespace qvcli
