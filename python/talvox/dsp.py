"""The library's signal-processing primitives as numpy functions.

Each function checks its arguments (ValueError) and returns new arrays; the
input arrays are never changed. The arithmetic is the library's own, fixed
to the bit (single-precision FFT, truncating windows and filters), so results
may differ slightly from numpy/scipy equivalents.
"""

import collections
import math

import numpy as np

from . import _checks
from ._checks import refused
from ._lib import f32, f64, i16, i32, locked, raw

# Filters keep their delay state in 10 entries: at most 9 sections.
MAX_FILTER_ORDER = 19
# Above this ripple 1/epsilon < 1 and the Chebyshev design has no solution.
MAX_RIPPLE_DB = 10.0 * math.log10(2.0)
MAX_LPC_ORDER = 100
LPC_FILTER_TAPS = 12
MIN_CEPSTRUM_FRAME = 13
MIN_MFCC_FRAME = 20
MAX_FRAME = 65536
MAX_FEATURE_LENGTH = 65536
_RESET_SAMPLES = 64  # zeros that flush every section of the delay state


class FilterDesign(collections.namedtuple("FilterDesign", "a b gain order")):
    """A low-pass cascade: order // 2 second-order sections
    (1 + 2 z^-1 + z^-2) / (1 + a[j] z^-1 + b[j] z^-2), input scaled by gain."""

    __slots__ = ()

    def apply(self, samples):
        """apply_filter(samples, self)."""
        return apply_filter(samples, self)


def _power_of_two(n):
    return n > 0 and n & (n - 1) == 0


@locked
def fft(x, inverse=False):
    """Radix-2 complex FFT of x (float32 or complex64, length a power of two).

    Forward: unscaled, X[k] = sum x[t] exp(-2 pi i k t / n); inverse: scaled
    by 1/n. Returns complex64.
    """
    if isinstance(x, np.ndarray) and x.dtype == np.complex64:
        values = _checks.array(x, np.complex64, "x", min_length=1)
    else:
        values = _checks.array(x, np.float32, "x", min_length=1)
    n = values.shape[0]
    if not _power_of_two(n):
        raise ValueError("the length of x must be a power of two, not %d" % n)
    # Fresh arrays: the library transforms in place and x stays the caller's.
    real = np.array(values.real, dtype=np.float32, copy=True)
    imaginary = np.zeros(n, dtype=np.float32)
    if values.dtype == np.complex64:
        imaginary[:] = values.imag
    if not raw.fft(_checks.pointer(real, f32), _checks.pointer(imaginary, f32),
                   1 if inverse else 0, n):
        raise refused("fft")
    result = np.empty(n, dtype=np.complex64)
    result.real = real
    result.imag = imaginary
    return result


@locked
def hanning(samples):
    """Hann-windowed copy of int16 samples: x[i] * (0.5 - 0.5 cos(2 pi i / n)),
    truncated toward zero (the window peaks just below 1 and does not return
    to 0 at the end)."""
    samples = _checks.array(samples, np.int16, "samples")
    result = samples.copy()
    raw.Hanning(_checks.pointer(result, i16), result.shape[0])
    return result


def _design_arguments(rate, order, cutoff):
    rate = _checks.integer(rate, "rate", 1)
    order = _checks.integer(order, "order", 2, MAX_FILTER_ORDER)
    cutoff = _checks.real(cutoff, "cutoff")
    if not 0 < cutoff < rate / 2:
        raise ValueError("cutoff must lie between 0 and half the rate (%g Hz), not %g"
                         % (rate / 2, cutoff))
    sections = order // 2
    return rate, order, cutoff, np.zeros(sections), np.zeros(sections)


@locked
def butter_lowpass(rate, order, cutoff):
    """Butterworth low-pass design (bilinear transform, prewarped cutoff).

    order 2..19; an odd order realises only its order // 2 complex pole
    pairs. Returns FilterDesign(a, b, gain, order) with unit gain at 0 Hz.
    """
    rate, order, cutoff, a, b = _design_arguments(rate, order, cutoff)
    gain = raw.butt_low_pass(rate, order, cutoff, _checks.pointer(a, f64), _checks.pointer(b, f64))
    return FilterDesign(a, b, gain, order)


