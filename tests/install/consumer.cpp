// A C++ host of the installed static library, built through
// find_package(quorvel CONFIG): `consumer_cpp RELEASE OUT` merges the example
// release in the folder RELEASE into OUT/code.img, OUT/e2p.img and
// OUT/rai.img with the C++ entry, then prints the library's version.
#include "release_files.h"

#include <quorvel/quorvel.h>

#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

std::vector<uint8_t> readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

template <size_t N> std::vector<std::string> paths(const std::string &dir, const char *const (&names)[N]) {
    std::vector<std::string> out;
    for (const char *name : names) out.push_back(dir + "/" + name);
    return out;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s RELEASE OUT\n", argv[0]);
        return 2;
    }
    const std::string rel = argv[1], out = argv[2];
    std::vector<uint8_t> flash = readFile(rel + "/flash.bin"), base = readFile(rel + "/e2p_base.bin"),
                         area = readFile(rel + "/e2p_area.bin");
    qv::MergeOutputs outputs;
    for (size_t i = 0; i < outputs.size(); ++i) outputs[i].imagePath = out + "/" + kOutputFiles[i];
    std::string message;
    const int32_t r = quorvel(flash.data(), &outputs, paths(rel, kImageFiles), paths(rel, kPatchFiles),
                              paths(rel, kCusFiles), base.data(), uint32_t(base.size()), area.data(),
                              uint32_t(area.size()), paths(rel, kE2pFiles), 0, 0, message, out + "/merge.log", 0);
    if (r != 0) {
        std::fprintf(stderr, "error %d: %s\n", int(r), message.c_str());
        return 1;
    }
    std::printf("%s\n", quorvel_version());
    return 0;
}
