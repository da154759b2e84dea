# bash completion for zod-tvq: commands, their options and values, and file names.
_zod_tvq() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local command="" i
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
        convert | encode | info | help) command=${COMP_WORDS[i]} && break ;;
        esac
    done
    case $prev in
    --to) mapfile -t COMPREPLY < <(compgen -W "bmp png" -- "$cur") && return ;;
    --level) mapfile -t COMPREPLY < <(compgen -W "1 2 3 4 5" -- "$cur") && return ;;
    --factor | --max-pixels) COMPREPLY=() && return ;;
    -o | --output)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$cur") && return
        ;;
    esac
    local words
    case $command in
    "") words="convert encode info help --help --help-all --version" ;;
    help) words="convert encode info" ;;
    convert) words="--factor --level --to -o --output --force --no-sync -q --quiet
                    --allow-sparse --max-pixels --help" ;;
    encode) words="--factor --level --dither -o --output --force --no-sync -q --quiet
                   --max-pixels --help" ;;
    info) words="--json --max-pixels --help" ;;
    esac
    if [[ -z $command || $command == help || $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$words" -- "$cur")
        return
    fi
    # TVQ files for convert and info, any file for encode; folders to walk into.
    compopt -o filenames 2>/dev/null
    if [[ $command == encode ]]; then
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    else
        mapfile -t COMPREPLY < <(compgen -d -- "$cur"; compgen -f -X '!*.[tT][vV][qQ]' -- "$cur")
    fi
}
complete -F _zod_tvq zod-tvq
