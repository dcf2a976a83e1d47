#!/usr/bin/env bash
# The pitch marks of one recording at sampling rates from 8 to 192 kHz,
# against the marks at its own 16 kHz: counts, and the distance in time of
# each mark to the nearest 16 kHz mark.
#   bash bench/marks_across_rates.sh [build/bin/talvox] [recording.wav]
set -eu
talvox=${1:-build/bin/talvox}
recording=${2:-data/librivox-austen-0870.wav}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for rate in 8000 16000 22050 32000 44100 48000 96000 192000; do
  sox "$recording" -r $rate "$work/$rate.wav"
  "$talvox" analyze "$work/$rate.wav" -o "$work/$rate.peaks" >/dev/null
done
/usr/bin/python3 - "$work" <<'PY'
import bisect, struct, sys
def marks(path):
    data = open(path, "rb").read()
    kind, rate, elements, count = struct.unpack_from("<4I", data, 20)
    return elements, [p / rate for p in struct.unpack_from("<%di" % count, data, 36)]
_, reference = marks(sys.argv[1] + "/16000.peaks")
print("| rate Hz | elements | marks | median ms | 95 % ms | max ms |")
print("|---|---|---|---|---|---|")
for rate in (8000, 16000, 22050, 32000, 44100, 48000, 96000, 192000):
    elements, times = marks("%s/%d.peaks" % (sys.argv[1], rate))
    gaps = sorted(min(abs(t - reference[i]) for i in (j - 1, j) if 0 <= i < len(reference))
                  for t in times for j in [bisect.bisect_left(reference, t)])
    print("| %d | %d | %d | %.3f | %.3f | %.3f |" % (rate, elements, len(times),
          1000 * gaps[len(gaps) // 2], 1000 * gaps[int(0.95 * len(gaps))], 1000 * gaps[-1]))
PY
