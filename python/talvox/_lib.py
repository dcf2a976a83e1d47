"""The raw layer: libtalvox's exports, declared one to one with ctypes.

Every function of include/talvox.h is declared in SIGNATURES with its exact
result and argument types. `raw` (exported as `talvox.raw`) holds the loaded
library; `raw.GetWaveLength()` calls the C function directly, with no checks
beyond the ones ctypes makes. Use the Pythonic layer unless you need the C
interface as it is.

The library keeps ONE document per process: the raw functions all work on
that single process-wide state. Each call holds the binding's lock (LOCK),
so calls from several threads take turns; a sequence of raw calls that must
not be interleaved should hold `talvox.raw.lock` itself.
"""

import ctypes
import ctypes.util
import functools
import os
import threading
from ctypes import POINTER, c_char, c_char_p, c_void_p

i16 = ctypes.c_int16
i32 = ctypes.c_int32
u8 = ctypes.c_uint8
u16 = ctypes.c_uint16
u32 = ctypes.c_uint32
f32 = ctypes.c_float
f64 = ctypes.c_double
P = POINTER

ELEMENT_TEXT_BYTES = 104


class TvxElement(ctypes.Structure):
    """One element of the segmentation (112 bytes, also the on-disk record)."""

    _fields_ = [("desc", c_char * ELEMENT_TEXT_BYTES), ("start", i32), ("end", i32)]


class TvxWaveHeader(ctypes.Structure):
    """The canonical 44-byte WAV header, packed, little-endian."""

    _pack_ = 1
    _fields_ = [
        ("riff", c_char * 4),
        ("riffSize", u32),
        ("wave", c_char * 4),
        ("fmt", c_char * 4),
        ("fmtSize", u32),
        ("formatTag", u16),
        ("channels", u16),
        ("samplesPerSec", u32),
        ("avgBytesPerSec", u32),
        ("blockAlign", u16),
        ("bitsPerSample", u16),
        ("data", c_char * 4),
        ("dataSize", u32),
    ]


class TvxDocument(ctypes.Structure):
    """The document-state record taken by _SavePeaks and _ReadPeaks."""

    _fields_ = [
        ("elements", P(TvxElement)),
        ("elementCount", i32),
        ("peaks", P(i32)),
        ("modifiedPitch", P(i32)),
        ("peakCount", i32),
        ("peakRate", i32),
        ("elementCapacity", i32),
        ("segmented", i32),
        ("spectrum", P(u8)),
        ("spectrumFrames", i32),
    ]


