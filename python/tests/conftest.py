"""Makes the package importable from the source tree and offers helpers."""

import os
import sys

import numpy as np
import pytest

PYTHON_DIR = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
REPOSITORY = os.path.dirname(PYTHON_DIR)
sys.path.insert(0, PYTHON_DIR)

import talvox  # noqa: E402


# Exports that the Pythonic layer's element, peak and WAV members rely on.
ELEMENTS = ("GetElementNum", "GetElementSegment", "GetElementDesc", "SetElementDesc",
            "SetFullSegmentation", "AddBoundary")
PEAKS = ("GetFullPeaks", "GetFullModifiedPitch", "SetModifiedPitch", "AddPeak", "DeleteAllPeak")
WAV = ("ReadWaveFile", "SaveWaveFile")


def _missing(names):
    flat = []
    for name in names:
        flat.extend(name if isinstance(name, tuple) else [name])
    return [name for name in flat if not talvox.raw.available(name)]


def requires(*names):
    """Skips a test while the loaded library lacks one of the exports (names
    or tuples of names)."""
    missing = _missing(names)
    return pytest.mark.skipif(
        bool(missing), reason="library has no export %s yet" % ", ".join(missing)
    )


def skip_unless(*names):
    """requires() for fixtures."""
    missing = _missing(names)
    if missing:
        pytest.skip("library has no export %s yet" % ", ".join(missing))


def voiced_signal(before, voiced, after, period, amplitude):
    """Glottal-like pulses (six harmonics with falling amplitudes) at a fixed
    period in samples, between stretches of silence."""
    phase = 2 * np.pi * (np.arange(voiced) % period) / period
    value = sum(np.sin(h * phase) / h for h in range(1, 7))
    pulses = np.trunc(amplitude * value / 1.9).astype(np.int16)
    return np.concatenate(
        [np.zeros(before, np.int16), pulses, np.zeros(after, np.int16)]
    )


def dominant_period(samples, shortest, longest):
    """The lag in shortest..longest with the largest normalised autocorrelation."""
    x = samples.astype(np.float64)
    x = x - x.mean()
    best, best_score = None, -np.inf
    for lag in range(shortest, longest + 1):
        a, b = x[:-lag], x[lag:]
        score = np.dot(a, b) / np.sqrt(np.dot(a, a) * np.dot(b, b))
        if score > best_score:
            best, best_score = lag, score
    return best


@pytest.fixture
def no_document():
    """Makes sure no Document is left open by a failing test."""
    yield
    from talvox import document

    if document._open_document is not None:
        document._open_document.close()
