# Sourced by the benchmark scripts: a private Xvfb, and a scratch directory
# $WORK holding the program, with a silent stand-in for the leak report box.
# Needs BIN (the build's bin directory). Kills PID too, if set, on exit.
WORK=$(mktemp -d)
PID=
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$WORK/display" 2>/dev/null &
XVFB=$!
trap 'kill $XVFB 2>/dev/null; [[ -n $PID ]] && kill -9 $PID 2>/dev/null; rm -rf "$WORK"' EXIT
for _ in $(seq 100); do [[ -s $WORK/display ]] && break; sleep 0.05; done
export DISPLAY=:$(head -n1 "$WORK/display")
cp "$BIN/vevez" "$WORK/"
printf '#!/bin/sh\n' > "$WORK/vevez-leakbox"
chmod +x "$WORK/vevez-leakbox"
