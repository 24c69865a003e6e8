#!/usr/bin/env bash
# Runs a test program as on a user's desktop: a virtual X display (no window manager) inside a
# private D-Bus session, with the accessibility bus started, so that the test can read its
# windows from outside the process as a screen reader does. Where the programs are missing it
# runs the test as it is, telling it why in VELMORA_NO_DESKTOP, and the test skips.
# Usage: desktop-session.sh PROGRAM [ARG]...
set -euo pipefail

for tool in dbus-run-session dbus-send xvfb-run; do
    if ! command -v "$tool" >/dev/null; then
        export VELMORA_NO_DESKTOP="$tool is not installed (scripts/install-deps.sh test installs it)"
        exec "$@"
    fi
done

if [ -z "${VELMORA_IN_DESKTOP_SESSION:-}" ]; then
    export VELMORA_IN_DESKTOP_SESSION=1
    exec dbus-run-session -- xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

# Inside the session: the accessibility bus is started on demand; start it now, so that the
# program finds it when it starts instead of waiting for a screen reader to ask for it.
if ! dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1; then
    export VELMORA_NO_DESKTOP="the accessibility bus (org.a11y.Bus, package at-spi2-core) did not start"
fi
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
unset QT_LOGGING_RULES
exec "$@"
