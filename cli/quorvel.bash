# bash completion for quorvel: the subcommands, each one's flags, and files,
# folders or the fixed words for the flags that take them.
_quorvel() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]} sub="" i
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
            merge | flashinfo | inspect | report | export | verify) sub=${COMP_WORDS[i]}; break ;;
        esac
    done
    COMPREPLY=()
    case $prev in
        --out-dir | --extract-fat) COMPREPLY=($(compgen -d -- "$cur")); return ;;
        --kind) COMPREPLY=($(compgen -W "code e2p rai flashinfo" -- "$cur")); return ;;
        --flash-format) COMPREPLY=($(compgen -W "raw ihex srec" -- "$cur")); return ;;
        --rai-base | --trace-version | --sector-size | --sectors | --at) return ;;
        --manifest | --flash-info | --image | --patch | --cus | --e2p-file | --e2p-base | --e2p-area | \
            --e2p-area-out | --out-code | --out-e2p | --out-rai | --log | --report | --from | -o | --output | \
            --record | --out-flash | --readback | --out)
            COMPREPLY=($(compgen -f -- "$cur")); return ;;
    esac

    local flags
    case $sub in
        "") flags="merge flashinfo inspect report export verify -h --help -V --version" ;;
        merge) flags="--manifest --out-dir --flash-info --image --patch --cus --e2p-file --e2p-base
                     --e2p-area --e2p-area-out --out-code --out-e2p --out-rai --log --erase-all
                     --lenient --sync --report --record --out-flash --flash-format --json -q --quiet
                     -h --help" ;;
        flashinfo) flags="--from -o --output -q --quiet -h --help" ;;
        inspect) flags="--kind --e2p-base --rai-base --flash-info --e2p-area --trace-version
                       --sector-size --sectors --interleaved --extract-fat --json -q --quiet -h --help" ;;
        report) flags="--manifest -o --output -h --help" ;;
        export) flags="--record -o --out --flash-format --sync -h --help" ;;
        verify) flags="--record --remerge --readback --at --flash-format --e2p-content --json -h --help" ;;
    esac
    if [[ $sub == inspect && $cur != -* ]]; then
        COMPREPLY=($(compgen -f -- "$cur"))
    else
        COMPREPLY=($(compgen -W "$flags" -- "$cur"))
    fi
}
complete -o filenames -F _quorvel quorvel
