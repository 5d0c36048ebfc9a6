#!/bin/sh
# Runs a program in network, mount and PID namespaces of its own beside a private system bus and an avahi-daemon
# on loopback only: nothing leaves, and all ends with it. Exits 77 (CTest: skipped), saying why, if it cannot.
set -u
skip() { echo "SKIPPED: $*"; exit 77; }
if [ "${VELMORA_IN_NETNS:-}" != 1 ]; then
    for tool in unshare ip dbus-daemon avahi-daemon avahi-publish; do
        command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed (deps/apt/dnssd.txt)"
    done
    why="$(unshare --net --mount --pid --fork true 2>&1)" || skip "no namespaces here: $why"
    VELMORA_IN_NETNS=1 exec unshare --net --mount --pid --fork --kill-child --mount-proc -- "$0" "$@"
fi
work="$(mktemp -d)" || skip "no temporary folder"
trap 'rm -rf "$work"' EXIT
ip link set lo up && ip link set lo multicast on || skip "the loopback did not come up"
# Private, empty copies of the daemon's pid folder and static services.
mount -t tmpfs tmpfs /run && mkdir -p /run/avahi-daemon || skip "cannot mount a private /run"
[ -d /etc/avahi/services ] && mount -t tmpfs tmpfs /etc/avahi/services
cat >"$work/bus.conf" <<CONF
<busconfig><type>system</type><listen>unix:path=$work/bus</listen><auth>EXTERNAL</auth>
<policy context="default"><allow user="*"/><allow own="*"/><allow send_destination="*"/>
<allow receive_sender="*"/></policy></busconfig>
CONF
printf '[server]\nuse-ipv6=no\nallow-interfaces=lo\nratelimit-interval-usec=0\n[wide-area]\nenable-wide-area=no\n' \
    >"$work/avahi.conf"
dbus-daemon --config-file="$work/bus.conf" --fork >/dev/null || skip "dbus-daemon did not start"
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/bus"
export VELMORA_AVAHI_START="avahi-daemon -f $work/avahi.conf --no-drop-root --no-chroot --no-rlimits -D"
$VELMORA_AVAHI_START 2>"$work/err" || skip "avahi-daemon did not start: $(cat "$work/err")"
"$@"
