"""Tone contours for teaching tone languages, as the talvox tool gives them:
five levels (1 at the 5th percentile of the speaker's F0, 5 at the 95th,
evenly in semitones, at least 5 semitones apart), each contour running
through its digits evenly over a voiced element's voiced span with smooth
turns, straight joins across the gaps between toned elements."""

import numpy as np

_LOWEST_VOICE_HZ = 40
_FEWEST_PERIODS = 3
_NARROWEST_RANGE = 5.0  # semitones
_SMOOTHING = 0.02  # seconds either side
_SMOOTHING_TAPS = 5
_OCTAVE = 2.0
_STRAY = 1.5  # beyond the speaker's range by this factor, marks are stray

MANDARIN = {"1": "55", "2": "35", "3": "214", "4": "51", "5": "", "0": ""}
CANTONESE = {"1": "55", "2": "35", "3": "33", "4": "21", "5": "23", "6": "22"}


def parse_contours(tones):
    """A list of tone letters ('55', '214') from a list or '55,35,214'."""
    items = tones.split(",") if isinstance(tones, str) else list(tones)
    contours = []
    for item in items:
        item = str(item)
        if not 1 <= len(item) <= 4:
            raise ValueError("'%s' is not a tone contour (1 to 4 digits, e.g. 214)" % item)
        for digit in item:
            if digit not in "12345":
                raise ValueError("unknown tone digit '%s' in '%s' (levels are 1 to 5)" % (digit, item))
        contours.append(item)
    return contours


def _weighted_percentile(hertz, seconds, fraction):
    order = np.argsort(hertz)
    below = np.cumsum(seconds[order])
    return hertz[order][min(np.searchsorted(below, fraction * below[-1]), len(order) - 1)]


def speaker_range(peaks, rate):
    """5th and 95th percentile (by time) of the F0 of the pitch periods within
    an octave of their median: stray marks far off the voice are left out."""
    distances = np.diff(peaks)
    periods = distances[(distances > 0) & (distances <= rate // _LOWEST_VOICE_HZ)].astype(np.float64)
    if periods.size < 2:
        raise ValueError("too little voiced speech to find the speaker's F0 range")
    hertz, seconds = rate / periods, periods / rate
    median = _weighted_percentile(hertz, seconds, 0.5)
    near = (hertz >= median / _OCTAVE) & (hertz <= median * _OCTAVE)
    return (_weighted_percentile(hertz[near], seconds[near], 0.05),
            _weighted_percentile(hertz[near], seconds[near], 0.95))


def voiced_elements(elements, peaks, rate):
    """(index, description, first, last) of each element that is not 'SIL'
    and holds a few pitch periods near the speaker's range; first/last: its
    periods' outer marks."""
    longest = rate // _LOWEST_VOICE_HZ
    low, high = speaker_range(peaks, rate)
    found = []
    for index, element in enumerate(elements):
        if element.description == "SIL":
            continue
        inside = [k for k in range(len(peaks) - 1)
                  if element.start <= peaks[k] and peaks[k + 1] < element.end
                  and 0 < peaks[k + 1] - peaks[k] <= longest]
        if len(inside) < _FEWEST_PERIODS:
            continue
        periods = np.array([peaks[k + 1] - peaks[k] for k in inside], dtype=np.float64)
        median = _weighted_percentile(rate / periods, periods, 0.5)
        if low / _STRAY <= median <= high * _STRAY:
            found.append((index, element.description, peaks[inside[0]], peaks[inside[-1] + 1]))
    return found


def contours_from_labels(voiced, language):
    table = {"mandarin": MANDARIN, "cantonese": CANTONESE}.get(language)
    if table is None:
        raise ValueError("tone labels are mandarin or cantonese, not %r" % (language,))
    contours = []
    for index, description, _, _ in voiced:
        digit = description[-1:] if description else ""
        if not digit.isdigit():
            contours.append("")
        elif digit not in table:
            raise ValueError("element %d %r: %s is not a %s tone" % (index, description, digit, language))
        else:
            contours.append(table[digit])
    return contours


def _along(contour, fraction):
    if len(contour) == 1:
        return float(contour)
    at = min(max(fraction, 0.0), 1.0) * (len(contour) - 1)
    i = min(int(at), len(contour) - 2)
    turn = 0.5 - 0.5 * np.cos(np.pi * (at - i))
    low, high = float(contour[i]), float(contour[i + 1])
    return low + (high - low) * turn


def _level(spans, t):
    """Level at t seconds, or None where the pitch is kept."""
    following = 0
    while following < len(spans) and spans[following][1] < t:
        following += 1
    if following < len(spans) and spans[following][0] <= t:
        begin, end, contour = spans[following]
        if not contour:
            return None
        return _along(contour, (t - begin) / (end - begin) if end > begin else 0.5)
    before = spans[following - 1] if following > 0 else None
    after = spans[following] if following < len(spans) else None
    if before and before[2] and after and after[2]:
        fraction = (t - before[1]) / (after[0] - before[1])
        return float(before[2][-1]) + (float(after[2][0]) - float(before[2][-1])) * fraction
    if before and before[2] and after is None:
        return float(before[2][-1])
    if after and after[2] and before is None:
        return float(after[2][0])
    return None


def tone_periods(peaks, rate, voiced, contours):
    """New periods (samples, one per pair of peaks) for the contours; None
    where the pitch is kept or the interval is no pitch period."""
    longest = rate // _LOWEST_VOICE_HZ
    distances = np.diff(peaks)
    low, high = 12 * np.log2(np.array(speaker_range(peaks, rate)))
    if high - low < _NARROWEST_RANGE:
        middle = (low + high) / 2
        low, high = middle - _NARROWEST_RANGE / 2, middle + _NARROWEST_RANGE / 2
    spans = [(first / rate, last / rate, contour) for (_, _, first, last), contour in zip(voiced, contours)]
    margin = 12 * np.log2(_STRAY)
    offsets = _SMOOTHING * (2.0 * np.arange(_SMOOTHING_TAPS) / (_SMOOTHING_TAPS - 1) - 1)
    periods = []
    for k, distance in enumerate(distances):
        t = peaks[k] / rate
        stray = 0 < distance and not (low - margin <= 12 * np.log2(rate / distance) <= high + margin)
        if not 0 < distance <= longest or stray or _level(spans, t) is None:
            periods.append(None)
            continue
        levels = [level for level in (_level(spans, t + o) for o in offsets) if level is not None]
        semitones = low + (np.mean(levels) - 1) / 4 * (high - low)
        periods.append(rate / 2 ** (semitones / 12))
    return periods
