#!/usr/bin/python3
"""`talvox resynth` beside Praat's overlap-add, both judged by Praat's tracker.

The recordings of stretch_recordings.sh (men at 16 kHz and halved to 8 kHz,
the higher voice of alsa-utils at 16 and 8 kHz, the woman's prompts at
8 kHz), each changed by +4, +7 and -5 semitones, to a flat 150 Hz and to
x0.7 and x1.5 of its duration, by `talvox resynth` (its defaults) and by
Praat's manipulation resynthesised by overlap-add (apt-get install praat),
and for the shifts a copy resampled by sox `speed` (every cycle as in the
input, the timing scaled with the pitch: the measure's ceiling). Praat's
own autocorrelation tracker reads input and outputs every 10 ms; an input
frame that is voiced counts on target when the output's frame nearest its
mapped time lies within 3% of the wanted F0, and at the old pitch when it
lies within 3% of the input's F0 while the wanted one is more than 6% away.
HNR (cross-correlation) and local jitter are Praat's too. Last, the demo's
four syllables given tones 1 to 4 (level, rising, dipping, falling), read
by the same tracker.

    bench/stretch_outside.py [BUILD]

STRETCH_WAYS="talvox praat" leaves out the resampled copy, and
STRETCH_CHANGES="+4 st;0 st, x1.5" keeps only the changes named.
"""
import collections
import concurrent.futures
import functools
import math
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ON_TARGET = 0.03
FRAME_STEP = 0.01


class Change(collections.namedtuple("Change", "name semitones flat scale")):
    @property
    def factor(self):
        return 2 ** (self.semitones / 12)


CHANGES = [Change("+4 st", 4, 0, 1), Change("+7 st", 7, 0, 1), Change("-5 st", -5, 0, 1),
           Change("flat 150 Hz", 0, 150, 1), Change("0 st, x0.7", 0, 0, 0.7),
           Change("0 st, x1.5", 0, 0, 1.5)]


def run(*command):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def recordings(work):
    """(voice, rate, path) of every recording, written into work."""
    script = ('. "%s/stretch_inputs.sh"; here="%s"; mkdir -p "$1/men" "$1/higher" "$1/woman"; '
              'men_recordings "$1/men"; higher_voice "$1/higher/channels.wav" || true; '
              'woman_recordings "$1/woman" || true') % (HERE, os.path.dirname(HERE))
    subprocess.run(["sh", "-c", script, "sh", work], check=True)
    found = []
    for voice, halve in (("men", True), ("higher", True), ("woman", False)):
        folder = os.path.join(work, voice)
        for name in sorted(os.listdir(folder)):
            path = os.path.join(folder, name)
            found.append((voice, 16000 if halve else 8000, path))
            if halve:
                halved = os.path.join(folder, "8k-" + name)
                run("sox", "-R", path, "-r", "8000", halved)
                found.append((voice, 8000, halved))
    return found


def tracker_range(voice, change):
    floor, ceiling = (75, 300) if voice == "men" else (100, 500)
    if change.semitones < 0:
        floor = 50 if voice == "men" else 75
    return floor, ceiling


class Reading(collections.namedtuple("Reading", "duration hnr jitter start f0")):
    def near(self, t):
        k = round((t - self.start) / FRAME_STEP)
        return self.f0[k] if 0 <= k < len(self.f0) else None


@functools.lru_cache(maxsize=None)  # an input is read once for all its changes
def measure(path, floor, ceiling):
    text = subprocess.run(["praat_nogui", "--run", os.path.join(HERE, "praat", "measure.praat"),
                           path, str(floor), str(ceiling)],
                          check=True, capture_output=True, text=True).stdout.split("\n")
    head = text[0].split()
    frames = [line.split() for line in text[1:] if line.strip()]

    def number(word):
        return float(word) if word not in ("--undefined--", "nan") else float("nan")
    return Reading(float(head[1]), number(head[3]), number(head[5]),
                   float(frames[0][0]) if frames else 0.0, [float(f) for _, f in frames])


def make(way, change, voice, source, output, talvox):
    floor, ceiling = tracker_range(voice, change)
    if way == "talvox":
        pitch = ["--f0", str(change.flat)] if change.flat else ["--semitones", str(change.semitones)]
        run(talvox, "resynth", source, "-o", output, *pitch, "--duration-scale", str(change.scale))
    elif way == "praat":
        run("praat_nogui", "--run", os.path.join(HERE, "praat", "psola.praat"), source, output,
            str(change.factor), str(change.flat), str(change.scale), str(floor), str(ceiling))
    else:
        run("sox", "-R", source, output, "speed", str(change.factor))


def score(reading_in, reading_out, change, time_scale):
    frames = on = old = 0
    for k, f0 in enumerate(reading_in.f0):
        measured = reading_out.near((reading_in.start + k * FRAME_STEP) * time_scale)
        if f0 <= 0 or measured is None:
            continue
        target = change.flat or f0 * change.factor
        frames += 1
        on += measured > 0 and abs(measured / target - 1) <= ON_TARGET
        old += (measured > 0 and abs(measured / f0 - 1) <= ON_TARGET
                and abs(target / f0 - 1) > 2 * ON_TARGET)
    return frames, on, old


