# bash completion for vorneck-cli
_vorneck_cli() {
    local cur prev
    COMPREPLY=()
    cur="${COMP_WORDS[COMP_CWORD]}"
    prev="${COMP_WORDS[COMP_CWORD-1]}"
    case "$prev" in
        -o|--dest)
            COMPREPLY=($(compgen -d -- "$cur"))
            return ;;
        -f|--format)
            COMPREPLY=($(compgen -W "raw wav aiff 8svx flac" -- "$cur"))
            return ;;
        --manifest)
            COMPREPLY=($(compgen -f -- "$cur"))
            return ;;
        -p|--pattern|--name)
            return ;;
    esac
    if [[ "$cur" == -* ]]; then
        COMPREPLY=($(compgen -W "-o --dest -m --dir-per-module -p --pattern -c --match-case -r --recursive
            -f --format --name --manifest --dedupe -a --all-formats -n --dry-run -0 --null -q --quiet
            -h --help -V --version" -- "$cur"))
        return
    fi
    COMPREPLY=($(compgen -f -- "$cur"))
}
complete -o filenames -F _vorneck_cli vorneck-cli
