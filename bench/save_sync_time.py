# Wall time of talvox.save on one hour of audio (the save syncs before renaming).
# Run from the repository: TALVOX_LIBRARY=build/libtalvox.so python3 bench/save_sync_time.py
import sys, time, os
sys.path.insert(0, "python")
import numpy as np, talvox
# One hour of 16 kHz mono, saved five times; prints the median and best time.
x = (np.arange(57600000) % 2000 - 1000).astype(np.int16)
path = os.path.join(os.environ.get("TMPDIR", "/tmp"), "talvox-save-bench.wav")
times = []
for _ in range(5):
    t = time.perf_counter(); talvox.save(path, x, 16000); times.append(time.perf_counter() - t)
print("save of 115 MB: median %.0f ms, min %.0f ms" % (1000 * sorted(times)[2], 1000 * min(times)))
os.unlink(path)
