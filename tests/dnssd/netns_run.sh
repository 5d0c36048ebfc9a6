#!/bin/sh
# Runs a program inside network, mount and PID namespaces of its own, beside a private D-Bus system bus and an
# avahi-daemon that uses only the namespace's loopback: nothing it announces or asks leaves the namespace.
# When the namespace or the daemons cannot start it says why and exits 77, which CTest counts as skipped.
# Everything started here ends with the namespace's first process (this script, inside).
set -u
skip() {
    echo "SKIPPED: $*"
    exit 77
}

if [ "${VELMORA_IN_NETNS:-}" != 1 ]; then
    for tool in unshare ip dbus-daemon avahi-daemon avahi-publish; do
        command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed (deps/apt/dnssd.txt)"
    done
    why="$(unshare --net --mount --pid --fork true 2>&1)" || skip "no namespaces here: $why"
    VELMORA_IN_NETNS=1 exec unshare --net --mount --pid --fork --kill-child --mount-proc --propagation private \
        -- "$0" "$@"
fi

work="$(mktemp -d)" || skip "no temporary folder"
ip link set lo up && ip link set lo multicast on || skip "the namespace's loopback did not come up"
# The daemon's pid file and static services live in these folders: private copies, empty.
mount -t tmpfs tmpfs /run && mkdir -p /run/avahi-daemon || skip "cannot mount a private /run"
[ -d /etc/avahi/services ] && mount -t tmpfs tmpfs /etc/avahi/services

cat >"$work/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$work/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_type="method_return"/>
    <allow send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="signal"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
  </policy>
</busconfig>
CONF
cat >"$work/avahi.conf" <<CONF
[server]
use-ipv4=yes
use-ipv6=no
allow-interfaces=lo
enable-dbus=yes
disallow-other-stacks=no
ratelimit-interval-usec=0
[wide-area]
enable-wide-area=no
[publish]
publish-hinfo=no
publish-workstation=no
[reflector]
enable-reflector=no
CONF

dbus-daemon --config-file="$work/bus.conf" --fork >/dev/null || skip "dbus-daemon did not start"
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/bus"
avahi-daemon -f "$work/avahi.conf" --no-drop-root --no-chroot --no-rlimits -D 2>"$work/avahi.err" ||
    skip "avahi-daemon did not start: $(cat "$work/avahi.err")"
"$@"
status=$?
rm -rf "$work"
exit "$status"
