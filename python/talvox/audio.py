"""Audio files of every common format through libsndfile (ctypes).

Reading gives the library's 16-bit samples exactly as the talvox command
does: each sample x on the full scale -1..1 (an integer of B bits is
v / 2**(B-1)) becomes round(x * 32768), halves away from zero, clipped to
-32768..32767; NaN becomes 0. Writing 16-bit samples into 24- or 32-bit PCM
or float keeps their values exactly (v * 2**(B-16), v / 32768).
"""

import ctypes
import ctypes.util
import os

import numpy as np

_FORMAT_TYPEMASK = 0x0FFF0000
_FORMAT_SUBMASK = 0x0000FFFF
_READ, _WRITE = 0x10, 0x20
_SET_NORM_DOUBLE = 0x1012
_TRUE = 1
_FULL_SCALE = 32768.0
_BLOCK_FRAMES = 1 << 16

# --format names: container | usual encoding (as the command line takes them).
CONTAINERS = {
    "wav": 0x010000 | 0x0002, "wavex": 0x130000 | 0x0002, "rf64": 0x220000 | 0x0002,
    "w64": 0x0B0000 | 0x0002, "aiff": 0x020000 | 0x0002, "au": 0x030000 | 0x0002,
    "caf": 0x180000 | 0x0002, "flac": 0x170000 | 0x0002, "ogg": 0x200000 | 0x0060,
    "opus": 0x200000 | 0x0064, "mp3": 0x230000 | 0x0082, "raw": 0x040000 | 0x0002,
}
_EXTENSIONS = {
    ".wav": "wav", ".wave": "wav", ".rf64": "rf64", ".w64": "w64", ".aiff": "aiff", ".aif": "aiff",
    ".aifc": "aiff", ".au": "au", ".snd": "au", ".caf": "caf", ".flac": "flac", ".ogg": "ogg",
    ".oga": "ogg", ".opus": "opus", ".mp3": "mp3", ".raw": "raw", ".pcm": "raw",
}
# --bits values, and --raw encodings.
BITS = {"8": 0x0001, "16": 0x0002, "24": 0x0003, "32": 0x0004, "float": 0x0006, "double": 0x0007}
RAW_ENCODINGS = {"s8": 0x0001, "u8": 0x0005, "s16": 0x0002, "s24": 0x0003, "s32": 0x0004,
                 "f32": 0x0006, "f64": 0x0007, "ulaw": 0x0010, "alaw": 0x0011}
_RAW = 0x040000
_ENDIAN_LITTLE, _ENDIAN_BIG = 0x10000000, 0x20000000
_EIGHT_BIT = (0x0001, 0x0005)
_FLOATS = (0x0006, 0x0007)
LIBRARY_WAV = CONTAINERS["wav"]


class _Info(ctypes.Structure):
    _fields_ = [("frames", ctypes.c_int64), ("samplerate", ctypes.c_int),
                ("channels", ctypes.c_int), ("format", ctypes.c_int),
                ("sections", ctypes.c_int), ("seekable", ctypes.c_int)]


def _open_sndfile():
    name = ctypes.util.find_library("sndfile") or "libsndfile.so.1"
    try:
        lib = ctypes.CDLL(name)
    except OSError as error:
        raise OSError("talvox: libsndfile is needed to read and write audio files "
                      "(Debian: apt-get install libsndfile1): %s" % error)
    lib.sf_open.restype = ctypes.c_void_p
    lib.sf_open.argtypes = [ctypes.c_char_p, ctypes.c_int, ctypes.POINTER(_Info)]
    lib.sf_close.argtypes = [ctypes.c_void_p]
    lib.sf_strerror.restype = ctypes.c_char_p
    lib.sf_strerror.argtypes = [ctypes.c_void_p]
    lib.sf_command.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_void_p, ctypes.c_int]
    lib.sf_readf_double.restype = ctypes.c_int64
    lib.sf_readf_double.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_int64]
    lib.sf_writef_double.restype = ctypes.c_int64
    lib.sf_writef_double.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_int64]
    lib.sf_writef_short.restype = ctypes.c_int64
    lib.sf_writef_short.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_int64]
    lib.sf_format_check.argtypes = [ctypes.POINTER(_Info)]
    return lib


_sndfile = None


def _lib():
    global _sndfile
    if _sndfile is None:
        _sndfile = _open_sndfile()
    return _sndfile


def _reason(handle=None):
    return _lib().sf_strerror(handle).decode("utf-8", "replace")


def raw_layout(text):
    """--raw RATE,CHANNELS,ENCODING (e.g. "16000,1,s16", "44100,2,f32be") as
    (rate, channels, format code); ValueError for anything else."""
    parts = str(text).split(",")
    if len(parts) != 3 or not parts[0].isdigit() or not parts[1].isdigit():
        raise ValueError("raw must be 'RATE,CHANNELS,ENCODING', e.g. '16000,1,s16', not %r" % (text,))
    rate, channels, name = int(parts[0]), int(parts[1]), parts[2].lower()
    order = _ENDIAN_LITTLE
    if name.endswith(("be", "le")) and name[:-2] in RAW_ENCODINGS:
        order = _ENDIAN_BIG if name.endswith("be") else _ENDIAN_LITTLE
        name = name[:-2]
    if name not in RAW_ENCODINGS or not 1 <= rate < 2**30 or not 1 <= channels <= 1024:
        raise ValueError("raw %r: the encoding is one of %s (be appended for big-endian), the rate "
                         "and channel count positive" % (text, ", ".join(RAW_ENCODINGS)))
    return rate, channels, _RAW | RAW_ENCODINGS[name] | order


