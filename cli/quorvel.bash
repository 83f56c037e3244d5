# bash completion for quorvel: the subcommands, each one's flags, and files,
# folders or the fixed words for the flags that take them. The lists are the
# command's own flags: tests/cli/help_test.cpp fails when they and the
# command's --help differ (see "Adding a flag" in docs/testing.md).

# The word being completed as the shell will read it, in `cur`: backslash
# escapes and an opening quote taken off, so that "my\ dir/" or "'my dir/"
# finds the files in "my dir". Readline quotes what is offered again.
_quorvel_unquote() {
    local word=$cur i
    case $word in
        \'*) cur=${word#\'} ;;
        \"*) cur=${word#\"} ;;
        *\\*)
            cur=""
            for ((i = 0; i < ${#word}; i++)); do
                [[ ${word:i:1} == \\ ]] && ((i++))
                cur+=${word:i:1}
            done
            ;;
    esac
}

# Offers `compgen ARGS` one line per name, so names with blanks stay whole.
_quorvel_offer() {
    mapfile -t COMPREPLY < <(compgen "$@" -- "$cur")
}

_quorvel() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]} sub="" i
    # "--flag=value": the shell splits the word at "=".
    if [[ $cur == = ]]; then
        cur=""
    elif [[ $prev == = && COMP_CWORD -ge 2 ]]; then
        prev=${COMP_WORDS[COMP_CWORD - 2]}
    fi
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
            merge | flashinfo | inspect | report | export | verify | diff) sub=${COMP_WORDS[i]}; break ;;
        esac
    done
    COMPREPLY=()
    _quorvel_unquote
    case $prev in
        --out-dir | --old-out-dir | --new-out-dir | --extract-fat) _quorvel_offer -d; return ;;
        --kind) _quorvel_offer -W "code e2p rai flashinfo"; return ;;
        --flash-format) _quorvel_offer -W "raw ihex srec"; return ;;
        --rai-base | --trace-version | --sector-size | --sectors | --at) return ;;
        --manifest | --flash-info | --image | --patch | --cus | --e2p-file | --e2p-base | --e2p-area | \
            --e2p-area-out | --out-code | --out-e2p | --out-rai | --log | --report | --from | -o | --output | \
            --record | --out-flash | --readback | --out)
            _quorvel_offer -f; return ;;
    esac

    local flags
    case $sub in
        "") flags="merge flashinfo inspect report export verify diff -h --help -V --version" ;;
        merge) flags="--manifest --out-dir --flash-info --image --patch --cus --e2p-file --e2p-base
                     --e2p-area --e2p-area-out --out-code --out-e2p --out-rai --log --erase-all
                     --lenient --sync --report --record --out-flash --flash-format --json -q --quiet
                     -h --help" ;;
        flashinfo) flags="--from -o --output -q --quiet -h --help" ;;
        inspect) flags="--kind --e2p-base --e2p-file --rai-base --flash-info --e2p-area --trace-version
                       --sector-size --sectors --interleaved --extract-fat --json -q --quiet -h --help" ;;
        report) flags="--manifest --out-dir -o --output -q --quiet -h --help" ;;
        export) flags="--record -o --out --flash-format --sync -h --help" ;;
        verify) flags="--record --remerge --readback --at --flash-format --e2p-content --skip-image-digests --json -h --help" ;;
        diff) flags="--old-out-dir --new-out-dir --report --json -q --quiet -h --help" ;;
    esac
    if [[ ($sub == inspect || $sub == diff) && $cur != -* ]]; then
        _quorvel_offer -f
    else
        _quorvel_offer -W "$flags"
    fi
}
complete -o filenames -F _quorvel quorvel
