"""talvox for Python: speech annotation, analysis, editing and resynthesis.

A ctypes binding of libtalvox (no compiled extension). The library is found
through the TALVOX_LIBRARY environment variable, else libtalvox.so next to
this package, else the build tree (../../build/libtalvox.so), else the
system's library path.

The library keeps ONE speech document per process: see Document. The
binding serialises every library call with one lock (talvox.raw.lock), so
threads take turns; results are those of some order of the calls.

    import talvox
    with talvox.Document("speech.wav") as doc:
        doc.analyze()                                  # elements, pitch marks
        higher = doc.resynthesize(semitones=7)         # int16 samples
    talvox.save("higher.wav", higher, 16000)

`talvox.raw` is the C interface itself, every export declared with ctypes.
"""

from ._checks import TalvoxError
from ._lib import SIGNATURES, TvxDocument, TvxElement, TvxWaveHeader, raw
from .document import Document, Element, Wave, load, save
from . import interop
from .dsp import (
    FilterDesign,
    apply_filter,
    butter_lowpass,
    cepstrum,
    cheby_lowpass,
    correlation,
    fft,
    filter_pitch,
    filter_points,
    hanning,
    lpc,
    lpc_residual,
    lpc_synthesis,
    mfcc,
    reset_filter_state,
)

__all__ = [
    "Document", "Element", "FilterDesign", "SIGNATURES", "TalvoxError", "TvxDocument",
    "TvxElement", "TvxWaveHeader", "Wave", "apply_filter", "butter_lowpass", "cepstrum",
    "cheby_lowpass", "correlation", "fft", "filter_pitch", "filter_points", "hanning", "load",
    "lpc", "lpc_residual", "lpc_synthesis", "mfcc", "raw", "reset_filter_state", "save",
]
