/* quorvel: merges a firmware release into the flash images of a NOR-flash
 * handset. One call builds the code image, the E2P image and the RAI image
 * and writes a text log of every step.
 *
 * Three ways in:
 *   - the C ABI quorvel_merge(), exported from libquorvel.so (quorvel.dll
 *     on Windows), for hosts and other languages;
 *   - the C++ entry quorvel(), with standard containers;
 *   - quorvel_merge_request(), the C ABI for hosts that want safety: outputs
 *     that appear only when the merge succeeded, strict inputs, a cancel
 *     flag, progress reports and a fixed recorded time.
 * All run the same merge. None lets an exception out: a failure is always a
 * negative result code. A call whose output (an image or the log) is one of
 * its inputs, or another of its outputs, is refused before any file is
 * created. Each call keeps its working state to itself, so calls may run
 * concurrently on different threads (with different output files). */
#ifndef QUORVEL_QUORVEL_H
#define QUORVEL_QUORVEL_H

#include <stddef.h>
#include <stdint.h>

/* On Windows the entries come from quorvel.dll (a host that links the
 * static library defines QUORVEL_STATIC; CMake's quorvel::quorvel_static
 * does); elsewhere they are the shared library's only visible symbols. */
#if defined(_WIN32)
#if defined(QUORVEL_BUILDING)
#define QUORVEL_API __declspec(dllexport)
#elif defined(QUORVEL_STATIC)
#define QUORVEL_API
#else
#define QUORVEL_API __declspec(dllimport)
#endif
#elif defined(QUORVEL_BUILDING)
#define QUORVEL_API __attribute__((visibility("default")))
#else
#define QUORVEL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Image type codes reported in quorvel_output.image_type. */
#define QUORVEL_TYPE_CODE 0x1000023u
#define QUORVEL_TYPE_E2P 0x1000025u
#define QUORVEL_TYPE_RAI 0x1000024u

typedef struct quorvel_output {
    const char *image_path;    /* in: output file to create */
    uint32_t    image_type;    /* out */
    uint32_t    image_address; /* out */
    uint32_t    image_size;    /* out */
} quorvel_output;

/* The library's version, "MAJOR.MINOR.PATCH" (for example "0.1.0"): a
 * static string, never NULL. */
QUORVEL_API const char *quorvel_version(void);

/* Runs one merge. Returns 0 on success or a negative result code; on failure
 * `message` (when not NULL and message_size > 0) receives the failure text,
 * cut to fit and always NUL-terminated; on success it is left untouched.
 * flash_info points to the FlashInfo record (see docs/formats.md), or NULL. */
QUORVEL_API int32_t quorvel_merge(const void *flash_info,
                                  quorvel_output outputs[3],
                                  const char *const *image_files, size_t image_count,
                                  const char *const *patch_files, size_t patch_count,
                                  const char *const *cus_files,   size_t cus_count,
                                  uint8_t *e2p_base, uint32_t e2p_base_size,
                                  uint8_t *e2p_area, uint32_t e2p_area_size,
                                  const char *const *e2p_files,   size_t e2p_count,
                                  int32_t reserved1, int32_t erase_all,
                                  char *message, size_t message_size,
                                  const char *log_path, int32_t reserved2);

#define QUORVEL_SAFE_OUTPUTS  0x1u /* outputs appear only when the merge succeeded */
#define QUORVEL_STRICT_INPUTS 0x2u /* every named input must exist, be a regular file and be used */
#define QUORVEL_SYNC_OUTPUTS  0x4u /* flush outputs to the disk before they replace earlier files */
typedef struct quorvel_request {
    uint32_t struct_size;            /* sizeof(quorvel_request); lets the struct grow */
    uint32_t flags;
    const void *flash_info; size_t flash_info_size;  /* refused when too short for its fields */
    const char *const *image_files; size_t image_count;
    const char *const *patch_files; size_t patch_count;
    const char *const *cus_files;   size_t cus_count;
    const char *const *e2p_files;   size_t e2p_count;
    uint8_t *e2p_base; uint32_t e2p_base_size;
    uint8_t *e2p_area; uint32_t e2p_area_size;
    int32_t erase_all;
    const char *log_path;            /* NULL: no log */
    int64_t recorded_time;           /* -1: the code file's last-write time (local time), else seconds since 1970, shown in UTC */
    const volatile int *cancel;      /* NULL, or set non-zero (e.g. from a signal handler) to stop the merge */
    void (*progress)(void *ctx, const char *step, uint64_t done, uint64_t total);
    void *progress_ctx;
    /* Added in 0.2; a record that ends before them (struct_size) is taken as
     * before and gets no cause. */
    char *cause; size_t cause_size;  /* out, may be NULL: why the merge failed */
} quorvel_request;