def to_16_bit(values):
    """Full-scale samples as int16: round(x * 32768) halves away from zero,
    clipped; NaN 0. Returns (samples, number clipped)."""
    scaled = np.nan_to_num(np.asarray(values, dtype=np.float64) * _FULL_SCALE, nan=0.0,
                           posinf=np.inf, neginf=-np.inf)
    rounded = np.trunc(scaled + np.copysign(0.5, scaled))
    clipped = int(np.count_nonzero((rounded > 32767) | (rounded < -32768)))
    return np.clip(rounded, -32768, 32767).astype(np.int16), clipped


def read(path, raw=None):
    """(frames float64 (n, channels) on the full scale, rate, format code)."""
    info = _Info()
    if raw is not None:
        info.samplerate, info.channels, info.format = raw_layout(raw)
    encoded = os.fsencode(path)
    if not os.path.exists(encoded):
        raise FileNotFoundError(2, "No such file or directory", os.fsdecode(encoded))
    if os.path.isdir(encoded):
        raise IsADirectoryError(21, "Is a directory", os.fsdecode(encoded))
    handle = _lib().sf_open(encoded, _READ, ctypes.byref(info))
    if not handle:
        from ._checks import TalvoxError
        raise TalvoxError("talvox: %r is not an audio file libsndfile can read (%s); if sox reads "
                          "it, convert it with: sox IN -b 16 OUT.wav" % (os.fsdecode(encoded), _reason()))
    try:
        _lib().sf_command(handle, _SET_NORM_DOUBLE, None, _TRUE)
        blocks = []
        while True:
            block = np.empty((_BLOCK_FRAMES, info.channels), dtype=np.float64)
            got = _lib().sf_readf_double(handle, block.ctypes.data, _BLOCK_FRAMES)
            if got <= 0:
                break
            blocks.append(block[:got])
        frames = np.concatenate(blocks) if blocks else np.zeros((0, info.channels))
        return frames, info.samplerate, info.format
    finally:
        _lib().sf_close(handle)


def format_for(path, format=None, bits=None, like=LIBRARY_WAV, channels=1, rate=16000):
    """The format code of an output: --format name, else the path's
    extension, else like; bits replaces the encoding. ValueError when
    libsndfile cannot write the result."""
    if format is not None:
        if str(format).lower() not in CONTAINERS:
            raise ValueError("format must be one of %s, not %r" % (", ".join(CONTAINERS), format))
        code = CONTAINERS[str(format).lower()]
    else:
        extension = os.path.splitext(os.fsdecode(path))[1].lower()
        code = CONTAINERS[_EXTENSIONS[extension]] if extension in _EXTENSIONS else like
        if (code & _FORMAT_TYPEMASK) == (like & _FORMAT_TYPEMASK) and (code & _FORMAT_TYPEMASK) != 0x200000:
            code = like
    if bits is not None:
        if str(bits).lower() not in BITS:
            raise ValueError("bits must be one of %s, not %r" % (", ".join(BITS), bits))
        code = (code & ~_FORMAT_SUBMASK) | BITS[str(bits).lower()]
    info = _Info(0, rate, channels, code, 0, 0)
    if (code & _FORMAT_SUBMASK) == BITS["8"] and not _lib().sf_format_check(ctypes.byref(info)):
        info.format = code = (code & ~_FORMAT_SUBMASK) | 0x0005  # WAV's 8 bits are unsigned
    if not _lib().sf_format_check(ctypes.byref(info)):
        usual = [c for c in CONTAINERS.values() if (c & _FORMAT_TYPEMASK) == (code & _FORMAT_TYPEMASK)]
        info.format = usual[0] if usual and bits is None else code
        if not _lib().sf_format_check(ctypes.byref(info)):
            raise ValueError("libsndfile cannot write format 0x%x with %d channel(s) at %d Hz"
                             % (code, channels, rate))
    return info.format


def write(path, frames, rate, code):
    """Writes int16 frames (n, channels) in format code, through a temporary
    name in the same folder (the file appears complete or not at all)."""
    from ._checks import TalvoxError
    encoded = os.fsencode(path)
    folder, name = os.path.split(encoded)
    temporary = os.path.join(folder, b"." + name + b".talvox-%d" % os.getpid())
    if (code & _FORMAT_SUBMASK) in _EIGHT_BIT:  # libsndfile drops the low byte: round first
        frames = (np.clip(np.trunc(frames / 256.0 + np.copysign(0.5, frames)), -128, 127) * 256).astype(np.int16)
    frames = np.ascontiguousarray(frames, dtype=np.int16)
    info = _Info(0, rate, frames.shape[1], code, 0, 0)
    handle = _lib().sf_open(temporary, _WRITE, ctypes.byref(info))
    if not handle:
        raise TalvoxError("talvox: cannot write %r (%s)" % (os.fsdecode(encoded), _reason()))
    try:
        if (code & _FORMAT_SUBMASK) in _FLOATS:  # shorts would be stored unscaled
            scaled = np.ascontiguousarray(frames / _FULL_SCALE)
            written = _lib().sf_writef_double(handle, scaled.ctypes.data, frames.shape[0])
        else:
            written = _lib().sf_writef_short(handle, frames.ctypes.data, frames.shape[0])
    finally:
        closed = _lib().sf_close(handle)
    if written != frames.shape[0] or closed != 0:
        os.unlink(temporary)
        raise TalvoxError("talvox: cannot write %r (disk full?)" % (os.fsdecode(encoded),))
    os.replace(temporary, encoded)
