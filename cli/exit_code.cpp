#include "cli/commands.h"

namespace qvcli {
namespace {
int g_exitCode = 0;
}
int exitCode() { return g_exitCode; }
void setExitCode(int code) { g_exitCode = code; }
} // namespace qvcli
