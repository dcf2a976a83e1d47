"""Voiced cycles beyond a run's last mark, continued as the talvox command
continues them before a pitch change (Document.resynthesize does unless
continue_runs=False): a mark route leaves the faint first
and last cycles of a run unmarked, and the overlap-add would copy them at
the old pitch. Each run of at least three marks joined by periods goes on
at both ends, at most MOST_CYCLES cycles, while the next cycle repeats the
last one (normalised correlation at least LEAST_MATCH, its length within
REACH of the last period)."""

import numpy as np

LEAST_MATCH = 0.6
MOST_CYCLES = 6
REACH = 0.15


def _next_cycle(x, mark, period, direction, lowest, highest, longest):
    """The mark one cycle on (direction 1) or back (-1), or -1."""
    half = period // 2
    if half < 1 or mark - half < lowest or mark + half > highest:
        return -1
    shortest = max(2, int(np.floor(period * (1 - REACH))))
    most = min(longest, int(np.ceil(period * (1 + REACH))))
    lags = np.arange(shortest, most + 1, dtype=np.int64)
    places = mark + direction * lags
    inside = (places - half >= lowest) & (places + half <= highest)
    places = places[inside]
    if places.shape[0] == 0:
        return -1
    span = np.arange(2 * half, dtype=np.int64)
    cycle = x[mark - half:mark + half].astype(np.float64)
    windows = x[(places - half)[:, None] + span[None, :]].astype(np.float64)
    ab = windows @ cycle
    aa = float(cycle @ cycle)
    bb = np.einsum("ij,ij->i", windows, windows)
    valid = (aa > 0) & (bb > 0)
    match = np.where(valid, ab / np.sqrt(np.where(valid, aa * bb, 1.0)), 0.0)
    best = match.shape[0] - 1 - int(np.argmax(match[::-1]))  # the longest of equals
    return int(places[best]) if match[best] >= LEAST_MATCH else -1


def continue_runs(x, peaks, longest, begin, end):
    """peaks (ascending) with each run inside [begin, end) of the int16
    samples x continued at both ends, never closer than longest to a
    neighbouring run; every cycle compared lies inside [begin, end)."""
    peaks = [int(p) for p in peaks]
    begin, end = max(int(begin), 0), min(int(end), x.shape[0])
    out = []
    i = 0
    while i < len(peaks):
        j = i
        while j + 1 < len(peaks) and 0 < peaks[j + 1] - peaks[j] <= longest:
            j += 1
        run = peaks[i:j + 1]
        if len(run) >= 3 and run[0] >= begin and run[-1] < end:
            before = out[-1] if out else begin - longest - 1
            after = peaks[j + 1] if j + 1 < len(peaks) else end + longest + 1
            for _ in range(MOST_CYCLES):
                place = _next_cycle(x, run[0], run[1] - run[0], -1, begin, end, longest)
                if place < 0 or place - before <= longest:
                    break
                run.insert(0, place)
            for _ in range(MOST_CYCLES):
                place = _next_cycle(x, run[-1], run[-1] - run[-2], 1, begin, end, longest)
                if place < 0 or after - place <= longest:
                    break
                run.append(place)
        out.extend(run)
        i = j + 1
    return np.asarray(out, dtype=np.int64)
