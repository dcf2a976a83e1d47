#!/usr/bin/python3
"""The spectrogram of bench_features beside a numpy/scipy float32 STFT of the
same frames (128 points, hop 16, Hann window, power in dB quantised to
bytes), on the same hour of signal, in one run.

    /usr/bin/python3 bench/stft_numpy.py build/bench/bench_features
"""
import json
import os
import subprocess
import sys
import tempfile
import time

import numpy as np

try:
    import scipy.fft as fft_module  # keeps float32 as complex64
    FFT_NAME = "scipy.fft.rfft (float32)"
except ImportError:  # numpy computes in float64 whatever the input
    fft_module = np.fft
    FFT_NAME = "numpy.fft.rfft"

RATE = 16000
FRAME = 128
HOP = 16
CHUNK_FRAMES = 1 << 16


def talvox_spectrum(binary, signal_path):
    env = dict(os.environ, TALVOX_BENCH_SIGNAL=signal_path)
    out = subprocess.run(
        [binary, "--benchmark_filter=BM_Spectrum", "--benchmark_format=json"],
        env=env, check=True, capture_output=True, text=True).stdout
    run = json.loads(out)["benchmarks"][0]
    return run["realtime_x"], run["real_time"] / 1000.0, run["cpu_time"] / 1000.0


def numpy_spectrum(x):
    """Seconds (wall, CPU) for the whole signal's byte spectrogram."""
    window = (0.5 - 0.5 * np.cos(2 * np.pi * np.arange(FRAME) / FRAME)).astype(np.float32)
    padded = np.concatenate([x.astype(np.float32), np.zeros(FRAME, np.float32)])
    frames = (len(x) + HOP - 1) // HOP
    out = np.empty((frames, FRAME // 2), np.uint8)
    wall, cpu = time.perf_counter(), time.process_time()
    for first in range(0, frames, CHUNK_FRAMES):
        count = min(CHUNK_FRAMES, frames - first)
        start = first * HOP
        view = np.lib.stride_tricks.as_strided(
            padded[start:], shape=(count, FRAME), strides=(HOP * 4, 4))
        spectrum = fft_module.rfft(view * window, axis=1)[:, : FRAME // 2]
        power = spectrum.real ** 2 + spectrum.imag ** 2
        level = 10 * np.log10(np.maximum(power, 1)) - 60
        out[first:first + count] = np.clip(4 * level, 0, 255).astype(np.uint8)
    return time.perf_counter() - wall, time.process_time() - cpu


def main():
    binary = sys.argv[1] if len(sys.argv) > 1 else "build/bench/bench_features"
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "hour.raw")
        rtf, wall, cpu = talvox_spectrum(binary, path)
        x = np.fromfile(path, dtype=np.int16)
    seconds = len(x) / RATE
    np_wall, np_cpu = numpy_spectrum(x)
    print(f"signal: {seconds:.0f} s at {RATE} Hz, {(len(x) + HOP - 1) // HOP} frames")
    print(f"talvox CalculateSpectrum: {cpu:.2f} s CPU ({wall:.2f} s wall), {rtf:.0f}x real time")
    print(f"{FFT_NAME}: {np_cpu:.2f} s CPU ({np_wall:.2f} s wall), "
          f"{seconds / np_cpu:.0f}x real time")


if __name__ == "__main__":
    main()
