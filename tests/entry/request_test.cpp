// The request entry on the example release: every code of the call itself
// with its message, and what each refusal leaves in the output folder.
#include "support/support.h"
#include "support/system_failures.h"

#include <quorvel/quorvel.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <new>
#include <stdexcept>

using namespace qvtest;
namespace fs = std::filesystem;

namespace {

// Windows's codes of the failures below (winerror.h).
constexpr unsigned long ERROR_FILE_NOT_FOUND_CODE = 2, ERROR_ACCESS_DENIED_CODE = 5;

const std::string kRel = std::string(QUORVEL_SOURCE_DIR) + "/examples/release/";

// One request over the example release; outputs and extra inputs in `dir`.
struct Request {
    TempDir dir;
    std::vector<std::string> images{kRel + "firmware.bin", kRel + "user.fat", kRel + "hidden.fat"};
    std::vector<std::string> patches{kRel + "dsp.pat", kRel + "mcp.bin"};
    std::vector<std::string> cus{kRel + "logo.cus", kRel + "sens.cus"};
    std::vector<std::string> e2p{kRel + "params.e2p", kRel + "extra.e2p"};
    Bytes flash = readFile(kRel + "flash.bin"), base = readFile(kRel + "e2p_base.bin"),
          area = readFile(kRel + "e2p_area.bin");
    std::string out[4] = {dir.file("code.img"), dir.file("e2p.img"), dir.file("rai.img"), dir.file("merge.log")};
    uint32_t flags = 0;
    volatile int cancel = 0;
    std::function<void(const char *, uint64_t)> onProgress;
    std::function<void(quorvel_request &, quorvel_output *&)> tweak;
    std::string message, cause;
    std::shared_ptr<void> held; // what the row keeps open during the call

