# Sourced by the end-to-end tests, the leak box test and the benchmark
# scripts: a private X server.
#   xvfb_start DIR
# starts Xvfb on a display number of its own choosing (so parallel runs never
# clash), writes its display file and log into DIR, exports DISPLAY and sets
# XVFB_PID (the caller stops it on exit). Returns 1 when the server is not up
# within five seconds.
xvfb_start() {
  local dir=$1 _
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/display" 2>"$dir/xvfb.log" &
  XVFB_PID=$!
  for _ in $(seq 100); do [ -s "$dir/display" ] && break; sleep 0.05; done
  [ -s "$dir/display" ] || return 1
  DISPLAY=":$(head -n1 "$dir/display")"
  export DISPLAY
}
