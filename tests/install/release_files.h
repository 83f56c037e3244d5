/* The example release's files, in the order a merge takes them; shared by
 * the C and the C++ host. */
#ifndef QUORVEL_TEST_RELEASE_FILES_H
#define QUORVEL_TEST_RELEASE_FILES_H

static const char *const kImageFiles[] = {"firmware.bin", "user.fat", "hidden.fat"};
static const char *const kPatchFiles[] = {"dsp.pat", "mcp.bin"};
static const char *const kCusFiles[] = {"logo.cus", "sens.cus"};
static const char *const kE2pFiles[] = {"params.e2p", "extra.e2p"};
static const char *const kOutputFiles[] = {"code.img", "e2p.img", "rai.img"};

#define COUNT_OF(a) (sizeof(a) / sizeof((a)[0]))

#endif
