#!/bin/sh
# kd36ctl's whole output for each command on the built-in simulator (standard
# output, standard error and exit status), compared with the transcript kept
# beside this script, so that a change inside the engine cannot change what
# a script sees.
#   transcript_test.sh KD36CTL            compare
#   transcript_test.sh KD36CTL --update   rewrite the kept transcript
set -u
ctl=$1
here=$(cd "$(dirname "$0")" && pwd)
kept="$here/transcript.expected"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
: >"$dir/kd36setup.ini"
cd "$dir" || exit 1

cat >good.ini <<'PROFILE'
[Profile]
Model=QW57
[SystemID]
Write=yes
Value=7654321
[Channel]
Write=yes
Mode=fixed
Channel=33
[Route]
Write=yes
Destination=C
Relay1=2
Relay2=9
Relay3=-
Relay4=-
Relay5=-
[Frame]
Write=yes
ByteLength=200
IdleTime=120
WaitTime=12
SendCount=5
[DeviceInfo]
Write=yes
Value=SITE-7
[RS232C]
Write=yes
Rate=9600
Parity=None
StopBits=1
Flow=H/w
PROFILE
printf '[Channel]\nWrite=yes\nMode=fixed\nChannel=99\n[Frame]\nWrite=yes\nByteLength=64\n' >bad.ini
printf '[Profile]\nModel=QW58\n' >other.ini

run() {
    echo "\$ kd36ctl $*"
    "$ctl" "$@" --ini "$dir/kd36setup.ini" >out 2>err
    code=$?
    sed "s|$dir|DIR|g" out
    sed "s|$dir|DIR|g; s|^|stderr: |" err
    echo "exit $code"
}

{
    run read simulator
    run read simulator --json
    run send simulator @EQID
    run send simulator '@FREQ:M=12'
    run answerback simulator 2,5
    run answerback simulator 0,F --json
    run write simulator good.ini
    run write simulator good.ini --verify
    run write simulator bad.ini
    run write simulator other.ini
    run write simulator missing.ini
    run clone simulator clone.ini
    echo "--- clone.ini"
    cat clone.ini
    run read simulator --baud 19200
    run read COM99
    run frobnicate
    run read
} >transcript 2>&1

if [ "${2:-}" = --update ]; then
    cp transcript "$kept"
    echo "transcript kept in $kept"
    exit 0
fi
if ! diff -u "$kept" transcript; then
    echo "kd36ctl's output changed (rerun with --update only if that is meant)" >&2
    exit 1
fi