# name: (result type, [argument types]), in the order of the header.
SIGNATURES = {
    # lifecycle
    "InitTalvox": (None, []),
    "FreeTalvox": (None, []),
    "FreeMem": (None, [c_void_p]),
    "InitSpeechBackup": (None, []),
    "FreeSpeechBackup": (None, []),
    # wave buffer
    "InitWaveFileProc": (i32, []),
    "FreeWaveFileProc": (None, []),
    "NewWave": (i32, []),
    "GetWaveFileHead": (P(TvxWaveHeader), []),
    "GetWaveLength": (i32, []),
    "SetWaveLength": (None, [i32]),
    "GetSamplesPerSec": (i32, []),
    "GetAvgBytesPerSec": (i32, []),
    "GetBlockAlign": (u16, []),
    "GetChannels": (u16, []),
    "SetChannels": (None, [u16]),
    "GetBitsPerSample": (u16, []),
    "GetDataBuffer": (P(i16), [i32]),
    "SetDataBuffer": (i32, [i32, P(i16), i32]),
    "CutWave": (i32, [i32, i32]),
    "PasteWave": (i32, [i32, P(P(i16)), i32]),
    # WAV files
    "ReadWaveFile": (i32, [i32, c_char_p, i32, i32]),
    "SaveWaveFile": (i32, [i32, c_char_p, i32, i32]),
    # elements
    "GetElementNum": (i32, []),
    "GetElementSegment": (i32, [i32, P(i32), P(i32)]),
    "SetElementSegment": (i32, [i32, i32, i32]),
    "SetFullSegmentation": (None, []),
    "TidyElements": (None, []),
    "AddBoundary": (i32, [i32]),
    "DelBoundary": (i32, [i32, i32]),
    "GetNearestElementBoundary": (i32, [i32, P(i32), f32]),
    "GetElement": (i32, [i32]),
    "GetElementDesc": (i32, [i32, P(c_char)]),
    "SetElementDesc": (i32, [i32, c_char_p]),
    # tag files
    "LoadTag": (i32, [c_char_p, P(i32), P(i32), P(TvxElement), P(i32)]),
    # peaks
    "GetClosedPeak": (i32, [i32, f32]),
    "GetClosedMaximumPeak": (i32, [i32, i32]),
    "GetClosedZerocross": (i32, [i32, i32]),
    "DeletePeak": (i32, [i32, P(i32), f32]),
    "AddPeak": (i32, [i32, P(i32)]),
    "DeleteAllPeak": (None, []),
    "DeleteRangePeak": (None, [i32, i32]),
    "AdjustPeakToZerocross": (None, [P(i16), i32]),
    "AdjustZerocrossToPeak": (None, [P(i16), i32]),
    "GetElementPeak": (i32, [i32, P(P(i32))]),
    "GetElementModifiedPitch": (i32, [i32, P(P(i32))]),
    "GetFullPeaks": (i32, [P(P(i32))]),
    "GetFullModifiedPitch": (i32, [P(P(i32))]),
    "SetModifiedPitch": (i32, [P(i32)]),
    "GetNearestPeak": (i32, [i32, P(i32), P(i32)]),
    "GetNearestPitch": (i32, [i32, P(i32)]),
    # segmentation
    "SegmentSpeech": (i32, [P(i16), i32, i32]),
    # pitch marks
    "CalculatePeak": (i32, [P(i16), i32, i32]),
    "_CalculatePeak": (i32, [P(i16), i32, i32, P(i32)]),
    "CalculatePitch": (i32, [P(i16), i32, i32]),
    "_CalculatePitch": (i32, [P(i16), i32, i32, P(i32)]),
    "SegmentVoice": (i32, [P(i16), i32, i32, f32, f32]),
    "_SegmentVoiceMarks": (i32, [P(i32), i32, i32, i32]),
    "CalculateVoiceMarks": (i32, [P(i16), i32, i32, f32, f32]),
    "_CalculateVoiceMarks": (i32, [P(i16), i32, i32, f32, f32, P(i32), i32]),
    "_CalculateF0Track": (i32, [P(i16), i32, i32, f32, f32, i32, P(f32), i32]),
    # peak files
    "SavePeaks": (i32, [c_char_p]),
    "_SavePeaks": (i32, [c_char_p, P(TvxDocument)]),
    "ReadPeaks": (i32, [c_char_p]),
    "_ReadPeaks": (i32, [c_char_p, P(TvxDocument)]),
    # point filtering
    "FilterInPoints": (i32, [P(i32), P(i32), i32, i32]),
    "FilterPitch": (i32, [P(i32), P(i32), i32, i32]),
    # editing
    "CopySpeech": (i32, [i32, i32]),
    "DelSpeech": (i32, [i32, i32]),
    "CutSpeech": (i32, [i32, i32]),
    "PasteSpeech": (i32, [i32, i32]),
    "CollectSegmentedSpeech": (i32, [i32, i32, i32]),
    "GetCollectSegmentedSpeech": (P(i16), []),
    "GetCollectSegmentedSpeechLength": (i32, []),
    # resynthesis
    "SynthesisSpeech": (i32, [i32, i32, i32]),
    "GetSynthesisSpeech": (P(i16), []),
    "GetSynthesisLength": (i32, []),
    "SynthesisSpeechStretch": (i32, [i32, i32, i32, f32]),
    "SynthesisSpeechMapped": (i32, [i32, i32, i32, P(i32), P(i32), i32]),
    # FFT and windows
    "fft": (i32, [P(f32), P(f32), i32, i32]),
    "Hanning": (None, [P(i16), i32]),
    # filters
    "butt_low_pass": (f64, [i32, i32, f64, P(f64), P(f64)]),
    "cheby_low_pass": (f64, [i32, i32, f64, f64, P(f64), P(f64)]),
    "filter": (None, [P(i16), i32, i32, f64, P(f64), P(f64)]),
    # prediction
    "Lpc_Lattice": (i32, [P(f32), P(i16), i32]),
    "AntiFilterFromLPC": (i32, [P(f32), P(i16), P(i16), i32]),
    "SynthFromLPC": (i32, [P(f32), P(i16), P(i16), i32]),
    "Correlation": (i32, [P(i16), i32, P(i16), i32, P(f32)]),
    "SetLPCNum": (None, [i32]),
    "GetLPCNum": (i32, []),
    # cepstrum, MFCC
    "CalculateCepstral": (i32, [P(i16), i32, P(f32)]),
    "SetCeplen": (None, [i32]),
    "GetCeplen": (i32, []),
    "MFCCCalculateParam": (i32, [P(i16), i32, P(f32)]),
    "MFCCSetSampleingRate": (None, [i32]),
    "SetMFCCVecLen": (None, [i32]),
    "GetMFCCVecLen": (i32, []),
    # spectrum, energy
    "CalculateSpectrum": (i32, [P(i16), i32]),
    "_CalculateSpectrum": (i32, [P(i16), i32, P(u8)]),
    "GetSpectrum": (P(u8), []),
    "GetSpectrumFrameNum": (i32, []),
    "CalculateEnergy": (i32, [P(i16), i32]),
    "_CalculateEnergy": (i32, [P(i16), i32, P(i32), P(i32)]),
    "GetEnergy": (P(i32), []),
    "GetEnergyLength": (i32, []),
    # playback
    "PlayOpen": (i32, [u32, i32, i32, i32]),
    "PlayData": (None, [c_void_p, i32]),
    "WaveOutGetPosition": (i32, []),
    "PlayPause": (None, []),
    "PlayStop": (i32, []),
    "PlayClose": (None, []),
    "FreeWavePlay": (None, []),
    "isSoundOpen": (i32, []),
    # recording
    "RecordOpen": (i32, [u32, i32, i32, i32]),
    "RecordData": (None, [c_void_p, i32]),
    "WaveInGetPosition": (i32, []),
    "GetRecordBytes": (i32, []),
    "RecordStop": (i32, []),
    "RecordClose": (None, []),
}

