#!/bin/sh
# `talvox resynth --semitones N` beside two references, all judged by the
# path tracker of stretch_benchmark on the recordings of
# stretch_recordings.sh at their own rates: sox `pitch` (overlap-add of waveform
# segments, the duration kept) and sox `speed` (resampling: pitch and time
# scaled together, every cycle exactly as in the input; the frames are
# compared at the mapped times). The resampled copy is what a flawless
# shift would give, so its share on target is the measure's own ceiling.
# Prints per shift the share of the input's voiced frames on target (within
# 3%) and at the old pitch, weighted by frames, for the men's voices, the
# higher one of alsa-utils and the woman's of asterisk-core-sounds-en-wav
# (8 kHz, as recorded).
#
#   bench/stretch_references.sh [build]
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
bench=$build/bench/speechgen/stretch_benchmark
talvox=$build/bin/talvox
work=$(mktemp -d "${TMPDIR:-/tmp}/talvox-references-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/men" "$work/higher" "$work/woman"
. "$here/bench/stretch_inputs.sh"
men_recordings "$work/men"
higher_voice "$work/higher/channels.wav" || true
woman_recordings "$work/woman" || true

# score VOICE FLOOR CEILING SEMITONES: one line per file and way.
score() {
  factor=$(python3 -c "print(2 ** ($4 / 12))")
  for w in "$work/$1"/*.wav; do
    "$talvox" resynth "$w" -o "$work/out.wav" --semitones="$4" > /dev/null 2>&1
    echo "talvox $("$bench" compare "$w" "$work/out.wav" "$4" 1 "$2" "$3")"
    sox -R "$w" "$work/out.wav" pitch "$(python3 -c "print(round(100 * $4))")" 2> /dev/null
    echo "sox-pitch $("$bench" compare "$w" "$work/out.wav" "$4" 1 "$2" "$3")"
    sox -R "$w" "$work/out.wav" speed "$factor" 2> /dev/null
    echo "resampled $("$bench" compare "$w" "$work/out.wav" "$4" "$(python3 -c "print(1 / $factor)")" "$2" "$3")"
  done
}

print_rows() {
  python3 -c '
import collections, re, sys
sums = collections.defaultdict(lambda: [0, 0.0, 0.0])
for line in sys.stdin:
    m = re.match(r"(\S+) frames (\d+), on target ([\d.]+)%, old pitch ([\d.]+)%", line)
    if m:
        s = sums[m[1]]; n = int(m[2])
        s[0] += n; s[1] += n * float(m[3]); s[2] += n * float(m[4])
cells = ["%.1f%% (%.1f%%)" % (s[1] / s[0], s[2] / s[0]) for s in (sums[k] for k in ("talvox", "sox-pitch", "resampled"))]
print("| %s | %s |" % (sys.argv[1], " | ".join(cells)))
' "$1"
}

for voice in men higher woman; do
  ls "$work/$voice"/*.wav > /dev/null 2>&1 || continue
  if [ "$voice" = men ]; then floor=75 low=50 ceiling=300; else floor=100 low=75 ceiling=500; fi
  printf '\n%s, on target (at the old pitch):\n\n' "$voice"
  echo "| shift | talvox resynth | sox pitch | resampled (the measure's ceiling) |"
  echo "|---|---|---|---|"
  for st in +4 +7 -5; do
    if [ "$st" = -5 ]; then f=$low; else f=$floor; fi
    score "$voice" "$f" "$ceiling" "$st" | print_rows "$st st"
  done
done