/* The bytes of a quorvel_request before `cause`: the smallest struct_size
 * the library takes. */
#define QUORVEL_REQUEST_MIN_SIZE offsetof(quorvel_request, cause)

/* Runs one merge as quorvel_merge() does, with the request's flags and
 * controls. Returns 0 or a negative result code; `message` as for
 * quorvel_merge(); `outputs` as for quorvel_merge(), filled only on success
 * with QUORVEL_SAFE_OUTPUTS.
 *   QUORVEL_SAFE_OUTPUTS: each image is written under a unique temporary name
 *     in its own folder and replaces the earlier file only when the whole
 *     merge succeeded; on failure or cancellation every earlier file is
 *     untouched and every temporary removed. The log is written under a
 *     temporary name too and moved to its own name when the call ends,
 *     whether it succeeded or failed, so two calls writing one log leave the
 *     whole log of one of them; logs and messages name the final paths. A
 *     call that would write an image whose entry has no path (NULL or "") is
 *     refused before anything is created: every merge writes the RAI image,
 *     a release with a code file or a CUS file the code image, one with a
 *     CUS file or an E2P description file the E2P image.
 *   QUORVEL_STRICT_INPUTS: before any output is touched, every input must
 *     exist, be a regular file, be readable, be recognised, show no other
 *     kind of input than its list takes, be whole (FAT images), be built for
 *     the FlashInfo record's chip and memory parts (DSP patch, MCP file) and
 *     be merged; the FlashInfo record must have no faults, the E2P area must
 *     be erased or a sound journal and the E2P base must not be a journal.
 *   QUORVEL_SYNC_OUTPUTS: the images and their folders are flushed to the
 *     disk before the call returns (before they replace earlier files).
 * On failure `cause` (when not NULL and cause_size > 0, cut to fit and always
 * NUL-terminated) receives why, in the user's terms, beside the system's
 * message: the input as it was named, where in it (offset, record, line,
 * field) and what was expected and found, e.g. "release/logo.cus: record 3
 * at offset 0x5dc claims 2400 bytes, the file ends at 1500"; a failure of
 * the system carries its reason ("Permission denied"). A cause about one of
 * the host's buffers names it by its field: "flash_info: ...",
 * "e2p_base: ...", "e2p_area: ...". It is "" when no cause is known, and
 * untouched on success.
 * A request with struct_size below QUORVEL_REQUEST_MIN_SIZE, an unknown flag,
 * a FlashInfo record shorter than its fields (flash_info_size), a NULL list
 * with entries, or a recorded_time below -1 is refused before anything is
 * touched. `cancel` is read between the blocks of every long loop; a call it
 * stops returns its own code. `progress` (may be NULL) is called with the
 * step at the start of each merge step (done and total 0) and at least every
 * 16 MB of long copies and expansions (bytes done, and the total when known,
 * else 0). */
QUORVEL_API int32_t quorvel_merge_request(const quorvel_request *request, quorvel_output outputs[3],
                                          char *message, size_t message_size);

#ifdef __cplusplus
} /* extern "C" */

#include <array>
#include <string>
#include <vector>