def task(args):
    (voice, rate, path), change, way, work, talvox = args
    floor, ceiling = tracker_range(voice, change)
    output = os.path.join(work, "%s-%s-%s.wav" % (
        os.path.basename(path), way, change.name.replace(" ", "").replace(",", "")))
    make(way, change, voice, path, output, talvox)
    time_scale = 1 / change.factor if way == "resampled" else change.scale
    reading_in, reading_out = measure(path, floor, ceiling), measure(output, floor, ceiling)
    os.remove(output)
    frames, on, old = score(reading_in, reading_out, change, time_scale)
    return dict(voice=voice, rate=rate, change=change.name, way=way, name=os.path.basename(path),
                frames=frames, on=on, old=old,
                duration=reading_out.duration / (reading_in.duration * time_scale),
                hnr=reading_out.hnr - reading_in.hnr, jitter=reading_out.jitter - reading_in.jitter)


def table(rows, voice):
    print("\n%s, Praat's tracker:\n" % voice)
    print("| change | rate | way | on target | old pitch | duration out/asked, extremes "
          "| HNR change, median (lowest) dB | jitter change, median (highest) points |")
    print("|---|---|---|---|---|---|---|---|")
    groups = collections.defaultdict(list)
    for r in rows:
        if r["voice"] == voice:
            groups[(r["change"], r["rate"], r["way"])].append(r)
    order = {c.name: i for i, c in enumerate(CHANGES)}
    ways = {"talvox": 0, "praat": 1, "resampled": 2}
    for (change, rate, way), v in sorted(groups.items(),
                                         key=lambda kv: (order[kv[0][0]], -kv[0][1], ways[kv[0][2]])):
        frames = sum(r["frames"] for r in v)
        hnr = [r["hnr"] for r in v if not math.isnan(r["hnr"])] or [math.nan]
        jitter = [r["jitter"] for r in v if not math.isnan(r["jitter"])] or [math.nan]
        print("| %s | %d | %s | %.1f%% | %.1f%% | %.4f to %.4f | %+.1f (%+.1f) | %+.2f (%+.2f) |" % (
            change, rate, way, 100 * sum(r["on"] for r in v) / max(frames, 1),
            100 * sum(r["old"] for r in v) / max(frames, 1),
            min(r["duration"] for r in v), max(r["duration"] for r in v),
            statistics.median(hnr), min(hnr), statistics.median(jitter), max(jitter)))


def tones(talvox, work):
    """The demo's four syllables given tones 1 to 4, read by Praat's tracker."""
    folder = os.path.join(work, "demo")
    log = subprocess.run([talvox, "demo", "--out", folder], check=True, capture_output=True,
                         text=True).stdout
    output = os.path.join(folder, "austen-tones-1234.wav")
    reading = measure(output, 50, 300)
    print("\nThe demo's tones 1 to 4 (%s), Praat's median F0 over each third of the "
          "syllable, beside the demo's own reading:\n" % os.path.basename(output))
    print("| tone | syllable | Praat, Hz | talvox, Hz |")
    print("|---|---|---|---|")
    for line in log.splitlines():
        words = line.split()
        if "tone" not in words or not line.endswith("(first, middle, last third)"):
            continue
        tone = words[words.index("tone") + 1]
        start, end = (float(v) for v in words[words.index("on") + 1].split("-"))
        third = (end - start) / 3
        medians = []
        for i in range(3):
            voiced = [f for k, f in enumerate(reading.f0) if f > 0
                      and start + i * third <= reading.start + k * FRAME_STEP < start + (i + 1) * third]
            medians.append("%.0f" % statistics.median(voiced) if voiced else "-")
        own = line.split(": ")[-1].split(" Hz")[0]
        print("| %s | %.2f-%.2f s | %s | %s |" % (tone, start, end, ", ".join(medians), own))


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(HERE), "build")
    talvox = os.path.abspath(os.path.join(build, "bin", "talvox"))
    missing = [hint for tool, hint in (("praat_nogui", "apt-get install praat"),
                                       ("sox", "apt-get install sox"), (talvox, "build talvox first"))
               if not shutil.which(tool)]
    if missing:
        sys.exit("stretch_outside.py: " + "; ".join(missing))
    ways = os.environ.get("STRETCH_WAYS", "talvox praat resampled").split()
    wanted = os.environ.get("STRETCH_CHANGES")
    changes = [c for c in CHANGES if not wanted or c.name in wanted.split(";")]
    with tempfile.TemporaryDirectory(prefix="talvox-outside-") as work:
        tasks = [(recording, change, way, work, talvox)
                 for recording in recordings(work) for change in changes
                 for way in ways
                 if way != "resampled" or (change.semitones and change.scale == 1)]
        with concurrent.futures.ThreadPoolExecutor(os.cpu_count() or 1) as pool:
            rows = list(pool.map(task, tasks))
        for voice in ("men", "higher", "woman"):
            if any(r["voice"] == voice for r in rows):
                table(rows, voice)
        tones(talvox, work)


if __name__ == "__main__":
    main()
