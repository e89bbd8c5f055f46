#!/usr/bin/env bash
# What the sound cues sound like, measured on a recording.
#
#   sound_cues_test.sh SOUND_PROBE WAV_SCAN CUE_DIR
#
# Starts a private PulseAudio server with a null sink, plays cues into it
# through vz::SoundPlayer (sound_probe), records the sink's monitor with
# parecord and measures each recording with wav_scan. Every check is on the
# recorded audio or on what the probe reports; none on how long anything took.
set -euo pipefail

probe=$1
scan=$2
cue_dir=$3

for tool in pulseaudio pactl pacat parecord sox; do
  if ! command -v "$tool" >/dev/null; then
    echo "FAIL: $tool is not installed (scripts/packages.txt lists it)"
    exit 1
  fi
done

tmp=$(mktemp -d "${TMPDIR:-/tmp}/vevez-sound.XXXXXX")
server="" keeper="" recorder="" player="" watchdog=""

stop_pid() {
  local pid=$1 sig=${2:-TERM}
  [[ -n $pid ]] || return 0
  kill "-$sig" "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  forget "$pid"
}
# forget PID: takes an ended process off the watchdog's list below, so that
# it never signals a process id the system has handed out again.
forget() { [[ ! -f $tmp/pids ]] || sed -i "/^$1\$/d" "$tmp/pids"; }
cleanup() {
  stop_pid "$watchdog"
  stop_pid "$player"
  stop_pid "$recorder" INT
  stop_pid "$keeper"
  stop_pid "$server"
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# Should the test itself be killed outright (SIGKILL, so no trap runs), this
# ends the server and the streams it started and removes their directory.
touch "$tmp/pids"
(
  trap '' INT
  while kill -0 $$ 2>/dev/null; do sleep 1; done
  xargs -r kill <"$tmp/pids" 2>/dev/null
  rm -rf "$tmp"
) &
watchdog=$!
spawned() { echo "$1" >>"$tmp/pids"; }

# Everything the server and its clients use lives in the temporary directory,
# so the test neither finds nor disturbs a sound server already running.
mkdir -p "$tmp/home" "$tmp/run" "$tmp/cwd" "$tmp/exe"
chmod 700 "$tmp/run"
export HOME=$tmp/home XDG_RUNTIME_DIR=$tmp/run XDG_CONFIG_HOME=$tmp/home/.config
export PULSE_RUNTIME_PATH=$tmp/run/pulse PULSE_STATE_PATH=$tmp/home/state
export PULSE_SERVER=unix:$tmp/pulse.sock
unset DISPLAY DBUS_SESSION_BUS_ADDRESS PULSE_SINK PULSE_SOURCE

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "ok:   $*"; }

start_server() {
  rm -f "$tmp/pulse.sock"
  # -n: none of the usual modules, so nothing suspends the sink or moves
  # streams; only the socket and the sink the test records from.
  pulseaudio -n --daemonize=no --system=false --use-pid-file=no --disallow-exit \
    --exit-idle-time=-1 --log-target=file:"$tmp/pulse.log" \
    --load="module-native-protocol-unix socket=$tmp/pulse.sock auth-anonymous=1" \
    --load="module-null-sink sink_name=quiz rate=44100" &
  server=$!
  spawned "$server"
  local i
  for ((i = 0; i < 100; i++)); do
    pactl info >/dev/null 2>&1 && break
    kill -0 "$server" 2>/dev/null || { echo "FAIL: pulseaudio did not start"; cat "$tmp/pulse.log"; exit 1; }
    sleep 0.1
  done
  pactl info >/dev/null 2>&1 || { echo "FAIL: pulseaudio does not answer"; exit 1; }
  # A low-latency stream of silence keeps the sink rendering in small steps
  # all the time, so the monitor carries each sound at the moment it plays.
  pacat --playback -d quiz --latency-msec=10 --raw --format=s16le --rate=44100 \
    --channels=1 /dev/zero &
  keeper=$!
  spawned "$keeper"
}

stop_server() {
  stop_pid "$keeper"
  keeper=""
  stop_pid "$server"
  server=""
}

# rec_start FILE: records the sink from now on, returning once audio flows.
rec_start() {
  local file=$1 i size
  rm -f "$file"
  parecord -d quiz.monitor --latency-msec=10 --file-format=wav --channels=1 --rate=44100 "$file" &
  recorder=$!
  spawned "$recorder"
  # An idle null sink renders in blocks of up to 2 s; wait until 0.1 s of
  # audio has come through, after which the keeper stream sets the pace.
  for ((i = 0; i < 100; i++)); do
    size=$(stat -c %s "$file" 2>/dev/null || echo 0)
    ((size > 44 + 8820)) && return 0
    sleep 0.1
  done
  echo "FAIL: the recorder got no audio from the sink"
  exit 1
}

