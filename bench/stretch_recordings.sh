#!/bin/sh
# SynthesisSpeechStretch on real recordings, measured by the path tracker of
# stretch_benchmark: the shipped recording and those of Debian's
# pocketsphinx-testdata (read and spoken English, men's voices; apt-get
# install pocketsphinx-testdata sox), each at its rate and halved to 8 kHz.
# The tracker reads the speaker range 75-300 Hz (50-300 Hz for the -5
# semitone rows, whose voices fall below 75 Hz). A second table: a higher
# voice (F0 165-270 Hz), the spoken channel names of Debian's alsa-utils
# (/usr/share/sounds/alsa, apt-get install alsa-utils; 48 kHz, joined and
# taken to 16 kHz with sox), read over 100-500 Hz (75-500 Hz for -5
# semitones). A third: a woman's voice, six telephone prompts of Debian's
# asterisk-core-sounds-en-wav (8 kHz only), read over the same ranges.
# Prints per change and
# rate the share of voiced frames on target (weighted by frames), those
# left at the old pitch, the HNR and jitter changes against the input and
# the worst recording.
#
#   bench/stretch_recordings.sh [build/bench/speechgen/stretch_benchmark]
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
bench=${1:-$here/build/bench/speechgen/stretch_benchmark}
work=$(mktemp -d "${TMPDIR:-/tmp}/talvox-stretch-XXXXXX")
trap 'rm -rf "$work"' EXIT
. "$here/bench/stretch_inputs.sh"
men_recordings "$work"
# measure FILE FLOOR CEILING FLOOR-5: the rows of one recording, the -5
# semitone rows read from the lower floor.
measure() {
  echo "== 75 $(basename "$1")"
  "$bench" recording "$1" "$2" "$3"
  echo "== 50 $(basename "$1")"
  "$bench" recording "$1" "$4" "$3" | grep -e '-5 st'
}
for f in "$work"/*.wav; do measure "$f" 75 300 50; done > "$work/rows.txt"
mkdir -p "$work/higher" "$work/woman"
if higher_voice "$work/higher/channels.wav"; then
  measure "$work/higher/channels.wav" 100 500 75 > "$work/higher.txt"
fi
if woman_recordings "$work/woman"; then
  for f in "$work/woman"/*.wav; do measure "$f" 100 500 75; done > "$work/woman.txt"
fi
for rows in "$work/rows.txt" "$work/higher.txt" "$work/woman.txt"; do
[ -r "$rows" ] || continue
case $rows in
  */higher.txt) printf '\nA higher voice (alsa-utils):\n' ;;
  */woman.txt) printf '\nA woman'"'"'s voice at 8 kHz (asterisk-core-sounds-en-wav):\n' ;;
esac
python3 - "$rows" <<'PY'
import collections, statistics, sys
rows = collections.defaultdict(list)
for line in open(sys.argv[1]):
    if line.startswith("=="):
        _, floor, name = line.split()
        continue
    cells = [c.strip() for c in line.strip().strip("|").split("|")]
    if len(cells) < 15 or not cells[0].isdigit() or cells[1].startswith("none"):
        continue
    if (floor == "50") != cells[1].startswith("-5"):
        continue
    hnr_in, hnr_out = (float(v) for v in cells[10].split("/"))
    jitter_in, jitter_out = (float(v) for v in cells[11].split("/"))
    jump_in, jump_out = (int(v) for v in cells[13].split("/"))
    rows[(cells[1], int(cells[0]))].append(dict(
        name=name, frames=int(cells[2]), on=float(cells[8][:-1]), old=float(cells[9][:-1]),
        hnr=hnr_out - hnr_in, jitter=jitter_out - jitter_in, jumps=jump_out > jump_in))
print("| change | rate | on target | old pitch | HNR change, median (lowest) dB | jitter change, highest | worst on target | largest jump above the input's |")
print("|---|---|---|---|---|---|---|---|")
for (change, rate), v in sorted(rows.items(), key=lambda kv: (kv[0][0], -kv[0][1])):
    frames = sum(r["frames"] for r in v)
    on = sum(r["on"] * r["frames"] for r in v) / frames
    old = sum(r["old"] * r["frames"] for r in v) / frames
    worst = min(v, key=lambda r: r["on"])
    print("| %s | %d | %.1f%% | %.1f%% | %+.1f (%+.1f) | %+.2f | %.1f%% (%s) | %d of %d |" % (
        change, rate, on, old, statistics.median(r["hnr"] for r in v), min(r["hnr"] for r in v),
        max(r["jitter"] for r in v), worst["on"], worst["name"], sum(r["jumps"] for r in v), len(v)))
PY
done
