// What the command's help says besides the flags themselves: the forms of
// the values, examples and the exit statuses. The man page (docs/quorvel.1)
// says the same in more words.
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

inline constexpr const char *kDiffFooter =
    "OLD and NEW are release manifests (JSON) whose outputs were merged; DIR is the\n"
    "folder a merge put a manifest's outputs in (as merge --out-dir; default: the\n"
    "manifest's folder). Files are compared by their bytes; those that differ are\n"
    "shown with their SHA-256 digests.\n"
    "\n"
    "Examples:\n"
    "  quorvel diff old/release.json new/release.json\n"
    "  quorvel diff old.json new.json --old-out-dir out-old --new-out-dir out-new \\\n"
    "      --report diff.html\n"
    "\n"
    "Exit status: 0 nothing differs; 1 something differs, or the page cannot be\n"
    "written; 2 a usage error, or a manifest that is missing or not one (the\n"
    "message names it).";

} // namespace qvcli
