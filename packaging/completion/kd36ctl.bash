# bash completion for kd36ctl: commands, options and their choices, the COM
# numbers that 'kd36ctl ports' lists, profiles for write and clone.
_kd36ctl()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local valued='--ini --baud --data-bits --parity --stop-bits --flow --wait --interval --count'
    COMPREPLY=()
    case $prev in
        --ini) COMPREPLY=($(compgen -f -- "$cur")); return ;;
        --baud) COMPREPLY=($(compgen -W '4800 9600 19200 38400 57600 115200' -- "$cur")); return ;;
        --data-bits) COMPREPLY=($(compgen -W '5 6 7 8' -- "$cur")); return ;;
        --parity) COMPREPLY=($(compgen -W 'none odd even mark space' -- "$cur")); return ;;
        --stop-bits) COMPREPLY=($(compgen -W '1 1.5 2' -- "$cur")); return ;;
        --flow) COMPREPLY=($(compgen -W 'none xonxoff rtscts' -- "$cur")); return ;;
        --wait | --interval | --count) return ;;
    esac
    # The command and the arguments before the word being completed.
    local i w cmd='' nargs=0 skip=0
    for ((i = 1; i < COMP_CWORD; i++)); do
        w=${COMP_WORDS[i]}
        if ((skip)); then skip=0; continue; fi
        case " $valued " in *" $w "*) skip=1; continue ;; esac
        case $w in
            -*) continue ;;
            *) if [[ -z $cmd ]]; then cmd=$w; else ((nargs++)); fi ;;
        esac
    done
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$valued --json --verify --help --version" -- "$cur"))
        return
    fi
    if [[ -z $cmd ]]; then
        COMPREPLY=($(compgen -W 'ports read write clone send answerback watch' -- "$cur"))
        return
    fi
    case $cmd:$nargs in
        ports:*) ;;
        *:0)
            local ports
            ports=$(kd36ctl ports 2>/dev/null | while read -r p _; do printf '%s ' "$p"; done)
            COMPREPLY=($(compgen -W "$ports simulator" -- "$cur"))
            [[ $cur == /* ]] && COMPREPLY+=($(compgen -f -- "$cur"))
            ;;
        write:1 | clone:1) COMPREPLY=($(compgen -f -- "$cur")) ;;
    esac
}
complete -F _kd36ctl kd36ctl
