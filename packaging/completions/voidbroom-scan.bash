# bash completion for voidbroom-scan: its options, the modes, and folders.
_voidbroom_scan() {
    local cur prev
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    case $prev in
        --mode)
            COMPREPLY=($(compgen -W '0 1 2' -- "$cur"))
            return ;;
        --threads)
            COMPREPLY=($(compgen -W '1 2 4 8 16 32 64' -- "$cur"))
            return ;;
        --older-than)
            COMPREPLY=($(compgen -W '7d 30d 90d 365d 12h' -- "$cur"))
            return ;;
        --junk|--keep|--exclude)
            return ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '--mode --null -0 --json --delete --trash --threads
            --progress --no-progress --stats --junk --junk-common --keep --exclude
            --older-than --help --version --' -- "$cur"))
        return
    fi
    compopt -o filenames 2>/dev/null
    COMPREPLY=($(compgen -d -- "$cur"))
}
complete -F _voidbroom_scan voidbroom-scan
