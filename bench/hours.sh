#!/bin/sh
# The talvox command on hours of speech beside sox, in one run: the shipped
# recording repeated to 10 and 60 minutes (16 kHz mono) and to a 44.1 kHz
# stereo hour. Prints the CPU seconds (user + system, best of 3) of
#   talvox resynth --semitones 7   and   sox pitch 700  (the same shift),
# their 60/10 ratio, the peak memory of talvox collect on the stereo hour
# over its samples, and where the JSON element table of the hour ends.
#
#   bench/hours.sh [build/bin/talvox] [marks route, default internal]
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
talvox=${1:-$here/build/bin/talvox}
marks=${2:-internal}
work=$(mktemp -d "${TMPDIR:-/tmp}/talvox-hours-XXXXXX")
trap 'rm -rf "$work"' EXIT
speech=$here/data/librivox-austen-0870.wav

sox "$speech" "$work/ten.wav" repeat 84
sox "$speech" "$work/hour.wav" repeat 506
sox "$work/hour.wav" -r 44100 -c 2 "$work/stereo.wav"

# Best of three: user + system CPU seconds of the command.
cpu() {
  best=
  for run in 1 2 3; do
    /usr/bin/time -o "$work/time" -f "%U %S" "$@" >/dev/null 2>&1
    t=$(awk '{print $1 + $2}' "$work/time")
    best=$(awk -v best="$best" -v t="$t" 'BEGIN { print (best == "" || t + 0 < best + 0) ? t : best }')
  done
  echo "$best"
}

for f in ten hour; do
  eval "talvox_$f=\$(cpu \"\$talvox\" resynth --marks \"\$marks\" \"\$work/$f.wav\" --semitones 7 -o \"\$work/out.wav\")"
  eval "sox_$f=\$(cpu sox \"\$work/$f.wav\" \"\$work/sox.wav\" pitch 700)"
done
echo "resynth --semitones 7: 10 min $talvox_ten s, 60 min $talvox_hour s CPU;" \
  "60/10 = $(echo "$talvox_hour $talvox_ten" | awk '{printf "%.2f", $1 / $2}')"
echo "sox pitch 700:         10 min $sox_ten s, 60 min $sox_hour s CPU;" \
  "talvox is $(echo "$sox_hour $talvox_hour" | awk '{printf "%.1f", $1 / $2}')x faster on the hour"

/usr/bin/time -o "$work/time" -f "%M" "$talvox" collect "$work/stereo.wav" -o "$work/collected.wav" >/dev/null 2>&1
peak=$(cat "$work/time")
samples=$(( $(stat -c %s "$work/stereo.wav") - 44 ))
echo "collect, stereo 44.1 kHz hour: peak $((peak / 1024)) MiB," \
  "$(echo "$peak $samples" | awk '{printf "%.2f", $1 * 1024 / $2}')x the samples"

"$talvox" analyze --marks "$marks" "$work/hour.wav" --json > "$work/hour.json" 2>"$work/hour.err"
cat "$work/hour.err"
python3 - "$work/hour.json" <<'PY'
import json, sys
doc = json.load(open(sys.argv[1]))
last = doc["elements"][-1]
print("analyze --json, hour: %d elements, %d marks; the last element %s ends at sample %d of %d (%.1f s)"
      % (len(doc["elements"]), doc["marks"], last["desc"] or "-", last["end_sample"], doc["samples"], last["end"]))
PY
