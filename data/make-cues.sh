#!/bin/sh
# shellcheck disable=SC2086 # $fmt is split into its words on purpose
# Makes the four sound cues with sox into the directory given:
#   yes.wav     correct answer: a bright rising two-note chime
#   no.wav      wrong answer: two low falling notes with a soft buzz
#   timeup.wav  time-out: three quick falling pips
#   allok.wav   end of a pass: a little fanfare
# All are 16-bit PCM, mono, 44.1 kHz, 0.15-0.8 s long, and start and end with
# a short fade so that they do not click. Output is the same on every run
# (no dither), so the files can be compared and cached.
set -eu

dest_dir=${1:?usage: make-cues.sh OUTPUT_DIR}
work=$(mktemp -d "${TMPDIR:-/tmp}/vevez-cues.XXXXXX")
trap 'rm -rf "$work"' EXIT
trap 'exit 1' INT TERM HUP
# The cues are made here and moved into place together at the end, so an
# interrupted run leaves no half-made file behind.
out=$work/out
mkdir -p "$out"

# Output format; left unquoted where used, to split into its words.
fmt="-r 44100 -c 1 -b 16 -e signed-integer"

# note FILE LENGTH PITCH WAVE OVERTONE_GAIN
# One note with an octave overtone: a quick attack, then an even fade to
# silence over the rest of its length.
# PITCH is in semitones from A4 (440 Hz); WAVE is a sox synth waveform.
note() {
  sox -D -r 44100 -c 2 -n $fmt "$1" synth "$2" "$4" "%$3" sine "%$(($3 + 12))" \
    remix "1v0.7,2v$5" fade t 0.004 "$2" "$(echo "$2" | awk '{ print $1 - 0.006 }')"
}

# place FILE DELAY: FILE padded with DELAY seconds of silence in front.
place() {
  sox -D "$1" "$work/p$2-$(basename "$1")" pad "$2"
  echo "$work/p$2-$(basename "$1")"
}

# finish OUT FILES...: mixes FILES (each already placed in time; "-v FACTOR"
# before a file sets its share of the mix instead of an equal share), smooths
# the top end, and levels the result to a gentle peak.
finish() {
  dest=$1
  shift
  sox -D -m "$@" $fmt "$work/mix.wav"
  sox -D "$work/mix.wav" $fmt "$dest" lowpass 6000 gain -n -4 fade t 0.002 -0 0.01
}

# Correct: B5 then E6, the second note ringing on.
note "$work/y1.wav" 0.30 14 sine 0.25
note "$work/y2.wav" 0.42 19 sine 0.25
finish "$out/yes.wav" "$work/y1.wav" "$(place "$work/y2.wav" 0.11)"

# Wrong: two low notes, A3 then E3, with a triangle wave for a soft buzz.
note "$work/n1.wav" 0.17 -12 triangle 0.15
note "$work/n2.wav" 0.26 -17 triangle 0.15
finish "$out/no.wav" "$work/n1.wav" "$(place "$work/n2.wav" 0.15)"

# Time up: three short pips falling a tone each, E5, D5, C5, soft-edged
# (triangle) so that they alert without being shrill.
note "$work/t1.wav" 0.12 7 triangle 0.2
note "$work/t2.wav" 0.12 5 triangle 0.2
note "$work/t3.wav" 0.22 3 triangle 0.2
finish "$out/timeup.wav" "$work/t1.wav" "$(place "$work/t2.wav" 0.14)" \
  "$(place "$work/t3.wav" 0.28)"

# All done: C5 E5 G5 rising quickly, then C6 held, over a soft C4-G4 bed.
note "$work/a1.wav" 0.16 3 sine 0.3
note "$work/a2.wav" 0.16 7 sine 0.3
note "$work/a3.wav" 0.16 10 sine 0.3
note "$work/a4.wav" 0.45 15 sine 0.3
note "$work/a5.wav" 0.45 -9 triangle 0.2
note "$work/a6.wav" 0.45 -2 triangle 0.2
finish "$out/allok.wav" -v 0.3 "$work/a1.wav" -v 0.3 "$(place "$work/a2.wav" 0.10)" \
  -v 0.3 "$(place "$work/a3.wav" 0.20)" -v 0.3 "$(place "$work/a4.wav" 0.30)" \
  -v 0.15 "$(place "$work/a5.wav" 0.30)" -v 0.15 "$(place "$work/a6.wav" 0.30)"

mkdir -p "$dest_dir"
mv "$out/yes.wav" "$out/no.wav" "$out/timeup.wav" "$out/allok.wav" "$dest_dir/"
