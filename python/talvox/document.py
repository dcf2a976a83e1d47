"""WAV files and the speech document.

The library keeps ONE document per process: one wave buffer (the signal),
one document state (elements, pitch marks, modified pitch, spectrum, energy,
output signal) and one speech clipboard. `Document` owns all three while it
is open, so only one Document can be open at a time, and `load`/`save` (which
borrow the wave buffer) refuse to run while one is.

Threads: every operation here holds the binding's one lock from its first
library call to its last copy out of library memory, so operations from
several threads take turns. A Document closed by one thread while another
uses it makes the other's next operation raise TalvoxError ("not open").
"""

import collections
import ctypes
import errno
import os
import shutil
import stat
import tempfile

import numpy as np

from . import _checks, audio, reduced_rate, run_edges
from . import tones as _tones
from ._checks import TalvoxError, refused
from ._lib import ELEMENT_TEXT_BYTES, LOCK, i16, i32, locked, raw

Wave = collections.namedtuple("Wave", "samples rate")
Wave.__doc__ = """A signal: samples (int16, shape (n,) mono or (n, 2) stereo) and rate in Hz."""

Element = collections.namedtuple("Element", "description start end")
Element.__doc__ = """One element: description text, start sample, end sample (one past the last)."""

# Highest rate whose byte rate (4 bytes per stereo frame) still fits the header.
_MAX_RATE = 2**30 - 1
_MAX_DESCRIPTION = ELEMENT_TEXT_BYTES - 1
_SEMITONES_PER_OCTAVE = 12.0
# The pitch changes the command-line tool accepts, for the same reasons:
# beyond them the resynthesis is no longer speech.
_MAX_SEMITONES = 24.0
_PITCH_SCALE_RANGE = (0.25, 4.0)
_F0_RANGE = (20.0, 2000.0)  # Hz; outside it no voice
# The library holds a channel of at most this many samples (its data size
# must fit 31 bits), a stereo signal half as many frames.
_MAX_MONO_SAMPLES = (2**31 - 1) // 2
_MAX_STEREO_FRAMES = (2**31 - 1) // 4
_PITCH_PROGRAM = "pap.exe"
_LARGEST_DURATION_SCALE = 8.0

_open_document = None  # the one open Document, if any


def _require_readable(path):
    """Opens path for reading as the library will, so a missing or unreadable
    file raises the usual OSError (FileNotFoundError, PermissionError,
    IsADirectoryError) with its name."""
    try:
        descriptor = os.open(path, os.O_RDONLY | os.O_NONBLOCK | getattr(os, "O_CLOEXEC", 0))
    except OSError as error:
        raise type(error)(error.errno, error.strerror, os.fsdecode(path)) from None
    try:
        if stat.S_ISDIR(os.fstat(descriptor).st_mode):
            raise IsADirectoryError(errno.EISDIR, os.strerror(errno.EISDIR), os.fsdecode(path))
    finally:
        os.close(descriptor)


def _lock_members(cls):
    """Makes every method and property of cls hold the library's lock."""
    for name, member in list(vars(cls).items()):
        if name == "__init__":
            continue
        if isinstance(member, property):
            setattr(cls, name, property(locked(member.fget), None, None, member.__doc__))
        elif callable(member) and (not name.startswith("__") or name in ("__enter__", "__exit__")):
            setattr(cls, name, locked(member))
    return cls


class _PrivateFolder:
    """The current directory is a new private folder while this lives, so the
    external pitch program's working files never meet the caller's files or
    another run's. The folder and its files are removed afterwards. Changing
    directory affects the whole process: relative paths used by other threads
    meanwhile resolve in the private folder."""

    def __enter__(self):
        # TMPDIR as it is now (tempfile remembers the first one it saw).
        self.path = tempfile.mkdtemp(prefix="talvox-%d-" % os.getpid(),
                                     dir=os.environ.get("TMPDIR") or None)
        self.previous = os.open(".", os.O_RDONLY)
        try:
            os.chdir(self.path)
        except BaseException:
            os.close(self.previous)
            shutil.rmtree(self.path, ignore_errors=True)
            raise
        return self

    def __exit__(self, *exception):
        try:
            os.fchdir(self.previous)
        finally:
            os.close(self.previous)
            shutil.rmtree(self.path, ignore_errors=True)
        return False


def _refuse_while_open(operation):
    if _open_document is not None:
        raise TalvoxError(
            "talvox.%s needs the library's single wave buffer, which the open Document "
            "uses; close the Document first, or use its methods" % operation
        )


