# Sourced by the benchmark scripts: a private Xvfb, and a scratch directory
# $WORK holding the program, with a silent stand-in for the leak report box.
# Needs BIN (the build's bin directory). Kills PID too, if set, on exit.
WORK=$(mktemp -d)
PID=
XVFB_PID=
trap '[[ -n $XVFB_PID ]] && kill $XVFB_PID 2>/dev/null; [[ -n $PID ]] && kill -9 $PID 2>/dev/null; rm -rf "$WORK"' EXIT
source "$(dirname "${BASH_SOURCE[0]}")/../tests/support/xvfb.sh"
xvfb_start "$WORK" || { echo "Xvfb did not start" >&2; exit 1; }
cp "$BIN/vevez" "$WORK/"
printf '#!/bin/sh\n' > "$WORK/vevez-leakbox"
chmod +x "$WORK/vevez-leakbox"
