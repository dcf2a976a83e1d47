"""Argument checks made before anything reaches the library.

Arrays handed to the library must already have the exact element type and be
C-contiguous: the binding never converts a numpy array silently, so what you
pass is exactly what the library reads. Plain Python sequences (lists,
tuples) are converted, provided every value fits the element type.
"""

import ctypes
import numbers
import os

import numpy as np


class TalvoxError(RuntimeError):
    """The library refused an operation (it returned 0), or the state of the
    single process-wide document does not allow it."""


def refused(operation, detail=""):
    message = "talvox: %s was refused by the library" % operation
    return TalvoxError(message + (": " + detail if detail else ""))


def array(value, dtype, name, ndim=1, min_length=0):
    """value as a C-contiguous numpy array of exactly dtype, else ValueError."""
    dtype = np.dtype(dtype)
    if isinstance(value, np.ndarray):
        if value.dtype != dtype:
            raise ValueError(
                "%s must have dtype %s, not %s (convert it explicitly, e.g. x.astype(np.%s))"
                % (name, dtype, value.dtype, dtype)
            )
        if not value.flags["C_CONTIGUOUS"]:
            raise ValueError(
                "%s must be C-contiguous (use np.ascontiguousarray(%s))" % (name, name)
            )
        result = value
    elif isinstance(value, (list, tuple, range)):
        result = _from_sequence(value, dtype, name)
    else:
        raise ValueError(
            "%s must be a numpy array of dtype %s or a list, not %s"
            % (name, dtype, type(value).__name__)
        )
    if result.ndim != ndim:
        raise ValueError("%s must have %d dimension(s), not %d" % (name, ndim, result.ndim))
    if result.shape[0] < min_length:
        raise ValueError(
            "%s must hold at least %d value(s), not %d" % (name, min_length, result.shape[0])
        )
    if result.size > np.iinfo(np.int32).max:
        raise ValueError("%s is too long for the library (more than 2**31 - 1 values)" % name)
    return result


def _from_sequence(value, dtype, name):
    converted = np.asarray(value)
    if converted.size == 0:
        return np.zeros(converted.shape, dtype=dtype)
    if dtype.kind in "iu":
        if converted.dtype.kind not in "iub":
            raise ValueError("%s must hold integers for dtype %s" % (name, dtype))
        limits = np.iinfo(dtype)
        if converted.min() < limits.min or converted.max() > limits.max:
            raise ValueError(
                "%s holds values outside the range of %s (%d..%d)"
                % (name, dtype, limits.min, limits.max)
            )
    elif converted.dtype.kind not in "iufc" or (
        converted.dtype.kind == "c" and dtype.kind != "c"
    ):
        raise ValueError("%s must hold numbers of dtype %s" % (name, dtype))
    return np.ascontiguousarray(converted, dtype=dtype)


def integer(value, name, low=None, high=None):
    """value as a Python int within low..high (inclusive), else ValueError."""
    if isinstance(value, bool) or not isinstance(value, numbers.Integral):
        raise ValueError("%s must be an integer, not %r" % (name, value))
    value = int(value)
    if low is not None and value < low:
        raise ValueError("%s must be at least %d, not %d" % (name, low, value))
    if high is not None and value > high:
        raise ValueError("%s must be at most %d, not %d" % (name, high, value))
    return value


def real(value, name):
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise ValueError("%s must be a real number, not %r" % (name, value))
    value = float(value)
    if not np.isfinite(value):
        raise ValueError("%s must be finite, not %r" % (name, value))
    return value


def path(value, name="path"):
    """A file path as the bytes the library takes."""
    if isinstance(value, (str, bytes, os.PathLike)):
        encoded = os.fsencode(value)
        if not encoded:
            raise ValueError("%s must not be empty" % name)
        if b"\0" in encoded:
            raise ValueError("%s must not contain a NUL character" % name)
        return encoded
    raise ValueError("%s must be a str, bytes or os.PathLike, not %s" % (name, type(value).__name__))


def pointer(array_value, ctype):
    """A ctypes pointer to the first element of a contiguous numpy array."""
    return array_value.ctypes.data_as(ctypes.POINTER(ctype))


def copy_out(pointer_value, count, dtype):
    """A numpy copy of count values behind a library pointer (empty for 0)."""
    if count <= 0 or not pointer_value:
        return np.zeros(0, dtype=dtype)
    return np.ctypeslib.as_array(pointer_value, shape=(count,)).astype(dtype, copy=True)
