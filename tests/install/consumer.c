/* A C host of the installed shared library, built through pkg-config:
 * `consumer_c RELEASE OUT` merges the example release in the folder RELEASE
 * into OUT/code.img, OUT/e2p.img and OUT/rai.img, then prints the library's
 * version. */
#include "release_files.h"

#include <quorvel/quorvel.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Every path the merge names, kept until the program ends. */
static char path_pool[32][1024];
static size_t paths_used;

static const char *join(const char *dir, const char *name) {
    if (paths_used == COUNT_OF(path_pool)) abort();
    char *path = path_pool[paths_used++];
    if (snprintf(path, sizeof path_pool[0], "%s/%s", dir, name) >= (int)sizeof path_pool[0]) abort();
    return path;
}

/* The paths of `names` in `dir`, as one list. */
static const char *const *join_all(const char *dir, const char *const *names, size_t count) {
    static const char *lists[COUNT_OF(path_pool)];
    const char **out = lists + paths_used;
    for (size_t i = 0; i < count; ++i) out[i] = join(dir, names[i]);
    return out;
}

/* The whole file, or NULL. */
static uint8_t *read_file(const char *path, uint32_t *size) {
    FILE *f = fopen(path, "rb");
    uint8_t *data = NULL;
    long n = -1;
    if (f && fseek(f, 0, SEEK_END) == 0 && (n = ftell(f)) >= 0 && fseek(f, 0, SEEK_SET) == 0) {
        data = malloc((size_t)n + 1);
        if (data && fread(data, 1, (size_t)n, f) != (size_t)n) {
            free(data);
            data = NULL;
        }
    }
    if (f) fclose(f);
    *size = (uint32_t)n;
    return data;
}

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: %s RELEASE OUT\n", argv[0]);
        return 2;
    }
    const char *rel = argv[1], *out = argv[2];
    uint32_t flash_size, base_size, area_size;
    uint8_t *flash = read_file(join(rel, "flash.bin"), &flash_size);
    uint8_t *base = read_file(join(rel, "e2p_base.bin"), &base_size);
    uint8_t *area = read_file(join(rel, "e2p_area.bin"), &area_size);
    quorvel_output outputs[3];
    memset(outputs, 0, sizeof outputs);
    for (size_t i = 0; i < 3; ++i) outputs[i].image_path = join(out, kOutputFiles[i]);
    char message[256] = "";
    int32_t r = -1;
    if (flash && base && area)
        r = quorvel_merge(flash, outputs, join_all(rel, kImageFiles, COUNT_OF(kImageFiles)), COUNT_OF(kImageFiles),
                          join_all(rel, kPatchFiles, COUNT_OF(kPatchFiles)), COUNT_OF(kPatchFiles),
                          join_all(rel, kCusFiles, COUNT_OF(kCusFiles)), COUNT_OF(kCusFiles), base, base_size, area,
                          area_size, join_all(rel, kE2pFiles, COUNT_OF(kE2pFiles)), COUNT_OF(kE2pFiles), 0, 0,
                          message, sizeof message, join(out, "merge.log"), 0);
    else
        snprintf(message, sizeof message, "cannot read the release in %s", rel);
    free(flash);
    free(base);
    free(area);
    if (r != 0) {
        fprintf(stderr, "error %d: %s\n", r, message);
        return 1;
    }
    printf("%s\n", quorvel_version());
    return 0;
}
