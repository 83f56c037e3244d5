/* A Windows host written in C, as a download tool is: loads quorvel.dll with
 * LoadLibrary, finds the C ABI with GetProcAddress and merges the bundled
 * example release twice, with quorvel_merge() into OUT/plain and with
 * quorvel_merge_request() and a fixed recorded time into OUT/fixed. Each
 * folder gets code.img, e2p.img, rai.img, e2p_area.merged and merge.log, as
 * the command writes them from the example's manifest.
 *
 *   dll_host QUORVEL_DLL RELEASE_FOLDER OUT RECORDED_TIME */
#include <quorvel/quorvel.h>

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef const char *(*version_fn)(void);
typedef int32_t (*merge_fn)(const void *, quorvel_output *, const char *const *, size_t, const char *const *, size_t,
                            const char *const *, size_t, uint8_t *, uint32_t, uint8_t *, uint32_t,
                            const char *const *, size_t, int32_t, int32_t, char *, size_t, const char *, int32_t);
typedef int32_t (*request_fn)(const quorvel_request *, quorvel_output *, char *, size_t);

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

static int spill(const char *path, const bytes *b) {
    FILE *f = fopen(path, "wb");
    int ok = f && fwrite(b->data, 1, b->size, f) == b->size;
    return (f && fclose(f) == 0) && ok;
}

static char in[11][MAX_PATH];
static const char *in_names[11] = {"firmware.bin", "user.fat", "hidden.fat", "dsp.pat",      "mcp.bin",     "logo.cus",
                                   "sens.cus",     "params.e2p", "extra.e2p", "e2p_base.bin", "e2p_area.bin"};

typedef struct {
    char out[5][MAX_PATH]; /* code.img, e2p.img, rai.img, merge.log, e2p_area.merged */
    quorvel_output outputs[3];
    bytes base, area;
    char message[512];
} call;

static int call_init(call *c, const char *dir) {
    static const char *out_names[5] = {"code.img", "e2p.img", "rai.img", "merge.log", "e2p_area.merged"};
    memset(c, 0, sizeof *c);
    CreateDirectoryA(dir, NULL);
    for (int i = 0; i < 5; ++i) snprintf(c->out[i], MAX_PATH, "%s\\%s", dir, out_names[i]);
    for (int i = 0; i < 3; ++i) c->outputs[i].image_path = c->out[i];
    c->base = slurp(in[9]);
    c->area = slurp(in[10]);
    return c->base.data && c->area.data;
}

static int finish(call *c, int32_t r, const char *how) {
    if (r != 0) fprintf(stderr, "%s: %d: %s\n", how, (int)r, c->message);
    int ok = r == 0 && spill(c->out[4], &c->area);
    free(c->base.data);
    free(c->area.data);
    return ok;
}

int main(int argc, char **argv) {
    if (argc != 5) {
        fprintf(stderr, "usage: dll_host QUORVEL_DLL RELEASE_FOLDER OUT RECORDED_TIME\n");
        return 2;
    }
    HMODULE dll = LoadLibraryA(argv[1]);
    if (!dll) {
        fprintf(stderr, "LoadLibrary %s failed: %lu\n", argv[1], (unsigned long)GetLastError());
        return 1;
    }
    version_fn version = (version_fn)(void (*)(void))GetProcAddress(dll, "quorvel_version");
    merge_fn merge = (merge_fn)(void (*)(void))GetProcAddress(dll, "quorvel_merge");
    request_fn request = (request_fn)(void (*)(void))GetProcAddress(dll, "quorvel_merge_request");
    if (!version || !merge || !request) {
        fprintf(stderr, "quorvel.dll does not export the C ABI\n");
        return 1;
    }
    printf("quorvel.dll %s\n", version());
    for (int i = 0; i < 11; ++i) snprintf(in[i], MAX_PATH, "%s\\%s", argv[2], in_names[i]);
    char flash_path[MAX_PATH], dir[MAX_PATH];
    snprintf(flash_path, MAX_PATH, "%s\\flash.bin", argv[2]);
    bytes flash = slurp(flash_path);
    const char *images[3] = {in[0], in[1], in[2]}, *patches[2] = {in[3], in[4]}, *cus[2] = {in[5], in[6]},
               *e2p[2] = {in[7], in[8]};
    CreateDirectoryA(argv[3], NULL);

    call plain;
    snprintf(dir, MAX_PATH, "%s\\plain", argv[3]);
    if (!flash.data || !call_init(&plain, dir)) return 1;
    int32_t r = merge(flash.data, plain.outputs, images, 3, patches, 2, cus, 2, plain.base.data,
                      (uint32_t)plain.base.size, plain.area.data, (uint32_t)plain.area.size, e2p, 2, 0, 0,
                      plain.message, sizeof plain.message, plain.out[3], 0);
    if (!finish(&plain, r, "quorvel_merge")) return 1;

    call fixed;
    snprintf(dir, MAX_PATH, "%s\\fixed", argv[3]);
    if (!call_init(&fixed, dir)) return 1;
    quorvel_request rq;
    memset(&rq, 0, sizeof rq);
    rq.struct_size = sizeof rq;
    rq.flash_info = flash.data;
    rq.flash_info_size = flash.size;
    rq.image_files = images, rq.image_count = 3;
    rq.patch_files = patches, rq.patch_count = 2;
    rq.cus_files = cus, rq.cus_count = 2;
    rq.e2p_files = e2p, rq.e2p_count = 2;
    rq.e2p_base = fixed.base.data, rq.e2p_base_size = (uint32_t)fixed.base.size;
    rq.e2p_area = fixed.area.data, rq.e2p_area_size = (uint32_t)fixed.area.size;
    rq.log_path = fixed.out[3];
    rq.flags = QUORVEL_SAFE_OUTPUTS;
    rq.recorded_time = _atoi64(argv[4]);
    if (!finish(&fixed, request(&rq, fixed.outputs, fixed.message, sizeof fixed.message), "quorvel_merge_request"))
        return 1;
    free(flash.data);
    FreeLibrary(dll);
    return 0;
}