# rec_stop: keeps recording a little longer so that the end of the last
# sound is caught, then stops the recorder (SIGINT makes it finish the file).
rec_stop() {
  sleep 0.3
  stop_pid "$recorder" INT
  recorder=""
}

# run_probe STEP...: runs the probe from $tmp/cwd with $tmp/exe/ as the
# executable's directory; its output is kept in $out.
run_probe() {
  local status=0
  out=$(cd "$tmp/cwd" && timeout 20 "$probe" --exe-dir "$tmp/exe/" "$@" 2>"$tmp/probe.err") || status=$?
  echo "$out" | sed 's/^/      probe: /'
  if ((status != 0)); then
    fail "sound_probe exited with $status: $(cat "$tmp/probe.err")"
  fi
}

# field TEXT NAME: the number after NAME= in TEXT, or -1 when there is none.
field() {
  local v
  v=$(sed -n "s/.*\b$2=\([0-9][0-9]*\).*/\1/p" <<<"$1")
  echo "${v:--1}"
}

# measure WAV [F1 [F2]]: wav_scan's figures, printed and kept in $m.
measure() {
  m=$("$scan" "$@")
  echo "      $(basename "$1"): $m"
}

# recorded NAME "[F1 [F2]]" STEP...: runs the probe while the sink is recorded
# into $tmp/NAME.wav, then measures the recording.
recorded() {
  local name=$1 freqs=$2
  shift 2
  rec_start "$tmp/$name.wav"
  run_probe "$@"
  rec_stop
  # shellcheck disable=SC2086 # the frequencies are separate words
  measure "$tmp/$name.wav" $freqs
}

tone() { # tone FILE FREQ SECONDS
  sox -D -n -r 44100 -c 1 -b 16 "$1" synth "$3" sine "$2" fade q 0.005 "$3" 0.005 gain -6
}

# --- The measuring tool itself must see what is there --------------------
tone "$tmp/a.wav" 440 1.0
tone "$tmp/b.wav" 2000 0.3
sox -D -m "$tmp/a.wav" "|sox -D $tmp/b.wav -p pad 0.3" "$tmp/mixed.wav"
sox -D "$tmp/a.wav" "$tmp/b.wav" "$tmp/joined.wav"
measure "$tmp/mixed.wav" 440 2000
if (($(field "$m" both_ms) >= 250)); then ok "wav_scan sees two tones sounding together"; else
  fail "wav_scan misses two tones sounding together for 300 ms"; fi
measure "$tmp/joined.wav" 440 2000
if (($(field "$m" both_ms) <= 10 && $(field "$m" f1_ms) >= 990 && $(field "$m" f2_ms) >= 290)); then
  ok "wav_scan tells one tone after another"; else fail "wav_scan on two tones in turn: $m"; fi

# --- Cue files ------------------------------------------------------------
tone "$tmp/cwd/tone1k.wav" 1000 0.2
tone "$tmp/cwd/long440.wav" 440 1.0
tone "$tmp/cwd/tone2k.wav" 2000 0.3
tone "$tmp/cwd/here.wav" 440 0.2   # found in the current directory ...
tone "$tmp/exe/here.wav" 2000 0.2  # ... before this one
tone "$tmp/exe/there.wav" 2000 0.2 # only in the executable's directory

start_server

echo "== a 0.2 s cue is heard whole"
recorded whole 1000 play:tone1k.wav sleep:500
heard=$(field "$m" heard_ms)
if ((heard >= 180 && heard <= 260)) && (($(field "$m" f1_ms) >= 180)); then
  ok "0.2 s cue heard for $heard ms"; else fail "0.2 s cue heard for $heard ms (want 180-260)"; fi

echo "== a new cue cuts off the one still playing"
recorded cut "440 2000" play:long440.wav sleep:300 play:tone2k.wav sleep:600
first=$(field "$m" f1_ms) second=$(field "$m" f2_ms) both=$(field "$m" both_ms)
if ((first >= 200 && second >= 280)); then ok "both cues heard ($first ms, $second ms)"; else
  fail "both cues should be heard: first $first ms (want >= 200), second $second ms (want >= 280)"; fi
