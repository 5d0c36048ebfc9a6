#!/usr/bin/env bash
# Runs the secret-store tests on a private D-Bus session bus, in a throwaway home.
#   private_bus.sh no-provider BINARY   a bus on which nothing provides the Secret Service
#   private_bus.sh keyring BINARY       a bus with gnome-keyring-daemon, unlocked with a test password;
#                                       two separate processes prove that a restart loads the same key
set -euo pipefail
road="$1"
binary="$2"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

if ! command -v dbus-run-session >/dev/null; then
    echo "skipped: dbus-run-session is not installed"
    exit 77
fi
if [ "$road" = keyring ] && ! command -v gnome-keyring-daemon >/dev/null; then
    echo "skipped: gnome-keyring-daemon is not installed"
    exit 77
fi

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
mkdir -m 0700 "$scratch/run"
export HOME="$scratch" XDG_DATA_HOME="$scratch/data" XDG_CONFIG_HOME="$scratch/config" \
    XDG_CACHE_HOME="$scratch/cache" XDG_RUNTIME_DIR="$scratch/run" VELMORA_SECRET_SCRATCH="$scratch"
unset DISPLAY WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS

case "$road" in
no-provider)
    # No service directories: nothing can be activated for org.freedesktop.secrets.
    sed "s|@RUNDIR@|$scratch/run|" "$here/bare-session.conf" >"$scratch/bus.conf"
    exec dbus-run-session --config-file="$scratch/bus.conf" -- \
        env VELMORA_SECRET_ROAD=no-provider "$binary" --gtest_filter='SecretStoreOnPrivateBus.*'
    ;;
keyring)
    exec dbus-run-session -- bash -c '
        set -e
        # In the foreground the daemon stays our child, so it can be ended by its own id however the
        # tests end (it does not always leave with the bus).
        printf "velmora-test" | gnome-keyring-daemon --foreground --unlock --components=secrets >/dev/null &
        daemon=$!
        trap "kill $daemon 2>/dev/null || true; wait $daemon 2>/dev/null || true" EXIT
        for _ in $(seq 50); do
            # Asks the bus, not the service, so that waiting never activates a second daemon.
            gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
                --method org.freedesktop.DBus.NameHasOwner org.freedesktop.secrets 2>/dev/null | grep -q true && break
            kill -0 $daemon 2>/dev/null || break
            sleep 0.1
        done
        if ! kill -0 $daemon 2>/dev/null; then
            echo "skipped: gnome-keyring-daemon did not start"
            exit 77
        fi
        export VELMORA_SECRET_ROAD=keyring
        "$1" --gtest_filter="SecretStoreOnPrivateBus.*:RealKeyring.FirstStart*"
        "$1" --gtest_filter="RealKeyring.SecondStart*"
    ' bash "$binary"
    ;;
*)
    echo "unknown road: $road" >&2
    exit 2
    ;;
esac