@locked
def cheby_lowpass(rate, order, ripple_db, cutoff):
    """Chebyshev type I low-pass design with cutoff at -3 dB.

    ripple_db in (0, 10 log10 2] (about 3.0103 dB). Returns FilterDesign.
    """
    rate, order, cutoff, a, b = _design_arguments(rate, order, cutoff)
    ripple_db = _checks.real(ripple_db, "ripple_db")
    if not 0 < ripple_db <= MAX_RIPPLE_DB:
        raise ValueError("ripple_db must lie in (0, %.7f], not %g" % (MAX_RIPPLE_DB, ripple_db))
    gain = raw.cheby_low_pass(rate, order, ripple_db, cutoff,
                              _checks.pointer(a, f64), _checks.pointer(b, f64))
    if not (np.isfinite(gain) and np.all(np.isfinite(a)) and np.all(np.isfinite(b))):
        raise ValueError("no Chebyshev design exists for ripple_db %r" % ripple_db)
    return FilterDesign(a, b, gain, order)


@locked
def apply_filter(samples, design):
    """Filtered copy of int16 samples through a FilterDesign (the library's
    `filter`). Outputs are truncated and wrap to 16 bits.

    The library keeps ONE delay state for all filtering in the process (its
    own analyses included) and never clears it: each call starts where the
    previous one stopped. Call reset_filter_state() for a fresh start.
    """
    samples = _checks.array(samples, np.int16, "samples")
    if not isinstance(design, FilterDesign):
        raise ValueError("design must be a FilterDesign (from butter_lowpass or cheby_lowpass)")
    order = _checks.integer(design.order, "design.order", 0, MAX_FILTER_ORDER)
    sections = order // 2
    a = _checks.array(design.a, np.float64, "design.a", min_length=sections)
    b = _checks.array(design.b, np.float64, "design.b", min_length=sections)
    gain = _checks.real(design.gain, "design.gain")
    result = samples.copy()
    if result.shape[0]:
        raw.filter(_checks.pointer(result, i16), result.shape[0], order, gain,
                   _checks.pointer(a, f64), _checks.pointer(b, f64))
    return result