LIBRARY_NAME = "libtalvox.so"


def candidate_paths():
    """Where the library is looked for, in order of preference."""
    package = os.path.dirname(os.path.abspath(__file__))
    paths = []
    from_environment = os.environ.get("TALVOX_LIBRARY")
    if from_environment:
        # An explicit choice is the only one: a wrong path must not fall back
        # silently to some other copy.
        return [from_environment]
    paths.append(os.path.join(package, LIBRARY_NAME))
    try:  # written by cmake --install: the library installed with this package
        from ._location import LIBRARY_FROM_PACKAGE
        paths.append(os.path.normpath(os.path.join(package, LIBRARY_FROM_PACKAGE)))
    except ImportError:
        pass
    paths.append(os.path.normpath(os.path.join(package, "..", "..", "build", LIBRARY_NAME)))
    system = ctypes.util.find_library("talvox")
    paths.append(system if system else LIBRARY_NAME + ".0")
    return paths


def _open_library():
    tried = []
    for path in candidate_paths():
        is_file_path = os.sep in path
        if is_file_path and not os.path.exists(path):
            tried.append(path + " (missing)")
            continue
        try:
            return ctypes.CDLL(path), path
        except OSError as error:
            tried.append("%s (%s)" % (path, error))
    raise OSError(
        "talvox: cannot load the talvox library; set TALVOX_LIBRARY to the path of "
        "libtalvox.so. Tried: " + "; ".join(tried)
    )


class _Missing:
    """Stands in for an export the loaded library does not have."""

    def __init__(self, name, path):
        self.__name__ = name
        self._path = path

    def __call__(self, *arguments):
        raise NotImplementedError(
            "talvox: the library %s has no export %s (built from an older tree?)"
            % (self._path, self.__name__)
        )


# The library keeps one document per process and none of its calls may run
# alongside another (ctypes lets go of the GIL during a call). Every call
# through `raw` holds this lock, and so does every operation of the Pythonic
# layer from its first call to its last copy out of library memory. It is
# reentrant, so an operation may call others.
LOCK = threading.RLock()


def locked(function):
    """function, run while holding the library's lock."""

    @functools.wraps(function)
    def call(*arguments, **keywords):
        with LOCK:
            return function(*arguments, **keywords)

    return call


class _LockedFunction:
    """A ctypes function called under the library's lock; restype and
    argtypes are those of the function itself."""

    __slots__ = ("function", "__name__")

    def __init__(self, function, name):
        self.function = function
        self.__name__ = name

    @property
    def restype(self):
        return self.function.restype

    @property
    def argtypes(self):
        return self.function.argtypes

    def __call__(self, *arguments):
        with LOCK:
            return self.function(*arguments)


class RawLibrary:
    """The loaded library, one attribute per export of the header.

    Attributes are the ctypes functions themselves (argtypes and restype
    set); an export missing from the loaded file is an object that raises
    NotImplementedError when called. `available(name)` tells which is which.
    """

    def __init__(self):
        self.cdll, self.path = _open_library()
        self.missing = set()
        for name, (result, arguments) in SIGNATURES.items():
            try:
                function = getattr(self.cdll, name)
            except AttributeError:
                self.missing.add(name)
                setattr(self, name, _Missing(name, self.path))
                continue
            function.restype = result
            function.argtypes = arguments
            setattr(self, name, _LockedFunction(function, name))

    lock = LOCK

    def available(self, name):
        """True when the loaded library exports `name`."""
        return name in SIGNATURES and name not in self.missing


raw = RawLibrary()
