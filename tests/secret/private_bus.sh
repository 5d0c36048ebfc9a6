#!/usr/bin/env bash
# Runs the secret-store tests on a private D-Bus session bus, in a throwaway home (named to the test program,
# which so keeps it), removed at the end.
#   private_bus.sh no-provider BINARY   a bus on which nothing provides the Secret Service
#   private_bus.sh keyring BINARY       a bus with gnome-keyring-daemon, unlocked with a test password;
#                                       two separate processes prove that a restart loads the same key
set -euo pipefail
road="$1"
binary="$2"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

for tool in dbus-run-session $([ "$road" = keyring ] && echo gdbus gnome-keyring-daemon); do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed" && exit 77; }
done

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
mkdir -m 0700 "$scratch/run"
export HOME="$scratch" XDG_DATA_HOME="$scratch/data" XDG_CONFIG_HOME="$scratch/config" \
    XDG_CACHE_HOME="$scratch/cache" XDG_RUNTIME_DIR="$scratch/run" VELMORA_SECRET_SCRATCH="$scratch" \
    VELMORA_SECRET_ROAD="$road" VELMORA_TEST_HOME="$scratch"
unset DISPLAY WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS

case "$road" in
no-provider)
    # No service directories: nothing can be activated for org.freedesktop.secrets.
    sed "s|@RUNDIR@|$scratch/run|" "$here/bare-session.conf" >"$scratch/bus.conf"
    # Not exec'd: the shell stays to run its EXIT trap, which removes the home.
    dbus-run-session --config-file="$scratch/bus.conf" -- "$binary" --gtest_filter='PrivateBus.Answers*'
    ;;
keyring)
    dbus-run-session -- bash -c '
        set -e
        # In the foreground the daemon stays our child, so it can be ended by its own id however the
        # tests end (it does not always leave with the bus).
        printf "velmora-test" | gnome-keyring-daemon --foreground --unlock --components=secrets >/dev/null &
        daemon=$!
        trap "kill $daemon 2>/dev/null || true; wait $daemon 2>/dev/null || true" EXIT
        # Waits, a generous minute at most, for the name on the bus; never activates a second daemon.
        if ! gdbus wait --session --timeout 60 org.freedesktop.secrets || ! kill -0 $daemon 2>/dev/null; then
            echo "skipped: gnome-keyring-daemon did not start"
            exit 77
        fi
        "$1" --gtest_filter="PrivateBus.Answers*:PrivateBus.KeyringFirst*"
        "$1" --gtest_filter="PrivateBus.KeyringSecond*"
    ' bash "$binary"
    ;;
*)
    echo "unknown road: $road" >&2
    exit 2
    ;;
esac
