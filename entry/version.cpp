// The library's version, given by the build from the project's version.
#include <quorvel/quorvel.h>

const char *quorvel_version(void) { return QUORVEL_VERSION; }