def _signal(samples, rate, any_channels=False):
    """Checks a signal the host passes in: int16 (n,) or (n, 2) (any (n, c)
    with any_channels), n >= 1."""
    if isinstance(samples, np.ndarray) and samples.ndim == 2:
        frames = _checks.array(samples, np.int16, "samples", ndim=2, min_length=1)
        if frames.shape[1] < 1 or (frames.shape[1] != 2 and not any_channels):
            raise ValueError(
                "two-dimensional samples must have shape (n, 2), not %s" % (frames.shape,)
            )
    else:
        frames = _checks.array(samples, np.int16, "samples", min_length=1)
    rate = _checks.integer(rate, "rate", 1, _MAX_RATE)
    return frames, rate


def _put_signal(frames, rate):
    """Makes frames the wave buffer's signal, with a header describing them."""
    channels = 1 if frames.ndim == 1 else 2
    raw.SetChannels(channels)
    header = raw.GetWaveFileHead().contents
    header.samplesPerSec = rate
    header.blockAlign = 2 * channels
    header.avgBytesPerSec = rate * 2 * channels
    header.bitsPerSample = 16
    index = 0 if channels == 1 else 2  # 2: both channels from interleaved frames
    largest = _MAX_MONO_SAMPLES if channels == 1 else _MAX_STEREO_FRAMES
    if frames.shape[0] > largest:
        raise ValueError(
            "the signal is too long for the library: at most %d %s, not %d"
            % (largest, "samples" if channels == 1 else "stereo frames", frames.shape[0])
        )
    if not raw.SetDataBuffer(index, _checks.pointer(frames, i16), frames.shape[0]):
        raise refused("SetDataBuffer", "the signal could not be stored (out of memory?)")


def _get_signal():
    """A copy of the wave buffer's signal, (n,) or (n, 2)."""
    length = raw.GetWaveLength()
    channels = raw.GetChannels()
    left = _checks.copy_out(raw.GetDataBuffer(0), length, np.int16)
    if channels != 2:
        return left
    right = _checks.copy_out(raw.GetDataBuffer(1), length, np.int16)
    return np.ascontiguousarray(np.stack([left, right], axis=1))


def _decode(path, channel=None, mix=False, raw_layout=None):
    """Samples of an audio file as the talvox command reads them."""
    frames, rate, _ = audio.read(path, raw_layout)
    if frames.shape[0] == 0:
        raise TalvoxError("talvox: %r holds no samples" % (os.fsdecode(path),))
    if mix and channel is not None:
        raise ValueError("mix and channel exclude each other")
    if mix:
        total = frames[:, 0].copy()
        for c in range(1, frames.shape[1]):  # channel by channel, as the command sums them
            total += frames[:, c]
        frames = (total / frames.shape[1])[:, None]
    elif channel is not None:
        channel = _checks.integer(channel, "channel", 0, frames.shape[1] - 1)
        frames = frames[:, channel:channel + 1]
    samples, _ = audio.to_16_bit(frames)
    return (samples[:, 0].copy() if samples.shape[1] == 1 else samples), rate


@locked
def load(path, channel=None, mix=False, raw=None):
    """Reads an audio file of any common format (libsndfile: WAV of any PCM
    width, float, mu-law, A-law, RF64, W64, AIFF, FLAC, Ogg Vorbis, Opus,
    MP3, ...): returns Wave(samples, rate) with int16 samples, (n,) for one
    channel, (n, channels) for more.

    Samples are converted as the talvox command converts them (see
    talvox.audio). channel picks one channel (0 = first), mix=True gives
    the mean of all channels; raw "RATE,CHANNELS,ENCODING" reads a
    headerless file. A missing file raises FileNotFoundError, one that
    cannot be decoded TalvoxError. Refuses to run while a Document is open
    (the library keeps one document per process).
    """
    encoded = _checks.path(path)
    _refuse_while_open("load")
    _require_readable(encoded)
    samples, rate = _decode(encoded, channel, mix, raw)
    return Wave(samples, rate)


@locked
def save(path, samples, rate, format=None, bits=None):
    """Writes samples (int16, (n,) or (n, channels)) at rate Hz.

    The format comes from format ("wav", "flac", "rf64", "ogg", "opus",
    "mp3", "aiff", ... as the command's --format), else from the file name's
    extension, else 16-bit WAV; bits ("8", "16", "24", "32", "float",
    "double") sets the sample format. A 16-bit WAV of one or two channels is
    written by the library itself, everything else through libsndfile. The
    file is written completely or not at all. Refuses to run while a
    Document is open.
    """
    encoded = _checks.path(path)
    frames, rate = _signal(samples, rate, any_channels=True)
    channels = 1 if frames.ndim == 1 else frames.shape[1]
    code = audio.format_for(encoded, format, bits, audio.LIBRARY_WAV, channels, rate)
    _refuse_while_open("save")
    if code != audio.LIBRARY_WAV or channels > 2:
        audio.write(encoded, frames.reshape(frames.shape[0], channels), rate, code)
        return
    raw.InitWaveFileProc()
    try:
        _put_signal(frames, rate)
        if not raw.SaveWaveFile(1, encoded, 0, 0):
            raise refused("SaveWaveFile", "cannot write %r" % (path,))
    finally:
        raw.FreeWaveFileProc()