@locked
def reset_filter_state():
    """Clears the library's process-wide filter delay state by running zeros
    through an all-zero cascade of the largest order."""
    zeros = np.zeros(_RESET_SAMPLES, dtype=np.int16)
    coefficients = np.zeros(MAX_FILTER_ORDER // 2)
    raw.filter(_checks.pointer(zeros, i16), zeros.shape[0], MAX_FILTER_ORDER, 0.0,
               _checks.pointer(coefficients, f64), _checks.pointer(coefficients, f64))


class _Setting:
    """Sets a process-wide library setting for one call, then restores it."""

    def __init__(self, getter, setter, value):
        self._getter, self._setter, self._value = getter, setter, value

    def __enter__(self):
        self._kept = self._getter()
        self._setter(self._value)

    def __exit__(self, *exception):
        self._setter(self._kept)
        return False


@locked
def lpc(frame, order=12):
    """Burg lattice prediction coefficients a_1..a_order (float32) of an int16
    frame: the prediction of x[n] is sum a_j x[n - j]. order 1..100."""
    frame = _checks.array(frame, np.int16, "frame", min_length=1)
    order = _checks.integer(order, "order", 1, MAX_LPC_ORDER)
    coefficients = np.zeros(order + 1, dtype=np.float32)
    with _Setting(raw.GetLPCNum, raw.SetLPCNum, order):
        if not raw.Lpc_Lattice(_checks.pointer(coefficients, f32),
                               _checks.pointer(frame, i16), frame.shape[0]):
            raise refused("Lpc_Lattice")
    return coefficients[1:].copy()


def _taps(coefficients):
    values = _checks.array(coefficients, np.float32, "coefficients")
    if values.shape[0] > LPC_FILTER_TAPS:
        raise ValueError("the prediction filters use at most %d coefficients, not %d"
                         % (LPC_FILTER_TAPS, values.shape[0]))
    taps = np.zeros(LPC_FILTER_TAPS + 1, dtype=np.float32)  # entry 0 is unused
    taps[1:1 + values.shape[0]] = values
    return taps


@locked
def lpc_residual(coefficients, samples):
    """Prediction error of int16 samples with up to 12 coefficients a_1..a_p."""
    taps = _taps(coefficients)
    samples = _checks.array(samples, np.int16, "samples", min_length=1)
    residual = np.zeros_like(samples)
    if not raw.AntiFilterFromLPC(_checks.pointer(taps, f32), _checks.pointer(samples, i16),
                                 _checks.pointer(residual, i16), samples.shape[0]):
        raise refused("AntiFilterFromLPC")
    return residual


@locked
def lpc_synthesis(coefficients, excitation):
    """All-pole synthesis of an int16 excitation (output sample 0 is 0)."""
    taps = _taps(coefficients)
    excitation = _checks.array(excitation, np.int16, "excitation", min_length=1)
    output = np.zeros_like(excitation)
    if not raw.SynthFromLPC(_checks.pointer(taps, f32), _checks.pointer(excitation, i16),
                            _checks.pointer(output, i16), excitation.shape[0]):
        raise refused("SynthFromLPC")
    return output


@locked
def correlation(signal, template):
    """Normalised cross-correlation in percent, one float32 per lag of signal
    (samples past the end of the signal count as 0)."""
    signal = _checks.array(signal, np.int16, "signal", min_length=1)
    template = _checks.array(template, np.int16, "template", min_length=1)
    if signal.shape[0] < template.shape[0]:
        raise ValueError("the signal (%d) must not be shorter than the template (%d)"
                         % (signal.shape[0], template.shape[0]))
    output = np.zeros(signal.shape[0], dtype=np.float32)
    if not raw.Correlation(_checks.pointer(signal, i16), signal.shape[0],
                           _checks.pointer(template, i16), template.shape[0],
                           _checks.pointer(output, f32)):
        raise refused("Correlation")
    return output


def _frame(frame, minimum):
    frame = _checks.array(frame, np.int16, "frame", min_length=minimum)
    if frame.shape[0] > MAX_FRAME:
        raise ValueError("frame must hold at most %d samples, not %d" % (MAX_FRAME, frame.shape[0]))
    return frame


@locked
def cepstrum(frame, length=50):
    """Real cepstrum magnitudes (float32, length values) of an int16 frame of
    13..65536 samples, padded to 16, 256 or 65536 points; values past the
    transform size are 0."""
    frame = _frame(frame, MIN_CEPSTRUM_FRAME)
    length = _checks.integer(length, "length", 1, MAX_FEATURE_LENGTH)
    output = np.zeros(length, dtype=np.float32)
    with _Setting(raw.GetCeplen, raw.SetCeplen, length):
        if not raw.CalculateCepstral(_checks.pointer(frame, i16), frame.shape[0],
                                     _checks.pointer(output, f32)):
            raise refused("CalculateCepstral")
    return output


@locked
def mfcc(frame, rate=16000, count=13):
    """Cepstral coefficients 1..count (float32) of a 20-band critical-band
    filter bank over a Hann-windowed int16 frame of 20..65536 samples.

    The library has no getter for its MFCC sampling rate: this sets it to
    rate and leaves it there.
    """
    frame = _frame(frame, MIN_MFCC_FRAME)
    rate = _checks.integer(rate, "rate", 1)
    count = _checks.integer(count, "count", 1, MAX_FEATURE_LENGTH)
    output = np.zeros(count, dtype=np.float32)
    raw.MFCCSetSampleingRate(rate)
    with _Setting(raw.GetMFCCVecLen, raw.SetMFCCVecLen, count):
        if not raw.MFCCCalculateParam(_checks.pointer(frame, i16), frame.shape[0],
                                      _checks.pointer(output, f32)):
            raise refused("MFCCCalculateParam")
    return output


def _point_filter(operation, values, window):
    values = _checks.array(values, np.int32, "values")
    window = _checks.integer(window, "window", 1)
    output = np.zeros_like(values)
    if not getattr(raw, operation)(_checks.pointer(values, i32), _checks.pointer(output, i32),
                                   values.shape[0], window):
        raise refused(operation)
    return output


@locked
def filter_points(values, window):
    """Centred moving average of int32 values (ends copied, 16-bit results)."""
    return _point_filter("FilterInPoints", values, window)


@locked
def filter_pitch(values, window):
    """filter_points on every run of values above 50; the gaps become 0."""
    return _point_filter("FilterPitch", values, window)
