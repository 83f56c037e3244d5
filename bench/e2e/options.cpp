#include "e2e/options.h"

#include <cstdlib>
#include <sstream>
#include <stdexcept>

namespace qvbench {
namespace {

unsigned long number(const std::string &flag, const char *text) {
    char *end = nullptr;
    unsigned long v = std::strtoul(text, &end, 10);
    if (!text[0] || *end) throw std::runtime_error("bad number for " + flag + ": " + text);
    return v;
}

} // namespace

const char *usage() {
    return "usage: bench_e2e [--dir DIR] [--keep] [--rounds N] [--only KEYS]\n"
           "                 [--code-mb N] [--e2p-objects N] [--rai-units N] [--cus-files N]\n"
           "                 [--interleaved] [--profile KEY]\n"
           "  KEYS: comma list of code,wpb,rai,e2p,release,safe (default: all)\n"
           "  --dir DIR  put the release in DIR (created if needed; a kept release of the\n"
           "             same sizes is reused); default: a temporary folder, removed after\n"
           "  --profile KEY  run that one merge once in this process (no fork, no\n"
           "             baseline), e.g. under valgrind --tool=callgrind or perf record;\n"
           "             with --keep its outputs and log stay in DIR/out\n";
}

Options parseOptions(int argc, char **argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> const char * {
            if (i + 1 >= argc) throw std::runtime_error("missing value for " + a);
            return argv[++i];
        };
        if (a == "--help" || a == "-h") o.help = true;
        else if (a == "--dir") o.dir = value();
        else if (a == "--keep") o.keep = true;
        else if (a == "--interleaved") o.shape.interleaved = true;
        else if (a == "--rounds") o.rounds = unsigned(number(a, value()));
        else if (a == "--code-mb") o.shape.codeBytes = uint64_t(number(a, value())) << 20;
        else if (a == "--e2p-objects") o.shape.e2pObjects = unsigned(number(a, value()));
        else if (a == "--rai-units") o.shape.raiUnits = uint16_t(number(a, value()));
        else if (a == "--cus-files") o.shape.cusFiles = unsigned(number(a, value()));
        else if (a == "--profile") o.profile = value();
        else if (a == "--only") {
            std::stringstream keys(value());
            for (std::string k; std::getline(keys, k, ',');) o.only.insert(k);
        } else throw std::runtime_error("unknown option " + a);
    }
    if (o.rounds == 0) o.rounds = 1;
    return o;
}

std::string shapeStamp(const ReleaseShape &s) {
    std::ostringstream t;
    t << "code " << s.codeBytes << " cus " << s.cusFiles << "x" << s.cusBytes << " e2p " << s.e2pObjects
      << " rai " << s.raiUnits << " cache " << unsigned(s.cacheSize) << " flash " << s.flashIn64KB << " il "
      << s.interleaved << " z " << s.zlibLevel << " v2\n";
    return t.str();
}

} // namespace qvbench
