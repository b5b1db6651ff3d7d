#!/bin/bash
# The bash completion of kd36ctl, run as bash runs it: commands, option
# choices and the COM numbers kd36ctl itself lists.
# usage: completion_test.sh <completion-script> <folder-of-kd36ctl>
set -u
source "$1"
export PATH="$2:$PATH"
# An empty settings file: the simulator and the devices here, no pins.
export XDG_CONFIG_HOME=$(mktemp -d)
trap 'rm -rf "$XDG_CONFIG_HOME"' EXIT
fails=0
complete_line() { # the words of the line, the last one being completed
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _kd36ctl
    echo "${COMPREPLY[*]}"
}
expect() { # want, then the line
    local want=$1; shift
    local got; got=$(complete_line "$@")
    if [ "$got" != "$want" ]; then
        echo "FAIL: '$*' completes to '$got', not '$want'"
        fails=$((fails + 1))
    fi
}
expect "read" kd36ctl re
expect "answerback" kd36ctl --ini x.ini a
expect "odd" kd36ctl read COM1 --parity o
expect "--verify --version" kd36ctl write COM1 p.ini --ver
got=$(complete_line kd36ctl read C)
case " $got " in *" COM1 "*) ;; *) echo "FAIL: no COM1 among '$got'"; fails=$((fails + 1)) ;; esac
expect "simulator" kd36ctl send --baud 9600 sim
expect "" kd36ctl ports ""
[ $fails -eq 0 ] && echo "completion checks passed"
exit $fails