namespace qv {

/* One output of a merge: the path in, where the image belongs out. */
struct OutputImage {
    std::string imagePath;
    uint32_t imageType = 0;
    uint32_t imageAddress = 0;
    uint32_t imageSize = 0;
};

/* The three outputs, in this order: code image, E2P image, RAI image. */
using MergeOutputs = std::array<OutputImage, 3>;
enum OutputIndex { kCodeOutput = 0, kE2pOutput = 1, kRaiOutput = 2 };

/* Read-only access to a FlashInfo record (little-endian, read in place). The
 * record is the host's; this view neither copies nor owns it. */
class FlashInfo {
public:
    /* Where each field lies: the one table of the record's offsets. The
     * regions are 4 of 4 bytes (shift, then count of sectors). */
    static constexpr size_t kChipIdOffset = 2, kChipSubIdOffset = 4, kOptionsOffset = 6, kSizeIn64KBOffset = 8;
    static constexpr size_t kRegionCountOffset = 11, kRegionsOffset = 12, kRegionSize = 4;
    static constexpr size_t kBaseAddressOffset = 28, kCusOffsetOffset = 32;
    static constexpr size_t kVersionAddrOffset = 36, kVersionAddr1Offset = 40, kMemPartCountOffset = 44;
    static constexpr size_t kMemPartsOffset = 48;
    static constexpr size_t kMemPartSize = 80;
    static constexpr size_t kMemPartDidrOffset = 76; /* within a memory part */
    static constexpr size_t kFlagsOffset = 116;
    static constexpr size_t kMinSize = 120; /* up to and including `flags` */

    explicit FlashInfo(const void *record) : p_(static_cast<const uint8_t *>(record)) {}

    const uint8_t *data() const { return p_; }
    uint16_t chipId() const { return u16(kChipIdOffset); }
    uint16_t chipSubId() const { return u16(kChipSubIdOffset); }
    uint16_t options() const { return u16(kOptionsOffset); }
    uint16_t sizeIn64KB() const { return u16(kSizeIn64KBOffset); }
    uint8_t regionCount() const { return p_[kRegionCountOffset]; }
    uint16_t regionShift(unsigned k) const { return u16(regionOffset(k)); }
    uint16_t regionCountOfSectors(unsigned k) const { return u16(regionOffset(k) + 2); }
    uint32_t baseAddress() const { return u32(kBaseAddressOffset); }
    uint32_t cusOffset() const { return u32(kCusOffsetOffset); }
    uint32_t versionAddr() const { return u32(kVersionAddrOffset); }
    uint32_t versionAddr1() const { return u32(kVersionAddr1Offset); }
    uint32_t memPartCount() const { return u32(kMemPartCountOffset); }
    uint32_t memPartId(uint32_t i) const { return u32(memPartOffset(i)); }
    uint16_t memPartDidr(uint32_t i) const { return u16(memPartOffset(i) + kMemPartDidrOffset); }
    uint32_t flags() const { return u32(kFlagsOffset); }

    /* Where region `k` and memory part `i` begin. */
    static constexpr size_t regionOffset(unsigned k) { return kRegionsOffset + kRegionSize * k; }
    static constexpr size_t memPartOffset(uint32_t i) { return kMemPartsOffset + size_t(kMemPartSize) * i; }

private:
    uint16_t u16(size_t o) const { return uint16_t(p_[o] | p_[o + 1] << 8); }
    uint32_t u32(size_t o) const {
        return uint32_t(p_[o]) | uint32_t(p_[o + 1]) << 8 | uint32_t(p_[o + 2]) << 16 |
               uint32_t(p_[o + 3]) << 24;
    }
    const uint8_t *p_;
};

} // namespace qv

/* The C++ entry: the fifteen arguments of the merge, in their order. Returns 0
 * or a negative result code; `message` is replaced only on failure. */
QUORVEL_API int32_t quorvel(const void *flashInfo, qv::MergeOutputs *outputs,
                            const std::vector<std::string> &imageFiles,
                            const std::vector<std::string> &patchFiles,
                            const std::vector<std::string> &cusFiles,
                            uint8_t *e2pBase, uint32_t e2pBaseSize,
                            uint8_t *e2pArea, uint32_t e2pAreaSize,
                            const std::vector<std::string> &e2pFiles,
                            int32_t reserved1, int32_t eraseAll,
                            std::string &message, const std::string &logPath,
                            int32_t reserved2);

#endif /* __cplusplus */

#endif /* QUORVEL_QUORVEL_H */
