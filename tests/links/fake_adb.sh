#!/bin/sh
# Stands in for adb in the tests. Every call is appended to $FAKE_ADB_DIR/calls.log; the answer comes from
# files in $FAKE_ADB_DIR named after the command:
#   devices           adb devices -l
#   list.SERIAL       adb -s SERIAL forward --list
#   create.SERIAL     adb -s SERIAL forward tcp:0 tcp:47625
#   remove.SERIAL.N   adb -s SERIAL forward --remove tcp:N
# NAME.out is printed on standard output, NAME.err on standard error, NAME.rc is the exit status (0 when
# NAME.out exists, else 1 with adb's "not found" error), NAME.sleep waits that many seconds first, and
# NAME.flood prints its text forever.
dir="${FAKE_ADB_DIR:?}"
printf '%s\n' "$*" >>"$dir/calls.log"

case "$*" in
"devices -l") name=devices ;;
"-s "*" forward --list") name="list.$2" ;;
"-s "*" forward tcp:0 tcp:47625") name="create.$2" ;;
"-s "*" forward --remove tcp:"*) name="remove.$2.${5#tcp:}" ;;
*)
    echo "adb: usage: unknown command $*" >&2
    exit 1
    ;;
esac

[ -f "$dir/$name.sleep" ] && sleep "$(cat "$dir/$name.sleep")"
[ -f "$dir/$name.flood" ] && exec yes "$(cat "$dir/$name.flood")"
[ -f "$dir/$name.err" ] && cat "$dir/$name.err" >&2
if [ -f "$dir/$name.out" ]; then
    cat "$dir/$name.out"
    rc=0
else
    echo "adb: error: device '$2' not found" >&2
    rc=1
fi
[ -f "$dir/$name.rc" ] && rc="$(cat "$dir/$name.rc")"
exit "$rc"
