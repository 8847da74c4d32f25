# bash completion for vexl. The commands and their options are read from
# vexl's own --help, so a new command completes without a change here.

_vexl()
{
    local cur prev words cword
    _init_completion || return

    local vexl=${words[0]}
    if ((cword == 1)); then
        local commands
        commands=$("$vexl" --help 2>/dev/null | awk '/^commands:/ { on = 1; next } on && /^  [a-z]/ { print $1 }')
        COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
        return
    fi

    case $prev in
        --level) COMPREPLY=($(compgen -W "1 2 3 4 5 6 7 8 9" -- "$cur")); return ;;
        --scale) COMPREPLY=($(compgen -W "1 2 3 4 5 6 7 8" -- "$cur")); return ;;
        --dir) _filedir -d; return ;;
        --format) COMPREPLY=($(compgen -W "mp4 webm mkv gif apng" -- "$cur")); return ;;
        --preset) COMPREPLY=($(compgen -W "ultrafast superfast veryfast faster fast medium slow slower veryslow" -- "$cur")); return ;;
        --frame | --frames | --crop | --size | --from | --to | --crf | --poster) return ;;
    esac

    local command=${words[1]}
    if [[ $cur == -* ]]; then
        local options
        options=$("$vexl" "$command" --help 2>/dev/null | grep -o -- '--[a-z][a-z-]*' | sort -u)
        COMPREPLY=($(compgen -W "$options --help" -- "$cur"))
        return
    fi
    case $command in
        play | mkdemo) _filedir -d ;;
        record | web) ((cword == 2)) && _filedir -d || _filedir ;;
        *) _filedir ;;
    esac
}
complete -F _vexl vexl
