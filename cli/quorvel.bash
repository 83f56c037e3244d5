# bash completion for quorvel: the subcommands, each one's flags, and files,
# folders or the fixed words for the flags that take them.
_quorvel() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]} sub="" i
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
            merge | flashinfo | inspect | report | diff) sub=${COMP_WORDS[i]}; break ;;
        esac
    done
    COMPREPLY=()
    case $prev in
        --out-dir | --old-out-dir | --new-out-dir | --extract-fat) COMPREPLY=($(compgen -d -- "$cur")); return ;;
        --kind) COMPREPLY=($(compgen -W "code e2p rai flashinfo" -- "$cur")); return ;;
        --rai-base | --trace-version | --sector-size | --sectors) return ;;
        --manifest | --flash-info | --image | --patch | --cus | --e2p-file | --e2p-base | --e2p-area | \
            --e2p-area-out | --out-code | --out-e2p | --out-rai | --log | --report | --from | -o | --output)
            COMPREPLY=($(compgen -f -- "$cur")); return ;;
    esac

    local flags
    case $sub in
        "") flags="merge flashinfo inspect report diff -h --help -V --version" ;;
        merge) flags="--manifest --out-dir --flash-info --image --patch --cus --e2p-file --e2p-base
                     --e2p-area --e2p-area-out --out-code --out-e2p --out-rai --log --erase-all
                     --lenient --sync --report --json -q --quiet -h --help" ;;
        flashinfo) flags="--from -o --output -q --quiet -h --help" ;;
        inspect) flags="--kind --e2p-base --e2p-file --rai-base --flash-info --e2p-area --trace-version
                       --sector-size --sectors --interleaved --extract-fat --json -q --quiet -h --help" ;;
        report) flags="--manifest -o --output -h --help" ;;
        diff) flags="--old-out-dir --new-out-dir --report --json -q --quiet -h --help" ;;
    esac
    if [[ ($sub == inspect || $sub == diff) && $cur != -* ]]; then
        COMPREPLY=($(compgen -f -- "$cur"))
    else
        COMPREPLY=($(compgen -W "$flags" -- "$cur"))
    fi
}
complete -o filenames -F _quorvel quorvel
