/* A host written in C: merges the bundled example release through
 * libquorvel.so, as a download tool would, and checks that the library
 * refuses outputs that are inputs, survives a failed allocation, and honours
 * every field of a request. Argument: the folder of the example release. */
#define _GNU_SOURCE
#include <quorvel/quorvel.h>

#include <dirent.h>
#include <ftw.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define UNDER_ASAN 1
#endif
#endif

static int failures;
#define CHECK(cond, ...)                                                                                             \
    do {                                                                                                             \
        if (!(cond)) {                                                                                               \
            fprintf(stderr, "%s:%d: %s: ", __FILE__, __LINE__, #cond);                                               \
            fprintf(stderr, __VA_ARGS__);                                                                            \
            fputc('\n', stderr);                                                                                     \
            ++failures;                                                                                              \
        }                                                                                                            \
    } while (0)

typedef struct {
    unsigned char *data;
    size_t size;
} bytes;

static bytes slurp(const char *path) {
    bytes b = {NULL, 0};
    FILE *f = fopen(path, "rb");
    if (!f) return b;
    fseek(f, 0, SEEK_END);
    b.size = (size_t)ftell(f);
    b.data = malloc(b.size ? b.size : 1);
    rewind(f);
    if (fread(b.data, 1, b.size, f) != b.size) b.size = 0;
    fclose(f);
    return b;
}

static int same_file_bytes(const char *a, const char *b) {
    bytes x = slurp(a), y = slurp(b);
    int same = x.data && y.data && x.size == y.size && memcmp(x.data, y.data, x.size) == 0;
    free(x.data);
    free(y.data);
    return same;
}

static int exists(const char *path) { return access(path, F_OK) == 0; }

/* Entries of a folder other than "." and "..". */
static int entries(const char *dir) {
    DIR *d = opendir(dir);
    int n = 0;
    for (struct dirent *e; d && (e = readdir(d));) n += strcmp(e->d_name, ".") && strcmp(e->d_name, "..");
    if (d) closedir(d);
    return n;
}

static int remove_entry(const char *path, const struct stat *st, int flag, struct FTW *ftw) {
    (void)st, (void)flag, (void)ftw;
    return remove(path);
}

/* ---- the example release ------------------------------------------------ */

static char paths[10][PATH_MAX];
static const char *names[10] = {"firmware.bin", "user.fat",  "hidden.fat", "dsp.pat",    "mcp.bin",
                                "logo.cus",     "sens.cus", "params.e2p", "extra.e2p", "flash.bin"};
static bytes flash, base, area;

/* One call's arguments: the release's lists, fresh copies of the E2P
 * buffers, outputs code.img, e2p.img, rai.img and merge.log in `dir`. */
typedef struct {
    char out[4][PATH_MAX];
    const char *images[3], *patches[2], *cus[2], *e2p[2];
    unsigned char *base, *area;
    quorvel_output outputs[3];
    quorvel_request rq;
    char message[512], cause[512];
} call;

static void call_init(call *c, const char *dir) {
    static const char *out_names[4] = {"code.img", "e2p.img", "rai.img", "merge.log"};
    memset(c, 0, sizeof *c);
    for (int i = 0; i < 4; ++i) snprintf(c->out[i], PATH_MAX, "%s/%s", dir, out_names[i]);
    for (int i = 0; i < 3; ++i) c->outputs[i].image_path = c->out[i];
    for (int i = 0; i < 3; ++i) c->images[i] = paths[i];
    for (int i = 0; i < 2; ++i) c->patches[i] = paths[3 + i], c->cus[i] = paths[5 + i], c->e2p[i] = paths[7 + i];
    c->base = malloc(base.size);
    c->area = malloc(area.size);
    memcpy(c->base, base.data, base.size);
    memcpy(c->area, area.data, area.size);
    c->rq = (quorvel_request){.struct_size = sizeof(quorvel_request), .flash_info = flash.data,
                              .flash_info_size = flash.size, .image_files = c->images, .image_count = 3,
                              .patch_files = c->patches, .patch_count = 2, .cus_files = c->cus, .cus_count = 2,
                              .e2p_files = c->e2p, .e2p_count = 2, .e2p_base = c->base,
                              .e2p_base_size = (uint32_t)base.size, .e2p_area = c->area,
                              .e2p_area_size = (uint32_t)area.size, .log_path = c->out[3], .recorded_time = -1,
                              .cause = c->cause, .cause_size = sizeof c->cause};
}

static void call_free(call *c) {
    free(c->base);
    free(c->area);
}

static int32_t run_request(call *c) { return quorvel_merge_request(&c->rq, c->outputs, c->message, sizeof c->message); }

static int32_t run_plain(call *c) {
    const quorvel_request *q = &c->rq;
    return quorvel_merge(q->flash_info, c->outputs, q->image_files, q->image_count, q->patch_files, q->patch_count,
                         q->cus_files, q->cus_count, q->e2p_base, q->e2p_base_size, q->e2p_area, q->e2p_area_size,
                         q->e2p_files, q->e2p_count, 0, 0, c->message, sizeof c->message, q->log_path, 0);
}

static char temp_root[1024];

static void fresh_dir(char *dir, const char *name) {
    snprintf(dir, PATH_MAX, "%s/%s", temp_root, name);
    CHECK(mkdir(dir, 0777) == 0, "cannot create %s", dir);
}

/* ---- the checks --------------------------------------------------------- */

/* An output that is an input is refused before anything is created. */
static void aliasing_is_refused(void) {
    call c;
    char dir[PATH_MAX], copy[PATH_MAX + 16];
    fresh_dir(dir, "alias");
    call_init(&c, dir);
    snprintf(copy, sizeof copy, "%s/firmware.bin", dir);
    bytes fw = slurp(paths[0]);
    FILE *f = fopen(copy, "wb");
    fwrite(fw.data, 1, fw.size, f);
    fclose(f);
    free(fw.data);
    c.images[0] = copy;
    c.outputs[0].image_path = copy;
    int32_t r = run_plain(&c);
    CHECK(r == -1450, "result %d: %s", r, c.message);
    CHECK(strstr(c.message, copy) != NULL, "message names no path: %s", c.message);
    CHECK(same_file_bytes(copy, paths[0]), "the input changed");
    CHECK(entries(dir) == 1, "%d files in the folder", entries(dir));
    call_free(&c);
}

/* A merge whose allocations fail returns a negative code; the host goes on
 * and its next merge succeeds. */
static void allocation_failure_is_a_result(void) {
#ifndef UNDER_ASAN
    call c;
    char dir[PATH_MAX];
    fresh_dir(dir, "oom");
    call_init(&c, dir);
    struct rlimit old, low;
    getrlimit(RLIMIT_AS, &old);
    long pages = 0;
    FILE *statm = fopen("/proc/self/statm", "r");
    CHECK(statm && fscanf(statm, "%ld", &pages) == 1, "cannot read /proc/self/statm");
    if (statm) fclose(statm);
    /* The address space in use now: the merge's first large block does not fit. */
    low.rlim_cur = (rlim_t)pages * (rlim_t)sysconf(_SC_PAGESIZE);
    low.rlim_max = old.rlim_max;
    CHECK(setrlimit(RLIMIT_AS, &low) == 0, "setrlimit");
    int32_t r = run_plain(&c);
    setrlimit(RLIMIT_AS, &old);
    CHECK(r < 0, "result %d under a lowered address-space limit", r);
    printf("under the lowered limit: %d %s\n", r, c.message);
    call_free(&c);
    call_init(&c, dir);
    r = run_plain(&c);
    CHECK(r == 0, "after the limit: %d %s", r, c.message);
    call_free(&c);
#endif
}

static void write_text(const char *path, const char *text) {
    FILE *f = fopen(path, "w");
    if (f) fputs(text, f), fclose(f);
}

/* The three images of a call, read back. */
static void read_images(const call *c, bytes img[3]) {
    for (int i = 0; i < 3; ++i) img[i] = slurp(c->out[i]);
}

static int same_images(const bytes a[3], const bytes b[3]) {
    int same = 1;
    for (int i = 0; i < 3; ++i) same &= a[i].data && b[i].data && a[i].size == b[i].size &&
                                        memcmp(a[i].data, b[i].data, a[i].size) == 0;
    return same;
}

static void free_images(bytes img[3]) {
    for (int i = 0; i < 3; ++i) free(img[i].data);
}

/* A good merge, then a safe one that fails in the E2P merge: the earlier
 * images stay byte for byte, no temporary is left, and the log is kept. */
static void safe_outputs_keep_earlier_files(void) {
    call c;
    char dir[PATH_MAX], bad[PATH_MAX + 16];
    bytes before[3], after[3];
    fresh_dir(dir, "safe");
    call_init(&c, dir);
    CHECK(run_plain(&c) == 0, "first merge: %s", c.message);
    read_images(&c, before);
    int files = entries(dir);
    snprintf(bad, sizeof bad, "%s/bad.e2p", temp_root);
    write_text(bad, "OBJ 99999 1 1\n1 %u8\n");
    c.rq.flags = QUORVEL_SAFE_OUTPUTS;
    c.e2p[1] = bad;
    int32_t r = run_request(&c);
    CHECK(r == -78, "result %d: %s", r, c.message);
    read_images(&c, after);
    CHECK(same_images(before, after), "an earlier image changed");
    CHECK(entries(dir) == files, "%d files in the folder, %d before", entries(dir), files);
    CHECK(exists(c.out[3]), "no log");
    free_images(before);
    free_images(after);
    call_free(&c);
}

/* Safe and synced outputs replace the plain merge's images in the same
 * folder byte for byte, and the log reads the same. */
static void synced_safe_outputs_are_the_plain_images(void) {
    call plain, synced;
    char dir[PATH_MAX];
    bytes a[4], b[4];
    fresh_dir(dir, "synced");
    call_init(&plain, dir);
    call_init(&synced, dir);
    synced.rq.flags = QUORVEL_SAFE_OUTPUTS | QUORVEL_SYNC_OUTPUTS;
    CHECK(run_plain(&plain) == 0, "%s", plain.message);
    read_images(&plain, a);
    a[3] = slurp(plain.out[3]);
    CHECK(run_request(&synced) == 0, "%s", synced.message);
    read_images(&synced, b);
    b[3] = slurp(synced.out[3]);
    CHECK(same_images(a, b) && same_images(a + 1, b + 1), "an image or the log differs");
    CHECK(entries(dir) == 4, "%d files in the folder", entries(dir));
    free_images(a);
    free_images(b);
    free(a[3].data);
    free(b[3].data);
    call_free(&plain);
    call_free(&synced);
}

static void count_progress(void *ctx, const char *step, uint64_t done, uint64_t total) {
    (void)done, (void)total;
    int *seen = ctx;
    seen[0] += 1;
    seen[1] += strcmp(step, "building the code image") == 0;
}

static void strict_refuses_a_missing_input(call *c) { c->images[1] = "/nonexistent/user.fat"; }
static void cancelled_before_the_call(call *c) {
    static const volatile int set = 1;
    c->rq.cancel = &set;
}
static void struct_too_small(call *c) { c->rq.struct_size = QUORVEL_REQUEST_MIN_SIZE - 1; }

/* Requests that are refused before any file is created. */
static void refused_requests(void) {
    static const struct {
        const char *name;
        uint32_t flags;
        void (*prepare)(call *);
        int32_t result;
        const char *in_message, *cause;
    } rows[] = {
        {"strict", QUORVEL_STRICT_INPUTS, strict_refuses_a_missing_input, -1462, "/nonexistent/user.fat: no such file",
         "/nonexistent/user.fat: the folder / holds no nonexistent"},
        {"cancel", QUORVEL_SAFE_OUTPUTS, cancelled_before_the_call, -1454, "cancelled while", ""},
        {"size", 0, struct_too_small, -1456, "struct_size", ""},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        call c;
        char dir[PATH_MAX];
        fresh_dir(dir, rows[i].name);
        call_init(&c, dir);
        c.rq.flags = rows[i].flags;
        rows[i].prepare(&c);
        int32_t r = run_request(&c);
        CHECK(r == rows[i].result, "%s: result %d: %s", rows[i].name, r, c.message);
        CHECK(strstr(c.message, rows[i].in_message) != NULL, "%s: message %s", rows[i].name, c.message);
        CHECK(strcmp(c.cause, rows[i].cause) == 0, "%s: cause %s", rows[i].name, c.cause);
        CHECK(entries(dir) == 0, "%s: %d files in the folder", rows[i].name, entries(dir));
        call_free(&c);
    }
}

/* A host built before the cause buffer: its record ends there. It merges,
 * and a refused call writes nothing past the record (the bytes there would
 * be taken for a pointer). */
static void record_without_cause(void) {
    call c;
    char dir[PATH_MAX];
    unsigned char record[sizeof c.rq];
    fresh_dir(dir, "old");
    call_init(&c, dir);
    c.rq.struct_size = QUORVEL_REQUEST_MIN_SIZE;
    c.rq.flags = QUORVEL_STRICT_INPUTS;
    memset((unsigned char *)&c.rq + QUORVEL_REQUEST_MIN_SIZE, 0xA5, sizeof c.rq - QUORVEL_REQUEST_MIN_SIZE);
    memcpy(record, &c.rq, sizeof record);
    CHECK(run_request(&c) == 0, "%s", c.message);
    c.images[1] = "/nonexistent/user.fat";
    CHECK(run_request(&c) == -1462, "%s", c.message);
    CHECK(memcmp(record, &c.rq, sizeof record) == 0, "the record changed");
    CHECK(c.cause[0] == 0, "cause %s", c.cause);
    call_free(&c);
}

/* Progress reports and a fixed recorded time. */
static void progress_and_recorded_time(void) {
    call c;
    char dir[PATH_MAX];
    int seen[2] = {0, 0};
    fresh_dir(dir, "time");
    call_init(&c, dir);
    c.rq.progress = count_progress;
    c.rq.progress_ctx = seen;
    c.rq.recorded_time = 1234567890; /* 2009-02-13 23:31:30 UTC */
    CHECK(run_request(&c) == 0, "%s", c.message);
    CHECK(seen[0] >= 6 && seen[1] == 1, "progress: %d calls, code image step %d times", seen[0], seen[1]);
    bytes code = slurp(c.out[0]);
    CHECK(code.data && memmem(code.data, code.size, " 021309 23:31", 13), "no record of the fixed time");
    free(code.data);
    call_free(&c);
}

int main(int argc, char **argv) {
    if (argc != 2) return 2;
    for (int i = 0; i < 10; ++i) snprintf(paths[i], PATH_MAX, "%s/%s", argv[1], names[i]);
    char p[PATH_MAX + 16];
    flash = slurp(paths[9]);
    snprintf(p, sizeof p, "%s/e2p_base.bin", argv[1]);
    base = slurp(p);
    snprintf(p, sizeof p, "%s/e2p_area.bin", argv[1]);
    area = slurp(p);
    if (!flash.data || !base.data || !area.data) return 2;
    const char *tmp = getenv("TMPDIR");
    snprintf(temp_root, sizeof temp_root, "%s/qv-c-host.XXXXXX", tmp && *tmp ? tmp : "/tmp");
    if (!mkdtemp(temp_root)) return 2;
    aliasing_is_refused();
    allocation_failure_is_a_result();
    safe_outputs_keep_earlier_files();
    synced_safe_outputs_are_the_plain_images();
    refused_requests();
    record_without_cause();
    progress_and_recorded_time();
    nftw(temp_root, remove_entry, 16, FTW_DEPTH | FTW_PHYS);
    printf("%s\n", failures ? "FAILED" : "passed");
    return failures ? 1 : 0;
}