def _voice_range(floor, ceiling):
    """floor and ceiling in Hz for the voice tracker: both 0 (from the
    signal), or 0 <= floor < ceiling."""
    floor = float(floor)
    ceiling = float(ceiling)
    if not (floor >= 0 and ceiling >= 0) or floor != floor or ceiling != ceiling:
        raise ValueError("floor and ceiling must be numbers >= 0")
    if (floor or ceiling) and not floor < ceiling:
        raise ValueError("floor must lie below ceiling (or both be 0)")
    return floor, ceiling


# Slower than this is a gap between syllables, not a pitch period.
_LOWEST_VOICE_HZ = 40.0
# Intervals either side whose median is the steady distance of an interval
# (where the tracker finds no voice) and whose median is the present period.
_STEADY_REACH = 4
_PRESENT_REACH = 1


def _run_median(values, period, reach):
    """Per interval where period holds: the median of values over 2 reach + 1
    intervals around it in the same unbroken run of periods (fewer where the
    run is shorter; the upper middle one of an even count). The window is
    moved inward at a run's ends, so an edge interval is outvoted too."""
    n = values.shape[0]
    index = np.arange(n)
    starts = period & ~np.concatenate(([False], period[:-1]))
    run = np.cumsum(starts) - 1
    first = np.flatnonzero(starts)[np.maximum(run, 0)] if starts.any() else index
    ends = period & ~np.concatenate((period[1:], [False]))
    last = np.flatnonzero(ends)[np.maximum(run, 0)] if ends.any() else index
    first = np.minimum(first, index)
    last = np.maximum(last, index)
    latest_start = last - np.minimum(last - first, 2 * reach)
    begin = np.minimum(index - np.minimum(index - first, reach), latest_start)
    offsets = begin[:, None] + np.arange(2 * reach + 1)[None, :]
    keep = offsets <= last[:, None]
    chosen = np.where(keep, values.astype(np.float64)[np.minimum(offsets, n - 1)], np.inf)
    ordered = np.sort(chosen, axis=1)
    middle = ordered[index, np.maximum(keep.sum(axis=1), 1) // 2]
    return np.where(period, middle, 0.0)


def _track_at(samples, f0, hop):
    """The track's F0 at sample positions: interpolated between two voiced
    frames, else the nearer frame's (0 when it is unvoiced)."""
    f0 = np.asarray(f0, dtype=np.float64)
    position = np.clip(np.asarray(samples, dtype=np.float64) / hop, 0, len(f0) - 1)
    left = position.astype(np.int64)
    right = np.minimum(left + 1, len(f0) - 1)
    share = position - left
    a, b = f0[left], f0[right]
    return np.where((a > 0) & (b > 0), a + (b - a) * share, np.where(share < 0.5, a, b))


def _present_periods(peaks, rate, f0, hop):
    """The period a pitch scale starts from, per interval of peaks: the
    tracker's F0 at its middle, interpolated between frames (else the
    median distance within four intervals either side in its run), then
    the median of those over one interval either side, as the command
    takes it. A mark a tenth of a period off then makes no new period jump.
    Intervals that are no pitch period keep their distance."""
    peaks = np.asarray(peaks, dtype=np.int64)
    distances = np.diff(peaks)
    period = (distances > 0) & (distances <= int(rate / _LOWEST_VOICE_HZ))
    steady = _run_median(distances, period, _STEADY_REACH)
    hertz = _track_at((peaks[:-1] + peaks[1:]) / 2.0, f0, hop) if len(f0) else np.zeros(len(distances))
    tracked = np.where(hertz > 0, rate / np.where(hertz > 0, hertz, 1.0), steady)
    present = _run_median(tracked, period, _PRESENT_REACH)
    return np.where(period, present, distances.astype(np.float64))


@_lock_members
class Document:
    """The library's speech document: a signal with its annotation.

    The library keeps ONE document per process, so at most one Document can
    be open at a time; opening a second raises TalvoxError. Use it as a
    context manager::

        with talvox.Document("speech.wav") as doc:
            doc.analyze()
            higher = doc.resynthesize(0, doc.length - 1, semitones=7)

    source is an audio file path (any format talvox.load reads, one or two
    channels; opened at once: a missing file raises FileNotFoundError), or
    int16 samples ((n,) or (n, 2)) with their rate, or None for an empty
    document. Entering (or open()) runs
    InitWaveFileProc, InitTalvox and InitSpeechBackup and loads the source;
    leaving (or close()) runs FreeSpeechBackup, FreeTalvox and
    FreeWaveFileProc. Everything read from the document (samples, elements,
    peaks, ...) is a copy: the library's buffers move when it reallocates.
    """

    def __init__(self, source=None, rate=None):
        self._path = None
        self._frames = None
        self._rate = None
        self._open = False
        self._marks_channel = 0  # the channel analyze() read the marks from
        if source is None:
            if rate is not None:
                raise ValueError("rate is only used with samples")
        elif isinstance(source, np.ndarray) or isinstance(source, (list, tuple)):
            if rate is None:
                raise ValueError("samples need their rate in Hz")
            self._frames, self._rate = _signal(source, rate)
        else:
            self._path = _checks.path(source, "source")
            if rate is not None:
                raise ValueError("rate is taken from the WAV file; do not pass one")
            _require_readable(self._path)

    # ------------------------------------------------------------ lifecycle

    def open(self):
        """Sets up the library's document and loads the source."""
        global _open_document
        if self._open:
            raise TalvoxError("this Document is already open")
        if _open_document is not None:
            raise TalvoxError(
                "the library keeps one document per process and another Document is "
                "open; close it first"
            )
        raw.InitWaveFileProc()
        raw.InitTalvox()
        raw.InitSpeechBackup()
        _open_document = self
        self._open = True
        try:
            if self._path is not None:
                samples, rate = _decode(self._path)
                if samples.ndim == 2 and samples.shape[1] > 2:
                    raise TalvoxError(
                        "talvox: %r has %d channels; a Document holds one or two: pass "
                        "talvox.load(path, channel=N) or load(path, mix=True) samples instead"
                        % (os.fsdecode(self._path), samples.shape[1]))
                _put_signal(samples, rate)
            elif self._frames is not None:
                _put_signal(self._frames, self._rate)
        except BaseException:
            self.close()
            raise
        return self

    def close(self):
        """Releases the library's document; safe to call twice."""
        global _open_document
        if not self._open:
            return
        raw.FreeSpeechBackup()
        raw.FreeTalvox()
        raw.FreeWaveFileProc()
        self._open = False
        _open_document = None

    def __enter__(self):
        return self.open()

    def __exit__(self, *exception):
        self.close()
        return False

    @property
    def is_open(self):
        return self._open

    def _require_open(self):
        if not self._open:
            raise TalvoxError("the Document is not open (use it in a with statement)")

    # --------------------------------------------------------------- signal

    @property
    def rate(self):
        """Sampling rate in Hz."""
        self._require_open()
        return raw.GetSamplesPerSec()

    @property
    def length(self):
        """Samples per channel."""
        self._require_open()
        return raw.GetWaveLength()

    @property
    def channels(self):
        self._require_open()
        return raw.GetChannels()

    @property
    def samples(self):
        """A copy of the signal: int16, (n,) mono or (n, 2) stereo."""
        self._require_open()
        return _get_signal()

    def save(self, path):
        """Writes the document's signal as a WAV file."""
        encoded = _checks.path(path)
        self._require_open()
        if not raw.SaveWaveFile(1, encoded, 0, 0):
            raise refused("SaveWaveFile", "cannot write %r" % (path,))

    def _channel(self, channel):
        channel = _checks.integer(channel, "channel", 0, 1)
        if channel >= self.channels:
            raise ValueError("channel %d does not exist in a one-channel signal" % channel)
        if self.length <= 0:
            raise TalvoxError("the document holds no signal")
        return channel

    # ------------------------------------------------------------- elements

    @property
    def elements(self):
        """The segmentation: a list of Element(description, start, end), the
        bounds within the signal (the segmentation may let the last element
        run past its end; it is shown clipped)."""
        self._require_open()
        text = ctypes.create_string_buffer(ELEMENT_TEXT_BYTES)
        start, end = i32(), i32()
        length = max(raw.GetWaveLength(), 0)
        result = []
        for index in range(raw.GetElementNum()):
            raw.GetElementSegment(index, ctypes.byref(start), ctypes.byref(end))
            raw.GetElementDesc(index, text)
            first = min(max(start.value, 0), length)
            last = min(max(end.value, first), length)
            result.append(Element(text.value.decode("utf-8", "replace"), first, last))
        return result

    def set_description(self, index, text):
        """Sets the description of element index (at most 103 bytes in UTF-8)."""
        self._require_open()
        index = _checks.integer(index, "index", 0, raw.GetElementNum() - 1)
        if not isinstance(text, str):
            raise ValueError("text must be a str")
        encoded = text.encode("utf-8")
        if len(encoded) > _MAX_DESCRIPTION or b"\0" in encoded:
            raise ValueError(
                "text must be at most %d bytes in UTF-8 without NUL" % _MAX_DESCRIPTION
            )
        if not raw.SetElementDesc(index, encoded):
            raise refused("SetElementDesc")

    def segment(self, channel=0):
        """Automatic segmentation into "SIL" and voiced elements; returns the count."""
        self._require_open()
        channel = self._channel(channel)
        count = raw.SegmentSpeech(raw.GetDataBuffer(channel), self.length, self.rate)
        if count == 0:
            raise refused("SegmentSpeech", "no voiced region found")
        return count

    def segment_whole(self):
        """One element covering the whole signal (description unchanged)."""
        self._require_open()
        raw.SetFullSegmentation()

    # -------------------------------------------------------- pitch marks

    @property
    def peaks(self):
        """The pitch marks: a copy as int32 sample positions, ascending."""
        self._require_open()
        table = ctypes.POINTER(i32)()
        count = raw.GetFullPeaks(ctypes.byref(table))
        return _checks.copy_out(table, count, np.int32)

    @property
    def modified_pitch(self):
        """The wanted periods in samples, one per pair of neighbouring peaks (copy)."""
        self._require_open()
        periods = ctypes.POINTER(i32)()
        count = raw.GetFullModifiedPitch(ctypes.byref(periods))
        return _checks.copy_out(periods, count, np.int32)

    def analyze(self, marks="voice", channel=0, floor=0, ceiling=0):
        """Places pitch marks (and segments the document if it is not yet).

        marks='voice' (the default) uses the voice tracker
        (CalculateVoiceMarks): one mark per glottal cycle for any voice, the
        F0 range from floor..ceiling in Hz, or chosen from the signal when
        both are 0. 'internal' uses the library's older algorithm
        (CalculatePitch; above 16 kHz on a decimated copy, as the talvox
        command does, see talvox.reduced_rate); 'external' runs the external
        pitch program pap.exe found on PATH (CalculatePeak) in a private
        folder of its own (under TMPDIR), where it exchanges temp.wav,
        pitch.psc and temp.pointprocess with it; the folder is removed
        afterwards. floor and ceiling belong to the voice tracker only.
        Returns the number of marks; none raises TalvoxError.
        """
        self._require_open()
        if marks not in ("voice", "internal", "external"):
            raise ValueError("marks must be 'voice', 'internal' or 'external', not %r" % (marks,))
        floor, ceiling = _voice_range(floor, ceiling)
        channel = self._channel(channel)
        self._marks_channel = channel
        samples = raw.GetDataBuffer(channel)
        factor = reduced_rate.reduction(self.rate)
        if marks == "voice":
            count = raw.CalculateVoiceMarks(samples, self.length, self.rate, floor, ceiling)
            if count == 0:
                raise refused("CalculateVoiceMarks", "no voiced cycles found in the signal")
        elif marks == "internal" and factor > 1:  # the route loses marks above 16 kHz
            signal = _checks.copy_out(samples, self.length, np.int16)
            count = reduced_rate.calculate_pitch(signal, self.rate, factor)
            if count == 0:
                raise refused("CalculatePitch", "no pitch marks found in the signal")
        elif marks == "internal":
            count = raw.CalculatePitch(samples, self.length, self.rate)
            if count == 0:
                raise refused("CalculatePitch", "no pitch marks found in the signal")
        else:
            if shutil.which(_PITCH_PROGRAM) is None:
                raise refused("CalculatePeak", "the external pitch program pap.exe is not on PATH")
            length, rate = self.length, self.rate
            with _PrivateFolder():
                count = raw.CalculatePeak(samples, length, rate)
            if count == 0:
                raise refused(
                    "CalculatePeak",
                    "the external pitch program pap.exe found no pitch marks (or failed)",
                )
        return count

    def f0_track(self, hop=None, channel=0, floor=0, ceiling=0):
        """F0 in Hz of frames every hop samples (default 5 ms), frame i
        centred at sample i * hop, 0 where unvoiced (_CalculateF0Track);
        the document is left alone. floor/ceiling as for analyze()."""
        self._require_open()
        floor, ceiling = _voice_range(floor, ceiling)
        hop = max(1, round(self.rate * 0.005)) if hop is None else int(hop)
        if hop <= 0:
            raise ValueError("hop must be a positive number of samples")
        channel = self._channel(channel)
        samples = raw.GetDataBuffer(channel)
        frames = raw._CalculateF0Track(samples, self.length, self.rate, floor, ceiling, hop, None, 0)
        if frames == 0:
            raise refused("_CalculateF0Track", "the signal or the range was refused")
        f0 = np.zeros(frames, dtype=np.float32)
        raw._CalculateF0Track(samples, self.length, self.rate, floor, ceiling, hop,
                              _checks.pointer(f0, ctypes.c_float), frames)
        return f0

    def set_peaks(self, positions):
        """Replaces the pitch marks by hand: int32 positions, strictly
        ascending, inside the signal. The modified pitch becomes their
        distances."""
        self._require_open()
        positions = _checks.array(positions, np.int32, "positions")
        if positions.shape[0] and (positions.min() < 0 or positions.max() >= self.length):
            raise ValueError("positions must lie in 0..%d" % (self.length - 1))
        if np.any(np.diff(positions) <= 0):
            raise ValueError("positions must be strictly ascending")
        raw.DeleteAllPeak()
        added = i32()
        for position in positions.tolist():
            if not raw.AddPeak(position, ctypes.byref(added)):
                raise refused("AddPeak", "position %d" % position)
        self.set_modified_pitch(np.diff(positions).astype(np.int32))

    def set_modified_pitch(self, periods):
        """Sets the wanted periods: int32, one per pair of peaks, each >= 1."""
        self._require_open()
        periods = _checks.array(periods, np.int32, "periods")
        wanted = max(self.peaks.shape[0] - 1, 0)
        if periods.shape[0] != wanted:
            raise ValueError(
                "periods must hold one value per pair of neighbouring peaks: %d, not %d"
                % (wanted, periods.shape[0])
            )
        if wanted == 0:
            return  # nothing to set; the library refuses an empty array's pointer
        if periods.min() < 1:
            raise ValueError("periods must be at least 1 sample")
        if not raw.SetModifiedPitch(_checks.pointer(periods, i32)):
            raise refused("SetModifiedPitch")

    def save_peaks(self, path):
        """Stores peaks, modified pitch and elements in a peak file."""
        encoded = _checks.path(path)
        self._require_open()
        if not raw.SavePeaks(encoded):
            raise refused("SavePeaks", "cannot write %r" % (path,))

    def load_peaks(self, path):
        """Loads peaks, modified pitch and elements from a peak file."""
        encoded = _checks.path(path)
        self._require_open()
        if not raw.ReadPeaks(encoded):
            raise refused("ReadPeaks", "%r is not a readable peak file" % (path,))

    # ---------------------------------------------------------- resynthesis

    def _range(self, start, end):
        """start..end-1 checked; end defaults to (and is at most) the length."""
        length = self.length
        if length < 2:
            raise TalvoxError("the document holds no signal to work on")
        start = _checks.integer(start, "start", 0, length - 2)
        end = length if end is None else end
        end = _checks.integer(end, "end", start + 1, length)
        return start, end

    def _scaled_periods(self, pitch_scale, semitones, f0, channel=0):
        chosen = [v is not None for v in (pitch_scale, semitones, f0)]
        if sum(chosen) > 1:
            raise ValueError("give at most one of pitch_scale, semitones and f0")
        if not any(chosen):
            return None
        peaks = self.peaks
        if peaks.shape[0] < 2:
            raise TalvoxError("changing the pitch needs pitch marks: call analyze() first")
        source = np.diff(peaks).astype(np.float64)
        if f0 is not None:
            if np.isscalar(f0):
                hertz = _checks.real(f0, "f0")
            else:
                hertz = np.asarray(f0, dtype=np.float64)
                if hertz.shape != source.shape:
                    raise ValueError(
                        "f0 must be a number or hold one value per pair of peaks (%d)"
                        % source.shape[0]
                    )
            if np.any(~np.isfinite(hertz)) or np.any(np.asarray(hertz) <= 0):
                raise ValueError("f0 must be positive and finite")
            if np.any(np.asarray(hertz) < _F0_RANGE[0]) or np.any(np.asarray(hertz) > _F0_RANGE[1]):
                raise ValueError("f0 must lie between %g and %g Hz" % _F0_RANGE)
            wanted = self.rate / np.broadcast_to(hertz, source.shape)
        else:
            if semitones is not None:
                shift = _checks.real(semitones, "semitones")
                if abs(shift) > _MAX_SEMITONES:
                    raise ValueError(
                        "semitones must lie between %g and %g, not %g"
                        % (-_MAX_SEMITONES, _MAX_SEMITONES, shift)
                    )
                scale = 2.0 ** (shift / _SEMITONES_PER_OCTAVE)
            else:
                scale = _checks.real(pitch_scale, "pitch_scale")
                if scale <= 0:
                    raise ValueError("pitch_scale must be positive")
                if not _PITCH_SCALE_RANGE[0] <= scale <= _PITCH_SCALE_RANGE[1]:
                    raise ValueError(
                        "pitch_scale must lie between %g and %g, not %g"
                        % (_PITCH_SCALE_RANGE + (scale,))
                    )
            if scale == 1.0:
                wanted = source
            else:
                hop = max(1, round(self.rate * 0.005))
                try:
                    track = self.f0_track(hop=hop, channel=channel)
                except TalvoxError:  # a rate the tracker refuses: the marks alone
                    track = np.zeros(0, dtype=np.float32)
                wanted = _present_periods(peaks, self.rate, track, hop) / scale
        wanted = np.rint(wanted)
        if wanted.max() > np.iinfo(np.int32).max:
            raise ValueError("the requested pitch is too low: periods overflow")
        return np.ascontiguousarray(np.maximum(wanted, 1), dtype=np.int32)

    def _tone_periods(self, tones, tone_labels):
        if tones is not None and tone_labels is not None:
            raise ValueError("give tones or tone_labels, not both")
        peaks = self.peaks.astype(np.int64)
        if peaks.shape[0] < 2:
            raise TalvoxError("tones need pitch marks: call analyze() first")
        voiced = _tones.voiced_elements(self.elements, peaks, self.rate)
        if not voiced:
            raise TalvoxError("there are no voiced elements to give tones to")
        if tones is not None:
            contours = _tones.parse_contours(tones)
            if len(contours) != len(voiced):
                raise ValueError("%d tone contours given but there are %d voiced elements"
                                 % (len(contours), len(voiced)))
        else:
            contours = _tones.contours_from_labels(voiced, tone_labels)
        wanted = _tones.tone_periods(peaks, self.rate, voiced, contours)
        source = np.diff(peaks)
        return np.ascontiguousarray(
            [max(1, int(round(w))) if w is not None else int(d) for w, d in zip(wanted, source)],
            dtype=np.int32)

    def _continue_edges(self, start, end):
        """Adds the cycles beyond each run's ends that the mark route left
        out (talvox.run_edges), as the talvox command does before a pitch
        change, read on the channel the marks came from, so that every
        channel gets the same marks. Returns the positions added."""
        peaks = self.peaks
        if peaks.shape[0] < 3:
            return []
        channel = min(self._marks_channel, self.channels - 1)
        samples = np.ctypeslib.as_array(raw.GetDataBuffer(channel), shape=(self.length,))
        continued = run_edges.continue_runs(samples, peaks, int(self.rate / _LOWEST_VOICE_HZ), start, end)
        added = np.setdiff1d(continued, peaks).tolist()
        placed = i32()
        for position in added:
            if not raw.AddPeak(position, ctypes.byref(placed)):
                raise refused("AddPeak", "position %d" % position)
        return added

    def resynthesize(self, start=0, end=None, pitch_scale=None, semitones=None, f0=None,
                     channel=0, duration_scale=1.0, keep_duration=True, tones=None,
                     tone_labels=None, continue_runs=True):
        """Pitch-synchronous overlap-add of samples start..end-1 (end defaults
        to the length: the whole signal). The library's own selection ends
        before the last sample; with end = length that sample follows the
        result unchanged, as everything after the last pitch mark does.

        With none of pitch_scale, semitones, f0, tones and tone_labels the
        current modified pitch is used. pitch_scale multiplies the pitch
        (1.5: periods / 1.5), semitones shifts it, f0 sets it in Hz (a number,
        or one value per pair of peaks); tones gives the voiced elements, in
        order, tone contours ("55,35,214,51" or a list), tone_labels
        ("mandarin" or "cantonese") takes the tone digit ending each element's
        description. Each is applied for this call only: the modified pitch is
        restored afterwards. Needs a segmentation (analyze() or segment()).
        With a pitch change (and continue_runs, the default) each run of
        marks is first continued over the faint edge cycles a mark route
        leaves out, as the talvox command does (talvox.run_edges); the marks
        are restored afterwards too.

        keep_duration (the default) repeats or skips grains so that the range
        lasts its length times duration_scale (0 < scale <= 8); with
        keep_duration=False every grain is placed once (SynthesisSpeech) and
        duration_scale must stay 1. Returns int16 samples.
        """
        self._require_open()
        channel = self._channel(channel)
        start, end = self._range(start, end)
        scale = _checks.real(duration_scale, "duration_scale")
        if keep_duration and not 0 < scale <= _LARGEST_DURATION_SCALE:
            raise ValueError("duration_scale must lie in (0, 8]")
        if not keep_duration and scale != 1.0:
            raise ValueError("duration_scale needs keep_duration=True")
        if (tones is not None or tone_labels is not None) and any(
                v is not None for v in (pitch_scale, semitones, f0)):
            raise ValueError("give tones or a pitch change, not both")
        if raw.GetElementNum() == 0:
            raise TalvoxError("resynthesis needs a segmentation: call analyze() or segment()")
        kept = self.modified_pitch
        # As the command: only a new pitch or timing over the marks' runs
        # (periods given per pair of peaks belong to the marks as they are).
        asked = any(v is not None for v in (tones, tone_labels, pitch_scale, semitones)) or (
            f0 is not None and np.isscalar(f0))
        kept_pitch = pitch_scale == 1 or semitones == 0
        continuing = continue_runs and keep_duration and asked and not (kept_pitch and scale == 1.0)
        added = self._continue_edges(start, end) if continuing else []
        periods = None
        to_end = end == self.length
        try:
            if tones is not None or tone_labels is not None:
                periods = self._tone_periods(tones, tone_labels)
            else:
                periods = self._scaled_periods(pitch_scale, semitones, f0, channel)
            if periods is not None:
                raw.SetModifiedPitch(_checks.pointer(periods, i32))
            last = end - 1 if to_end else end
            if keep_duration:
                if not raw.SynthesisSpeechStretch(channel, start, last, scale):
                    raise refused("SynthesisSpeechStretch")
            elif not raw.SynthesisSpeech(channel, start, last):
                raise refused("SynthesisSpeech")
        finally:
            for position in added:
                raw.DeleteRangePeak(position, position)
            if (periods is not None or added) and 0 < kept.shape[0] == self.peaks.shape[0] - 1:
                raw.SetModifiedPitch(_checks.pointer(kept, i32))
        result = _checks.copy_out(raw.GetSynthesisSpeech(), raw.GetSynthesisLength(), np.int16)
        if to_end:
            result = np.append(result, raw.GetDataBuffer(channel)[end - 1]).astype(np.int16)
        return result

    def collect(self, start=0, end=None, channel=0):
        """The elements overlapping start..end-1 concatenated, each "SIL"
        element shortened to half its length (end defaults to the length).
        Returns int16 samples."""
        self._require_open()
        channel = self._channel(channel)
        start, end = self._range(start, end)
        if raw.GetElementNum() == 0:
            raise TalvoxError("collecting needs a segmentation: call analyze() or segment()")
        length = self.length
        to_end = end == length
        if not raw.CollectSegmentedSpeech(channel, start, end - 1 if to_end else end):
            raise refused("CollectSegmentedSpeech")
        result = _checks.copy_out(
            raw.GetCollectSegmentedSpeech(), raw.GetCollectSegmentedSpeechLength(), np.int16
        )
        if to_end:
            result = np.append(result, self._last_sample_collected(channel, start, length))
        return result.astype(np.int16)

    def _last_sample_collected(self, channel, start, length):
        """What collecting would add for the final sample, which the library
        cannot select: the sample itself in a voiced element, in a silence
        the extra zero when half of the longer piece is one sample more."""
        for element in self.elements:
            if element.start > length - 1 or element.end <= length - 1:
                continue
            if element.description != "SIL":
                return [raw.GetDataBuffer(channel)[length - 1]]
            piece = min(element.end, length) - max(element.start, start)
            return [0] if piece // 2 > (piece - 1) // 2 else []
        return []

    # ------------------------------------------------------------- features

    def spectrogram(self, channel=0):
        """Spectrogram: frames x 64 uint8 (0.25 dB steps above 60 dB), frames
        of 128 samples every 16. Also kept in the document, in step with edits."""
        self._require_open()
        channel = self._channel(channel)
        frames = raw.CalculateSpectrum(raw.GetDataBuffer(channel), self.length)
        if frames == 0:
            raise refused("CalculateSpectrum")
        return _checks.copy_out(raw.GetSpectrum(), frames * 64, np.uint8).reshape(frames, 64)

    def energy(self, channel=0):
        """Energy contour in dB (int32), one value per frame of 128 samples every 16."""
        self._require_open()
        channel = self._channel(channel)
        if not raw.CalculateEnergy(raw.GetDataBuffer(channel), self.length):
            raise refused("CalculateEnergy")
        return _checks.copy_out(raw.GetEnergy(), raw.GetEnergyLength(), np.int32)

    # -------------------------------------------------------------- editing

    def _selection(self, a, b, last):
        a = _checks.integer(a, "a", 0, last)
        b = _checks.integer(b, "b", 0, last)
        return a, b

    def _edit(self, operation, a, b):
        self._require_open()
        a, b = self._selection(a, b, self.length - 1)
        if a == b:
            raise ValueError("the selection a..b must hold more than one sample (a != b)")
        if raw.GetElementNum() == 0:
            raise TalvoxError("editing needs a segmentation: call analyze() or segment()")
        if not getattr(raw, operation)(a, b):
            raise refused(operation)

    def copy(self, a, b):
        """Copies samples a..b (both included, either order) with their
        annotation into the library's speech clipboard."""
        self._edit("CopySpeech", a, b)

    def cut(self, a, b):
        """copy(a, b), then delete(a, b)."""
        self._edit("CutSpeech", a, b)

    def delete(self, a, b):
        """Removes samples a..b (both included) with their annotation."""
        self._edit("DelSpeech", a, b)

    def paste(self, a, b=None):
        """Inserts the clipboard at a (a may be the length: appends); with b,
        the selection a..b is replaced."""
        self._require_open()
        a, b = self._selection(a, a if b is None else b, self.length)
        if raw.GetElementNum() == 0:
            raise TalvoxError("editing needs a segmentation: call analyze() or segment()")
        if not raw.PasteSpeech(a, b):
            raise refused("PasteSpeech", "is the clipboard empty?")
