"""The internal pitch marks at high sampling rates, as the talvox command
places them.

The library's internal route loses marks above 16 kHz, so the signal is
decimated by the whole factor ceil(rate / 16000) with libsoxr (high
quality, the settings of the command) and the copy's elements and marks are
multiplied by the factor: each lands exactly on a sample of the original.
"""

import ctypes
import ctypes.util
import os
import tempfile

import numpy as np

from ._checks import TalvoxError
from ._lib import TvxDocument, TvxElement, i32, raw

HIGHEST_MARK_RATE = 16000  # the internal route's marks hold steady up to here
_INT16_INTERLEAVED = 3
_HIGH_QUALITY = 4
_NO_DITHER = 8  # 16-bit output is otherwise dithered from a seed that changes each run


class _IoSpec(ctypes.Structure):
    _fields_ = [("itype", ctypes.c_int), ("otype", ctypes.c_int), ("scale", ctypes.c_double),
                ("e", ctypes.c_void_p), ("flags", ctypes.c_ulong)]


class _QualitySpec(ctypes.Structure):
    _fields_ = [("precision", ctypes.c_double), ("phase_response", ctypes.c_double),
                ("passband_end", ctypes.c_double), ("stopband_begin", ctypes.c_double),
                ("e", ctypes.c_void_p), ("flags", ctypes.c_ulong)]


_soxr = None


def _lib():
    global _soxr
    if _soxr is None:
        name = ctypes.util.find_library("soxr") or "libsoxr.so.0"
        try:
            lib = ctypes.CDLL(name)
        except OSError as error:
            raise OSError("talvox: libsoxr is needed to analyse rates above %d Hz "
                          "(Debian: apt-get install libsoxr0): %s" % (HIGHEST_MARK_RATE, error))
        lib.soxr_io_spec.restype = _IoSpec
        lib.soxr_io_spec.argtypes = [ctypes.c_int, ctypes.c_int]
        lib.soxr_quality_spec.restype = _QualitySpec
        lib.soxr_quality_spec.argtypes = [ctypes.c_ulong, ctypes.c_ulong]
        lib.soxr_oneshot.restype = ctypes.c_char_p
        lib.soxr_oneshot.argtypes = [
            ctypes.c_double, ctypes.c_double, ctypes.c_uint, ctypes.c_void_p, ctypes.c_size_t,
            ctypes.POINTER(ctypes.c_size_t), ctypes.c_void_p, ctypes.c_size_t,
            ctypes.POINTER(ctypes.c_size_t), ctypes.POINTER(_IoSpec), ctypes.POINTER(_QualitySpec),
            ctypes.c_void_p]
        _soxr = lib
    return _soxr


def reduction(rate):
    """The whole factor that brings rate to 16 kHz or below (1: as is)."""
    return -(-rate // HIGHEST_MARK_RATE) if rate > HIGHEST_MARK_RATE else 1


def decimate(samples, factor):
    """int16 samples decimated by factor with libsoxr (high quality)."""
    samples = np.ascontiguousarray(samples, dtype=np.int16)
    out = np.zeros(samples.shape[0] // factor + 2, dtype=np.int16)
    made = ctypes.c_size_t(0)
    io = _lib().soxr_io_spec(_INT16_INTERLEAVED, _INT16_INTERLEAVED)
    io.flags |= _NO_DITHER
    quality = _lib().soxr_quality_spec(_HIGH_QUALITY, 0)
    error = _lib().soxr_oneshot(float(factor), 1.0, 1, samples.ctypes.data, samples.shape[0], None,
                                out.ctypes.data, out.shape[0], ctypes.byref(made),
                                ctypes.byref(io), ctypes.byref(quality), None)
    if error:
        raise TalvoxError("talvox: resampling for the analysis failed: %s" % error.decode())
    return out[:made.value].copy()


def calculate_pitch(samples, rate, factor):
    """CalculatePitch on a copy decimated by factor, the document left with
    the copy's elements and marks scaled back. Returns the mark count."""
    length = samples.shape[0]
    copy = decimate(samples, factor)
    raw.CalculatePitch(copy.ctypes.data_as(ctypes.POINTER(ctypes.c_int16)), copy.shape[0],
                       (rate + factor // 2) // factor)
    elements = []
    for index in range(raw.GetElementNum()):
        element = TvxElement()
        start, end = i32(), i32()
        raw.GetElementDesc(index, element.desc)
        raw.GetElementSegment(index, ctypes.byref(start), ctypes.byref(end))
        element.start = min(start.value * factor, length)
        element.end = length if end.value >= copy.shape[0] else min(end.value * factor, length)
        if element.start < element.end:
            elements.append(element)
    table = ctypes.POINTER(i32)()
    count = raw.GetFullPeaks(ctypes.byref(table))
    peaks = []
    for k in range(count):
        position = table[k] * factor
        if position < length and (not peaks or position > peaks[-1]):
            peaks.append(position)
    periods = [b - a for a, b in zip(peaks, peaks[1:])] + [0] if peaks else []

    element_array = (TvxElement * max(len(elements), 1))(*elements)
    peak_array = (i32 * max(len(peaks), 1))(*peaks)
    period_array = (i32 * max(len(periods), 1))(*periods)
    record = TvxDocument()
    record.elements = element_array
    record.elementCount = record.elementCapacity = len(elements)
    record.peaks = peak_array if peaks else None
    record.modifiedPitch = period_array if peaks else None
    record.peakCount = len(peaks)
    record.peakRate = rate
    record.segmented = 1
    handle, scratch = tempfile.mkstemp(prefix="talvox-marks-")
    os.close(handle)
    try:
        raw.InitTalvox()
        if not raw._SavePeaks(os.fsencode(scratch), ctypes.byref(record)) or \
                not raw.ReadPeaks(os.fsencode(scratch)):
            raise TalvoxError("talvox: the annotation of the resampled copy could not be stored")
    finally:
        os.unlink(scratch)
    return len(peaks)