if ((both <= 50 && first <= 450)); then ok "first cue cut off: $both ms of the two together"; else
  fail "first cue not cut off: $both ms of the two together (want <= 50), first heard $first ms of 1000"; fi

echo "== Stop, and a cue that cannot be found, end the one playing"
for step in stop play:nosuch.wav; do
  recorded "cut-${step#play:}" 440 play:long440.wav sleep:300 "$step" sleep:500
  first=$(field "$m" f1_ms)
  if ((first >= 200 && first <= 450)); then ok "$step: cue ended after $first ms"; else
    fail "cue heard for $first ms though $step came at 300 ms (want 200-450)"; fi
done

echo "== a missing file plays nothing"
recorded missing "" play:nosuch.wav sleep:400
if [[ $out == *"play nosuch.wav silent"* ]] && (($(field "$m" heard_ms) == 0)) && [[ ! -s $tmp/probe.err ]]; then
  ok "missing file: silence, no error"; else fail "missing file: probe said '$out', heard $(field "$m" heard_ms) ms"; fi

echo "== the current directory first, then the executable's"
recorded search "440 2000" play:here.wav sleep:400
if (($(field "$m" f1_ms) >= 180 && $(field "$m" f2_ms) == 0)); then ok "the current directory's file played"; else
  fail "here.wav: want the current directory's 440 Hz file only: $m"; fi
recorded exedir "440 2000" play:there.wav sleep:400
if (($(field "$m" f2_ms) >= 180 && $(field "$m" f1_ms) == 0)); then ok "the executable's directory's file played"; else
  fail "there.wav: want the executable directory's 2000 Hz file: $m"; fi

echo "== the cues the build makes"
for cue in yes no timeup allok; do
  file=$cue_dir/$cue.wav
  if [[ ! -f $file ]]; then fail "$file was not made"; continue; fi
  len=$(soxi -D "$file")
  measure "$file"
  own=$(field "$m" heard_ms)
  cp "$file" "$tmp/cwd/"
  recorded "cue-$cue" "" "play:$cue.wav" sleep:1000
  heard=$(field "$m" heard_ms)
  if awk -v l="$len" 'BEGIN { exit !(l >= 0.15 && l <= 0.8) }' && ((heard >= own - 20 && heard <= own + 20)); then
    ok "$cue.wav ($len s) heard for $heard ms of its $own ms above silence"; else
    fail "$cue.wav ($len s): heard $heard ms, the file holds $own ms above silence"; fi
done

echo "== no sound server: silence, no error, no hang"
out=$(cd "$tmp/cwd" && PULSE_SERVER=unix:$tmp/none.sock timeout 20 "$probe" play:tone1k.wav play:tone2k.wav 2>"$tmp/probe.err") &&
  status=0 || status=$?
echo "$out" | sed 's/^/      probe: /'
if ((status == 0)) && [[ $out == *"play tone1k.wav silent"* ]]; then ok "no server: silent"; else
  fail "no server: probe exited with $status: $out $(cat "$tmp/probe.err")"; fi

echo "== the sound server restarts between two cues"
rec_start "$tmp/before.wav"
(cd "$tmp/cwd" && exec timeout 30 "$probe" play:tone1k.wav "wait:$tmp/restarted" play:tone2k.wav sleep:600 \
  >"$tmp/restart.out" 2>"$tmp/probe.err") &
player=$!
spawned "$player"
sleep 0.5
rec_stop
stop_server
start_server
rec_start "$tmp/after.wav"
touch "$tmp/restarted"
wait "$player" && status=0 || status=$?
forget "$player"
player=""
rec_stop
sed 's/^/      probe: /' "$tmp/restart.out"
measure "$tmp/before.wav" 1000
measure "$tmp/after.wav" 2000
if ((status == 0 && $(field "$m" f1_ms) >= 280)); then ok "the cue after the restart played"; else
  fail "after a restart of the sound server: probe exited with $status, second cue heard $(field "$m" f1_ms) ms"; fi

threads=$(grep -h '^threads' "$tmp/restart.out" || true)
if [[ $threads =~ before=([0-9]+)\ most=([0-9]+)\ after=([0-9]+) ]] &&
  ((BASH_REMATCH[2] > BASH_REMATCH[1] && BASH_REMATCH[3] <= BASH_REMATCH[1])); then
  ok "the library's threads ended with the player ($threads)"; else
  fail "threads left running or never seen: $threads"; fi

stop_server
if ((failures > 0)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all sound checks passed"
