// What the command's help says besides the flags themselves: the forms of
// the values, examples and the exit statuses. The man page (docs/quorvel.1)
// says the same in more words. Every flag named here must be one its
// subcommand takes (tests/cli/help_test.cpp).
#pragma once

namespace qvcli {

inline constexpr const char *kMainFooter =
    "Run 'quorvel SUBCOMMAND --help' for its flags, examples and exit statuses;\n"
    "'man quorvel' has all of it.\n"
    "\n"
    "Exit status: 0 success; 1 a failed merge, an input file that cannot be read or is\n"
    "not what it should be, or problems found by inspect; 2 a usage error.";

inline constexpr const char *kMergeFooter =
    "FILE and DIR are paths. A repeatable flag is given once per file; the files keep\n"
    "their order. --flash-info, --e2p-base and --e2p-area are required unless the\n"
    "manifest names them; flags given beside a manifest override it.\n"
    "\n"
    "Examples:\n"
    "  quorvel merge --manifest release.json --out-dir out\n"
    "  quorvel merge --manifest release.json --out-dir out --image firmware.bin --json\n"
    "  quorvel merge --flash-info flash.json --e2p-base e2p_base.bin \\\n"
    "      --e2p-area e2p_area.bin --image firmware.bin --image user.fat \\\n"
    "      --patch dsp.pat --cus logo.cus --out-code code.img --out-e2p e2p.img \\\n"
    "      --out-rai rai.img --log merge.log\n"
    "\n"
    "Exit status: 0 merged; 1 the merge failed (\"error CODE: MESSAGE\" on stderr) or an\n"
    "input file cannot be read; 2 a usage error: a bad flag, manifest or JSON value\n"
    "(the message names the flag or field).";

inline constexpr const char *kFlashInfoFooter =
    "FILE is a path; its name's ending picks the form: .json for the JSON description,\n"
    "anything else for the binary record. Numbers in a JSON description are decimal,\n"
    "or hexadecimal as \"0x...\" strings.\n"
    "\n"
    "Examples:\n"
    "  quorvel flashinfo --from flash.json -o flash.bin\n"
    "  quorvel flashinfo --from flash.bin -o flash.json\n"
    "\n"
    "Exit status: 0 written; 1 the input cannot be read or the output not written;\n"
    "2 a usage error or a bad JSON value (the message names the field).";

inline constexpr const char *kInspectFooter =
    "FILE and DIR are paths; ADDR and N are numbers, decimal or hexadecimal with 0x\n"
    "(0x04370000, 65536); BYTES is a size in bytes. The kind of FILE is told from its\n"
    "bytes (a name ending in .json is a flash description) unless --kind says it.\n"
    "\n"
    "Examples:\n"
    "  quorvel inspect code.img\n"
    "  quorvel inspect e2p.img --json\n"
    "  quorvel inspect e2p.img --e2p-base e2p_base.bin --e2p-file params.e2p \\\n"
    "      --e2p-file extra.e2p\n"
    "  quorvel inspect rai.img --flash-info flash.json --e2p-area e2p_area.merged \\\n"
    "      --extract-fat fat\n"
    "\n"
    "Exit status: 0 the file is sound; 1 the report lists problems, or the file cannot\n"
    "be read; 2 a usage error (the message names the flag).";

inline constexpr const char *kVerifyFooter =
    "FILE and DUMP are paths; ADDR is a number, decimal or hexadecimal with 0x. A\n"
    "readback ending in .hex or .ihex is Intel HEX, in .srec, .s37 or .mot S-records,\n"
    "else raw binary (--flash-format says it otherwise).\n"
    "\n"
    "Examples:\n"
    "  quorvel verify --record out/release.record.json\n"
    "  quorvel verify --record out/release.record.json --remerge\n"
    "  quorvel verify --record out/release.record.json --readback dump.bin --at 0x04000000\n"
    "  quorvel verify --record out/release.record.json --readback dump.hex --e2p-content --json\n"
    "\n"
    "A readback is compared with the images after they are checked against their\n"
    "digests. On a line that verifies many devices, check the folder once (the first\n"
    "example), then each readback with --skip-image-digests.\n"
    "\n"
    "Exit status: 0 it matches (ranges a readback leaves out are listed as not\n"
    "checked); 1 it differs (each difference listed), or a file is not what it should\n"
    "be (the message names the file and the line); 2 a usage error.";

inline constexpr const char *kExportFooter =
    "FILE is a path; its name picks the format: .bin raw from the flash's base address,\n"
    ".hex or .ihex Intel HEX, .srec, .s37 or .mot S-records (--flash-format says it\n"
    "otherwise). Erased 32-byte lines are left out of HEX and S-record files.\n"
    "\n"
    "Examples:\n"
    "  quorvel export --record out/release.record.json -o flash.hex\n"
    "\n"
    "Exit status: 0 written; 1 an image differs from its record, or a file cannot be\n"
    "read or written; 2 a usage error.";

inline constexpr const char *kReportFooter =
    "FILE and DIR are paths. The manifest's outputs are read where the merge put them:\n"
    "in --out-dir when given, else beside the manifest; the page goes there too as\n"
    "report.html unless -o names it. Nothing is merged: the page shows the files as\n"
    "they are on disk.\n"
    "\n"
    "Examples:\n"
    "  quorvel report --manifest release.json\n"
    "  quorvel report --manifest release.json --out-dir out -o out/release.html\n"
    "\n"
    "Exit status: 0 written (a page whose outputs are missing or unreadable says so and\n"
    "is still written); 1 the manifest's files cannot be read or the page not written;\n"
    "2 a usage error or a bad manifest (the message names the flag or field).";

inline constexpr const char *kDiffFooter =
    "OLD and NEW are release manifests (JSON) whose outputs were merged, or the\n"
    "release records such merges wrote, which name their outputs; a recorded file\n"
    "that changed since is noted. DIR is the folder a merge put a manifest's\n"
    "outputs in (default: the manifest's folder).\n"
    "Files are compared by their bytes; those that differ are shown with their\n"
    "SHA-256 digests.\n"
    "\n"
    "Examples:\n"
    "  quorvel diff old/release.json new/release.json\n"
    "  quorvel diff old/release.record.json new/release.record.json\n"
    "  quorvel diff old.json new.json --old-out-dir out-old --new-out-dir out-new \\\n"
    "      --report diff.html\n"
    "\n"
    "Exit status: 0 nothing differs; 1 something differs, or the page cannot be\n"
    "written; 2 a usage error, or a manifest that is missing or not one (the\n"
    "message names it).";

} // namespace qvcli