    int32_t run() {
        std::vector<const char *> lists[4];
        const std::vector<std::string> *from[4] = {&images, &patches, &cus, &e2p};
        for (int i = 0; i < 4; ++i)
            for (const std::string &p : *from[i]) lists[i].push_back(p.c_str());
        quorvel_output entries[3] = {{out[0].c_str(), 0, 0, 0}, {out[1].c_str(), 0, 0, 0}, {out[2].c_str(), 0, 0, 0}};
        quorvel_request rq{sizeof rq, flags, flash.data(), flash.size(), lists[0].data(), lists[0].size(),
                           lists[1].data(), lists[1].size(), lists[2].data(), lists[2].size(), lists[3].data(),
                           lists[3].size(), base.data(), uint32_t(base.size()), area.data(), uint32_t(area.size()),
                           0, out[3].c_str(), -1, &cancel, &Request::progress, this, nullptr, 0};
        char why[1024] = "";
        rq.cause = why, rq.cause_size = sizeof why;
        quorvel_output *outputs = entries;
        if (tweak) tweak(rq, outputs);
        char text[1024] = "";
        int32_t r = quorvel_merge_request(&rq, outputs, text, sizeof text);
        message = text;
        cause = why;
        return r;
    }
    static void progress(void *ctx, const char *step, uint64_t done, uint64_t) {
        Request *self = static_cast<Request *>(ctx);
        if (self->onProgress) self->onProgress(step, done);
    }
    // The names in the output folder.
    std::vector<std::string> left() const {
        std::vector<std::string> names;
        for (const auto &e : fs::directory_iterator(dir.path())) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

struct Row {
    const char *name;
    std::function<void(Request &)> prepare;
    int32_t code;
    std::string message; // "{out}" stands for the output folder, "{rel}" for the release
    std::vector<std::string> left; // the folder's names afterwards, sorted
    std::string cause{};           // the cause ends so ("{out}", "{rel}" as above); nothing to check when empty
};

std::string expand(std::string text, const Request &r) {
    for (auto [key, value] : {std::pair<std::string, std::string>{"{out}", r.dir.path()}, {"{rel}", kRel}})
        for (size_t at; (at = text.find(key)) != std::string::npos;) text.replace(at, key.size(), value);
    return text;
}

void copyIn(Request &r, const std::string &name, const std::string &as) {
    fs::copy_file(kRel + name, r.dir.file(as));
}

void run(const std::vector<Row> &rows) {
    for (const Row &row : rows) {
        Request r;
        row.prepare(r);
        std::vector<Bytes> inputs;
        for (const std::string &p : r.images) inputs.push_back(fs::is_regular_file(p) ? readFile(p) : Bytes());
        EXPECT_EQ(r.run(), row.code) << row.name << ": " << r.message;
        EXPECT_EQ(r.message, expand(row.message, r)) << row.name;
        EXPECT_EQ(r.left(), row.left) << row.name;
        EXPECT_TRUE(r.cause.ends_with(expand(row.cause, r))) << row.name << ": " << r.cause;
        for (size_t i = 0; i < inputs.size(); ++i)
            if (fs::is_regular_file(r.images[i])) {
                EXPECT_EQ(readFile(r.images[i]), inputs[i]) << row.name;
            }
    }
}

void strict(Request &r) { r.flags = QUORVEL_STRICT_INPUTS; }

} // namespace

TEST(Request, OutputsThatAreInputsOrMissingAreRefusedBeforeAnythingIsCreated) {
    run({
        {"code = code file", [](Request &r) { copyIn(r, "firmware.bin", "fw.bin"), r.images[0] = r.out[0] = r.dir.file("fw.bin"); },
         -1450, "output {out}/fw.bin is the same file as the input {out}/fw.bin", {"fw.bin"}},
        {"rai = hard link of a FAT input", [](Request &r) { copyIn(r, "user.fat", "u.fat"), r.images[1] = r.dir.file("u.fat"),
                                                                fs::create_hard_link(r.dir.file("u.fat"), r.out[2]); },
         -1450, "output {out}/rai.img is the same file as the input {out}/u.fat", {"rai.img", "u.fat"}},
        {"log = E2P file", [](Request &r) { copyIn(r, "params.e2p", "p.e2p"), r.out[3] = r.e2p[0] = r.dir.file("p.e2p"); },
         -1450, "output {out}/p.e2p is the same file as the input {out}/p.e2p", {"p.e2p"}},
        {"e2p = missing input", [](Request &r) { r.e2p.push_back(r.dir.path() + "/./new.e2p"), r.out[1] = r.dir.file("new.e2p"); },
         -1450, "output {out}/new.e2p is the same file as the input {out}/./new.e2p", {},
         "{out}/new.e2p: both would be {out}/new.e2p"},
        {"code = e2p", [](Request &r) { r.out[1] = r.out[0]; },
         -1451, "output {out}/code.img is the same file as the output {out}/code.img", {}},
        {"log = rai", [](Request &r) { r.out[3] = r.out[2]; },
         -1451, "output {out}/rai.img is the same file as the output {out}/rai.img", {}},
        {"no RAI path", [](Request &r) { r.flags = QUORVEL_SAFE_OUTPUTS, r.out[2].clear(); }, -1480,
         "no path for the RAI image, which the merge writes: every merge does (an empty one when the release has no FAT image)", {}},
        {"no code path", [](Request &r) { r.flags = QUORVEL_SAFE_OUTPUTS, r.out[0].clear(); }, -1480,
         "no path for the code image, which the merge writes: the release has a code file or a CUS file", {}},
        {"no E2P path, plain", [](Request &r) { r.out[1].clear(); }, -58, "mergeE2P: open  failed", {"code.img", "merge.log"}},
    });
}

TEST(Request, StrictInputsNameTheFileAndWhy) {
    [[maybe_unused]] const std::string longName(300, 'n');
    run({
        {"missing", [](Request &r) { strict(r), r.patches[0] = r.dir.file("dsp.pat"); },
         -1462, "{out}/dsp.pat: no such file", {}, "{out}/dsp.pat: the folder {out} holds no dsp.pat"},
        {"path through a file", [](Request &r) { strict(r), r.cus[0] = kRel + "logo.cus/x.cus"; },
         -1462, "{rel}logo.cus/x.cus: no such file", {}, ": {rel}logo.cus is a file, not a folder"},
        {"folder", [](Request &r) { strict(r), r.images[0] = r.dir.path(); },
         -1463, "{out}: not a regular file", {}, "{out}: is a folder"},
#ifdef _WIN32
        // A name past the system's limit reads as missing under wine; a file
        // another program has open with sharing denied cannot be read.
        {"unreadable", [](Request &r) { strict(r), r.held = std::make_shared<LockedFile>(r.cus[0] = r.dir.file("busy.cus")); },
         -1464, "{out}/busy.cus: cannot be read: Permission denied", {"busy.cus"}},
#else
        {"unreadable", [&](Request &r) { strict(r), r.cus[0] = r.dir.file(longName); },
         -1464, "{out}/" + longName + ": cannot be read: File name too long", {}},
#endif
        {"fat kind", [](Request &r) { strict(r), writeFile(r.images[1] = r.dir.file("k.fat"), withHeader(21, {})); },
         -1465, "{out}/k.fat: not recognised: a .fat file needs kind byte 22 or 23 at offset 9 (FAT image), this one has 21", {"k.fat"}},
        {"empty code", [](Request &r) { strict(r), writeFile(r.images[0] = r.dir.file("fw.bin"), {}); },
         -1465, "{out}/fw.bin: not recognised: a code file needs a 16-byte header and a code section, this one has 0 bytes", {"fw.bin"}},
        {"wpb", [](Request &r) { strict(r), writeFile(r.images[0] = r.dir.file("fw.wpb"), Bytes(200, 1)); },
         -1465, "{out}/fw.wpb: not recognised: a .wpb file needs to be a compressed input (magic 0x5A57 at offset 16)", {"fw.wpb"}},
        {"patch", [](Request &r) { strict(r), r.patches[0] = kRel + "firmware.bin"; },
         -1465, "{rel}firmware.bin: not recognised: needs to be .pat with kind byte 6 (DSP patch) or have kind byte 25 (MCP file), this one has 0", {}},
        {"kind", [](Request &r) { strict(r), r.patches[0] = kRel + "logo.cus"; },
         -1503, "{rel}logo.cus: a CUS file (\"WCUS\") given as a DSP patch or MCP file", {}},
        {"flash info", [](Request &r) { strict(r), r.flash[14] = 32; },
         -1500, "flash_info: the regions end at 0x4200000, the flash at 0x4400000", {}},
        {"e2p area", [](Request &r) { strict(r), r.base[300] = 1, r.area = r.base; },
         -1501, "e2p_area: neither an erased E2P area nor a sound E2P journal (no end mark (FF 7F) in the last two logical "
                "bytes); it holds the same bytes as the E2P base e2p_base: the base image given twice?", {}},
        {"second code", [](Request &r) { strict(r), copyIn(r, "user.fat", "user.fta"), r.images[1] = r.dir.file("user.fta"); },
         -1466, "{out}/user.fta: a second code file (the first is {rel}firmware.bin); only one is merged", {"user.fta"},
         "{out}/user.fta: its name ends in neither .wpb nor .fat, so it counts as a code file; it is a FAT image (kind byte 22 or 23 at offset 9)"},
        {"second mcp", [](Request &r) { strict(r), r.patches.push_back(kRel + "mcp.bin"); },
         -1467, "{rel}mcp.bin: a second MCP file (the first is {rel}mcp.bin); only one is merged", {}},
        {"second dsp", [](Request &r) { strict(r), r.patches.push_back(kRel + "dsp.pat"); },
         -1468, "{rel}dsp.pat: a second DSP patch file (the first is {rel}dsp.pat); only one is merged", {}},
        {"unused", [](Request &r) { strict(r), r.cus.clear(); },
         -1469, "{rel}dsp.pat: not used: DSP patch and MCP files go into the CUS area, and no CUS file is given", {}},
        {"no object", [](Request &r) { strict(r), writeText(r.e2p[1] = r.dir.file("x.e2p"), "# nothing\n"); },
         -1470, "{out}/x.e2p: no E2P object loads from it", {"x.e2p"}},
    });
}

TEST(Request, RefusedRequestsTouchNothing) {
    auto tweak = [](std::function<void(quorvel_request &, quorvel_output *&)> f) {
        return [f](Request &r) { r.tweak = f; };
    };
    run({
        {"struct size", tweak([](quorvel_request &q, quorvel_output *&) { q.struct_size = 0, q.flags = 0; }),
         -1456, "struct_size 0 is smaller than the " + std::to_string(QUORVEL_REQUEST_MIN_SIZE) + " bytes of quorvel_request", {}},
        {"flags", tweak([](quorvel_request &q, quorvel_output *&) { q.flags = 0x9; }), -1457, "unknown flags 0x8", {},
         "flags 0x9: this library knows QUORVEL_SAFE_OUTPUTS (0x1), QUORVEL_STRICT_INPUTS (0x2) and QUORVEL_SYNC_OUTPUTS (0x4)"},
        {"flash info", tweak([](quorvel_request &q, quorvel_output *&) { q.flash_info_size = 127; }),
         -1458, "flash_info_size 127 is shorter than the 128 bytes the FlashInfo fields need", {},
         "flash_info: memPartCount 1 at offset 44 needs 48 + 80 x 1 = 128 bytes, flash_info_size is 127"},
        {"time", tweak([](quorvel_request &q, quorvel_output *&) { q.recorded_time = -2; }),
         -1459, "recorded_time -2 is neither -1 nor a time in seconds since 1970", {}},
        {"outputs", tweak([](quorvel_request &, quorvel_output *&o) { o = nullptr; }), -1460, "no outputs given", {}},
        {"list", tweak([](quorvel_request &q, quorvel_output *&) { q.e2p_files = nullptr; }),
         -1461, "e2p_files is NULL but holds 2 entries", {}},
        {"cancel", [](Request &r) { r.cancel = 1; }, -1454, "cancelled while checking the outputs", {}},
    });
    char text[8] = "keep";
    EXPECT_EQ(quorvel_merge_request(nullptr, nullptr, text, sizeof text), -1455);
    EXPECT_STREQ(text, "no requ");
}

TEST(Request, FailuresInsideTheMergeLeaveTheLogAndNoTemporary) {
    auto at = [](const char *step, std::function<void(Request &)> act) {
        return [step, act](Request &r) {
            r.flags = QUORVEL_SAFE_OUTPUTS;
            r.onProgress = [&r, step, act](const char *s, uint64_t) {
                if (std::string(s) == step) act(r);
            };
        };
    };
    // Sixteen megabytes and more of code section on a flash that holds it:
    // the copy reports progress between blocks, and there the host cancels.
    auto bigCode = [](Request &r) {
        FlashInfoSpec flash = exampleFlash();
        flash.sizeIn64KB = 512;
        flash.regions = {{16, 512}};
        r.flash = flash.build();
        r.flags = QUORVEL_SAFE_OUTPUTS;
        writeFile(r.images[0] = r.dir.file("big.bin"), withHeader(0, {}));
        fs::resize_file(r.images[0], 20 << 20);
        r.onProgress = [&r](const char *, uint64_t done) { r.cancel = done > 0; };
    };
    run({
        {"cancel in the copy", bigCode, -1454, "cancelled while building the code image",
         {"big.bin", "merge.log"}},
        {"out of memory", at("building the E2P image", [](Request &) { throw std::bad_alloc(); }), -1452,
         "out of memory while building the E2P image", {"merge.log"}},
        {"exception", at("building the RAI image", [](Request &) { throw std::runtime_error("boom"); }), -1453,
         "unexpected failure while building the RAI image: boom", {"merge.log"}},
        {"replace", at("replacing the outputs", [](Request &r) { fs::create_directory(r.out[0]); }), -1472,
         "replace {out}/code.img failed: " + systemText(EISDIR, ERROR_ACCESS_DENIED_CODE), {"code.img", "merge.log"}},
        {"sync", [](Request &r) {
             r.flags = QUORVEL_SYNC_OUTPUTS;
             r.onProgress = [&r](const char *s, uint64_t) {
                 if (std::string(s) == "replacing the outputs") fs::remove(r.out[1]);
             };
         },
         -1471, "sync {out}/e2p.img failed: " + systemText(ENOENT, ERROR_FILE_NOT_FOUND_CODE), {"code.img", "merge.log", "rai.img"}},
    });
}
