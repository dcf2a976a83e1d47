"""The document: analysis, resynthesis, features, peak files and edits."""

import os

import numpy as np
import pytest

import talvox
from conftest import ELEMENTS, PEAKS, dominant_period, requires, skip_unless, voiced_signal

RATE = 16000
PERIOD = 160  # 100 Hz
BEFORE, VOICED, AFTER = 4000, 16000, 4000


@pytest.fixture
def speech(no_document):
    """An open document holding 1.5 s of generated speech: silence, 100 Hz
    pulses, silence."""
    samples = voiced_signal(BEFORE, VOICED, AFTER, PERIOD, 8000)
    with talvox.Document(samples, RATE) as doc:
        yield doc


def hand_marks():
    """One mark per generated period, at the same phase of each."""
    return (BEFORE + 40 + PERIOD * np.arange(VOICED // PERIOD)).astype(np.int32)


# ------------------------------------------------------------- analysis


@requires("CalculatePitch", ELEMENTS, PEAKS)
def test_analysis_of_generated_speech_finds_its_periods(speech):
    count = speech.analyze(marks="internal")
    peaks = speech.peaks
    assert count == peaks.size and peaks.dtype == np.int32
    assert np.all(peaks >= BEFORE) and np.all(peaks < BEFORE + VOICED)
    periods = np.diff(peaks)
    # one mark per period, after the low-pass filter's transient
    assert abs(peaks.size - VOICED // PERIOD) <= 2
    assert np.all(np.abs(periods[2:] - PERIOD) <= 2)
    assert np.median(periods) == PERIOD
    np.testing.assert_array_equal(speech.modified_pitch, periods)
    elements = speech.elements
    assert elements[0].description == "SIL" and elements[0].start == 0
    voiced = [e for e in elements if e.description != "SIL"]
    # the 20 ms energy window sees the voicing up to one window early
    window = RATE // 50
    assert voiced and all(BEFORE - window <= e.start and e.end <= BEFORE + VOICED + window
                          for e in voiced)
    assert elements[-1].end == BEFORE + VOICED + AFTER


@requires("CalculateVoiceMarks", "_CalculateF0Track", "CalculatePitch", ELEMENTS, PEAKS)
def test_every_mark_route_and_the_f0_track(speech):
    voice = speech.analyze(marks="voice", floor=60, ceiling=400)
    assert voice == speech.peaks.size
    periods = np.diff(speech.peaks)
    assert np.median(periods) == PERIOD
    assert abs(speech.peaks.size - VOICED // PERIOD) <= 2
    assert speech.analyze(marks="internal") > 0
    f0 = speech.f0_track()
    hop = round(RATE * 0.005)
    assert f0.dtype == np.float32 and f0.size == (speech.length - 1) // hop + 1
    middle = f0[(BEFORE + VOICED // 2) // hop]
    assert abs(middle - RATE / PERIOD) < 0.02 * RATE / PERIOD
    assert f0[0] == 0 and f0[-1] == 0


@requires("CalculatePitch", "SynthesisSpeech", ELEMENTS, PEAKS)
def test_analysis_then_resynthesis_a_fifth_higher(speech):
    speech.analyze()
    output = speech.resynthesize(0, speech.length - 1, pitch_scale=1.5)
    middle = output[output.size // 2 - 2000:output.size // 2 + 2000]
    assert abs(dominant_period(middle, 60, 200) - PERIOD / 1.5) <= 1


def test_analyze_argument_errors(speech):
    with pytest.raises(ValueError, match="internal"):
        speech.analyze(marks="psychic")
    with pytest.raises(ValueError, match="floor"):
        speech.analyze(floor=300, ceiling=100)
    with pytest.raises(ValueError, match="floor"):
        speech.analyze(floor=-1)
    with pytest.raises(ValueError, match="floor"):
        speech.f0_track(floor=100)
    with pytest.raises(ValueError, match="channel"):
        speech.analyze(channel=1)


@requires("CalculatePeak")
def test_external_marks_without_the_program_name_the_operation(speech, monkeypatch, tmp_path):
    monkeypatch.setenv("PATH", str(tmp_path))
    monkeypatch.chdir(tmp_path)
    with pytest.raises(talvox.TalvoxError, match="CalculatePeak"):
        speech.analyze(marks="external")


# ---------------------------------------------------------- resynthesis


@requires("SynthesisSpeech", ELEMENTS, PEAKS)
@pytest.mark.parametrize("option,value,expected", [
    ("pitch_scale", 1.5, 107), ("semitones", 12, 80), ("f0", 200.0, 80), ("pitch_scale", 0.8, 200),
])
def test_resynthesis_pitch_measured_by_autocorrelation(speech, option, value, expected):
    speech.segment_whole()
    speech.set_peaks(hand_marks())
    kept = speech.modified_pitch
    output = speech.resynthesize(3000, 21000, keep_duration=False, **{option: value})
    assert output.dtype == np.int16
    # the stretch from the last mark to the range end keeps its length
    marks = hand_marks() - 3000
    assert output.size == marks[0] + expected * (marks.size - 1) + 18000 - marks[-1]
    middle = output[output.size // 2 - 2000:output.size // 2 + 2000]
    assert abs(dominant_period(middle, 60, 240) - expected) <= 1
    np.testing.assert_array_equal(speech.modified_pitch, kept)  # restored
    # by default the range keeps its length, or takes the one asked for
    for scale in (1.0, 1.5):
        output = speech.resynthesize(3000, 21000, duration_scale=scale, **{option: value})
        assert output.size == round(18000 * scale)
        middle = output[output.size // 2 - 2000:output.size // 2 + 2000]
        assert abs(dominant_period(middle, 60, 240) - expected) <= 1
    np.testing.assert_array_equal(speech.modified_pitch, kept)


@requires("SynthesisSpeech", ELEMENTS, PEAKS)
def test_resynthesis_with_source_periods_gives_the_source_back(speech):
    speech.segment_whole()
    marks = hand_marks()
    speech.set_peaks(marks)
    output = speech.resynthesize(3000, 21000)
    source = speech.samples[3000:21000]
    assert output.size == source.size
    inside = slice(marks[0] - 3000, marks[-1] - 3000)
    assert np.all(np.abs(output[inside].astype(int) - source[inside]) <= 2)


@requires("SynthesisSpeech", ELEMENTS, PEAKS)
def test_resynthesis_with_per_interval_f0(speech):
    speech.segment_whole()
    speech.set_peaks(hand_marks())
    f0 = np.full(hand_marks().size - 1, 125.0)
    output = speech.resynthesize(3000, 21000, f0=f0)
    middle = output[output.size // 2 - 2000:output.size // 2 + 2000]
    assert dominant_period(middle, 60, 240) == 128


@requires("SynthesisSpeechStretch", ELEMENTS, PEAKS)
def test_resynthesis_with_kept_duration_gives_the_source_back_exactly(speech):
    speech.segment_whole()
    speech.set_peaks(hand_marks())
    np.testing.assert_array_equal(speech.resynthesize(3000, 21000), speech.samples[3000:21000])


@requires("SynthesisSpeechStretch", ELEMENTS, PEAKS)
def test_resynthesis_tones(speech):
    speech.segment_whole()
    speech.set_peaks(hand_marks())
    # one voiced element: a rising tone over a flat voice widened to 5 semitones
    output = speech.resynthesize(0, speech.length - 1, tones="15")
    marks = hand_marks()
    early = output[marks[2]:marks[2] + 2000]
    late = output[marks[-1] - 2500:marks[-1] - 500]
    assert dominant_period(early, 60, 300) > 1.25 * dominant_period(late, 60, 300)
    with pytest.raises(ValueError, match="2 tone contours given but there are 1 voiced"):
        speech.resynthesize(0, 100, tones=["55", "35"])
    with pytest.raises(ValueError, match="unknown tone digit '7'"):
        speech.resynthesize(0, 100, tones="57")
    speech.set_description(0, "ma9")
    with pytest.raises(ValueError, match="not a mandarin tone"):
        speech.resynthesize(0, 100, tone_labels="mandarin")
    speech.set_description(0, "ma4")
    falling = speech.resynthesize(0, speech.length - 1, tone_labels="mandarin")
    assert dominant_period(falling[marks[2]:marks[2] + 2000], 60, 300) < \
        dominant_period(falling[marks[-1] - 2500:marks[-1] - 500], 60, 300)
    with pytest.raises(ValueError, match="not both"):
        speech.resynthesize(0, 100, tones="55", semitones=2)


@requires(ELEMENTS, PEAKS)
def test_resynthesis_argument_errors(speech):
    with pytest.raises(talvox.TalvoxError, match="segmentation"):
        speech.resynthesize(0, 100)
    speech.segment_whole()
    with pytest.raises(ValueError, match="end"):
        speech.resynthesize(0, speech.length + 1)  # end is exclusive: length is the largest
    with pytest.raises(ValueError, match="end"):
        speech.resynthesize(100, 100)
    with pytest.raises(ValueError, match="start"):
        speech.resynthesize(-1, 100)
    with pytest.raises(ValueError, match="at most one"):
        speech.resynthesize(0, 100, pitch_scale=1.5, semitones=2)
    with pytest.raises(talvox.TalvoxError, match="analyze"):
        speech.resynthesize(0, 100, pitch_scale=1.5)
    speech.set_peaks(hand_marks())
    with pytest.raises(ValueError, match="positive"):
        speech.resynthesize(0, 100, pitch_scale=-1)
    with pytest.raises(ValueError, match="f0"):
        speech.resynthesize(0, 100, f0=[100.0, 200.0])
    with pytest.raises(ValueError, match="duration_scale"):
        speech.resynthesize(0, 100, duration_scale=9)
    with pytest.raises(ValueError, match="duration_scale"):
        speech.resynthesize(0, 100, duration_scale=0)
    with pytest.raises(ValueError, match="keep_duration"):
        speech.resynthesize(0, 100, duration_scale=2, keep_duration=False)
    with pytest.raises(ValueError, match="channel"):
        speech.resynthesize(0, 100, channel=1)


@requires(PEAKS)
def test_pitch_setting_argument_errors(speech):
    speech.set_peaks(hand_marks())
    count = hand_marks().size
    with pytest.raises(ValueError, match="one value per pair"):
        speech.set_modified_pitch(np.full(count, 100, np.int32))
    with pytest.raises(ValueError, match="dtype int32"):
        speech.set_modified_pitch(np.full(count - 1, 100, np.int64))
    with pytest.raises(ValueError, match="at least 1"):
        speech.set_modified_pitch(np.zeros(count - 1, np.int32))
    with pytest.raises(ValueError, match="ascending"):
        speech.set_peaks([500, 400])
    with pytest.raises(ValueError, match="positions"):
        speech.set_peaks([speech.length])
    speech.set_modified_pitch(np.full(count - 1, 99, np.int32))
    assert speech.modified_pitch.tolist() == [99] * (count - 1)


# ------------------------------------------------------------- features


@requires("CalculateSpectrum", "CalculateEnergy")
def test_spectrogram_and_energy_worked_values(no_document):
    with talvox.Document(np.full(1000, 1000, np.int16), RATE) as doc:
        spectrum = doc.spectrogram()
        assert spectrum.shape == (63, 64) and spectrum.dtype == np.uint8
        assert spectrum[0, 0] == 144 and spectrum[0, 1] == 120
        assert np.all(spectrum[0, 2:] == 0)
        energy = doc.energy()
        assert energy.shape == (63,) and energy.dtype == np.int32
        assert np.all(energy[:(1000 - 128) // 16 + 1] == 77)


@requires("CalculateSpectrum")
def test_spectrogram_shows_the_harmonics(speech):
    spectrum = speech.spectrogram()
    frame = spectrum[(BEFORE + VOICED // 2) // 16]
    # 100 Hz harmonics fall on bin k * 100 / 125: the loud bins are low ones
    assert frame[:8].max() > 100 and frame[40:].max() == 0
    assert np.all(spectrum[:BEFORE // 16 - 8] == 0)


# ----------------------------------------------------------- peak files


@requires("SavePeaks", "ReadPeaks", ELEMENTS, PEAKS)
def test_peak_file_round_trip(speech, tmp_path):
    speech.segment_whole()
    talvox.raw.AddBoundary(BEFORE)
    speech.set_description(0, "SIL")
    speech.set_description(1, "ma3")
    speech.set_peaks(hand_marks())
    pitch = (np.diff(hand_marks()) * 2 // 3).astype(np.int32)
    speech.set_modified_pitch(pitch)
    speech.save_peaks(tmp_path / "speech.peaks")
    elements = speech.elements
    speech.set_peaks([10, 20, 30])
    speech.load_peaks(str(tmp_path / "speech.peaks"))
    np.testing.assert_array_equal(speech.peaks, hand_marks())
    np.testing.assert_array_equal(speech.modified_pitch, pitch)
    assert speech.elements == elements
    assert elements == [("SIL", 0, BEFORE), ("ma3", BEFORE, BEFORE + VOICED + AFTER)]
    with pytest.raises(talvox.TalvoxError, match="ReadPeaks"):
        speech.load_peaks(tmp_path / "missing.peaks")
    with pytest.raises(ValueError, match="103 bytes"):
        speech.set_description(0, "x" * 104)


# -------------------------------------------------------------- editing


@pytest.fixture
def three_elements(no_document):
    """300 samples with elements a 0-100, b 100-200, c 200-300."""
    skip_unless(ELEMENTS)
    with talvox.Document(np.arange(300, dtype=np.int16), RATE) as doc:
        doc.segment_whole()
        talvox.raw.AddBoundary(100)
        talvox.raw.AddBoundary(200)
        for index, text in enumerate("abc"):
            doc.set_description(index, text)
        yield doc


@requires("DelSpeech")
def test_delete_keeps_the_annotation_in_step(three_elements):
    three_elements.delete(150, 250)
    assert three_elements.length == 199
    assert three_elements.elements == [("a", 0, 100), ("c", 100, 199)]
    np.testing.assert_array_equal(three_elements.samples,
                                  np.concatenate([np.arange(150), np.arange(251, 300)]))


@requires("CutSpeech", "PasteSpeech")
def test_cut_and_paste(three_elements):
    three_elements.cut(120, 130)
    assert three_elements.length == 289
    assert three_elements.elements == [("a", 0, 100), ("b", 100, 189), ("c", 189, 289)]
    three_elements.paste(0)
    assert three_elements.length == 300
    np.testing.assert_array_equal(three_elements.samples[:11], np.arange(120, 131))


@requires("CopySpeech", "PasteSpeech")
def test_copy_and_paste(three_elements):
    three_elements.copy(250, 150)
    three_elements.paste(50)
    assert three_elements.length == 401
    assert three_elements.elements == [("a", 0, 50), ("b", 50, 100), ("c", 100, 150),
                                       ("a", 150, 201), ("b", 201, 301), ("c", 301, 401)]


@requires("PasteSpeech")
def test_paste_of_an_empty_clipboard_names_the_operation(three_elements):
    with pytest.raises(talvox.TalvoxError, match="PasteSpeech"):
        three_elements.paste(10)


def test_edit_argument_errors(three_elements):
    with pytest.raises(ValueError, match="a != b"):
        three_elements.delete(10, 10)
    with pytest.raises(ValueError, match="b must be at most 299"):
        three_elements.copy(10, 300)
    with pytest.raises(ValueError, match="a must be at most 300"):
        three_elements.paste(301)
    with pytest.raises(ValueError, match="integer"):
        three_elements.cut(1.5, 20)


@requires(PEAKS)
def test_marks_can_be_cleared(speech):
    speech.set_peaks(hand_marks())
    speech.set_peaks([])
    assert speech.peaks.size == 0 and speech.modified_pitch.size == 0
    speech.set_peaks([1000])
    assert speech.peaks.tolist() == [1000] and speech.modified_pitch.size == 0


def built_pitch_program():
    """pap.exe of the build tree the library comes from, if it was built."""
    folder = os.path.join(os.path.dirname(os.path.abspath(talvox.raw.path)), "bin")
    return folder if os.path.isfile(os.path.join(folder, "pap.exe")) else None


@requires("CalculatePeak", PEAKS)
@pytest.mark.skipif(built_pitch_program() is None, reason="pap.exe not built beside the library")
def test_external_marks_find_the_periods(monkeypatch, tmp_path, no_document):
    monkeypatch.setenv("PATH", built_pitch_program() + os.pathsep + os.environ.get("PATH", ""))
    monkeypatch.chdir(tmp_path)
    period = 80  # 200 Hz: the program's pitch floor is 125 Hz
    with talvox.Document(voiced_signal(BEFORE, VOICED, AFTER, period, 8000), RATE) as doc:
        count = doc.analyze(marks="external")
        peaks = doc.peaks
    assert count == peaks.size
    assert abs(peaks.size - VOICED // period) <= 4
    assert np.median(np.diff(peaks)) == period
    assert sorted(os.listdir(tmp_path)) == []  # the working files are removed


@requires("CollectSegmentedSpeech")
def test_collect_halves_the_silences(three_elements):
    three_elements.set_description(1, "SIL")
    output = three_elements.collect(0, 299)
    samples = three_elements.samples
    np.testing.assert_array_equal(
        output, np.concatenate([samples[:100], np.zeros(50, np.int16), samples[200:299]]))


@requires("SegmentSpeech", ELEMENTS)
def test_segmentation(speech, no_document):
    count = speech.segment()
    elements = speech.elements
    assert count == len(elements) == 3
    assert [e.description for e in elements] == ["SIL", "", "SIL"]
    assert elements[0].start == 0 and elements[-1].end == speech.length
    speech.close()
    with talvox.Document(np.zeros(4000, np.int16), RATE) as silent:
        with pytest.raises(talvox.TalvoxError, match="SegmentSpeech"):
            silent.segment()


# ------------------------------------------------------ planned periods


def test_a_pitch_scale_starts_from_the_tracked_or_steady_period_of_each_run():
    from talvox.document import _present_periods, _run_median

    def direct(values, period, reach):
        # 2 reach + 1 intervals of the run around k, moved inward at its ends.
        out = []
        for k in range(len(values)):
            if not period[k]:
                out.append(0.0)
                continue
            first, last = k, k
            while first > 0 and period[first - 1]:
                first -= 1
            while last + 1 < len(values) and period[last + 1]:
                last += 1
            begin = max(first, min(k - reach, last - 2 * reach))
            near = values[begin:min(last, begin + 2 * reach) + 1]
            out.append(sorted(near)[len(near) // 2])
        return out

    rng = np.random.default_rng(3)
    for reach in (1, 4):
        for _ in range(20):
            values = rng.choice([60, 90, 100, 130, 500, 900], size=40).astype(float)
            period = values < 400
            assert _run_median(values, period, reach).tolist() == direct(values, period, reach)
    # A run's first reading, the least sure, does not rule its own interval.
    assert _run_median(np.array([170.0, 160, 161, 500]), np.array([True, True, True, False]), 1).tolist() == [161, 161, 161, 0]
    # A mark a little off: its two distances are no new period, with the
    # tracker silent (the steady distance) or voiced at 160 Hz (its period).
    marks = np.arange(0, 3000, 100)
    marks[7] += 15
    silent = np.zeros(3000 // 80 + 1)
    assert _present_periods(marks, RATE, silent, 80).tolist() == [100] * (len(marks) - 1)
    voiced = np.full(3000 // 80 + 1, 160.0)
    assert _present_periods(marks, RATE, voiced, 80).tolist() == [100] * (len(marks) - 1)


@requires("SynthesisSpeechStretch", ELEMENTS, PEAKS)
def test_raising_keeps_the_periods_steady_around_a_stray_mark(speech):
    marks = hand_marks()
    marks[40] += 25
    speech.set_peaks(marks)
    speech.segment_whole()
    y = speech.resynthesize(semitones=12).astype(np.float64)
    # Each output period repeats the one before: a stray mark would have
    # made two of them jump by a third of a period.
    period = PERIOD // 2
    middle = BEFORE + 40 * PERIOD
    for at in range(middle - 6 * period, middle + 6 * period, period):
        a, b = y[at:at + period], y[at + period:at + 2 * period]
        assert np.dot(a, b) / np.sqrt(np.dot(a, a) * np.dot(b, b)) > 0.95


@requires("SynthesisSpeechStretch", ELEMENTS, PEAKS)
def test_a_rate_the_tracker_refuses_still_takes_a_pitch_scale(no_document):
    samples = voiced_signal(1000, 6000, 1000, 30, 8000)
    with talvox.Document(samples, 3000) as doc:
        doc.set_peaks((1000 + 30 * np.arange(200)).astype(np.int32))
        doc.segment_whole()
        y = doc.resynthesize(semitones=3)
        assert y.shape[0] == samples.shape[0]


def test_the_track_is_read_between_voiced_frames_as_the_command_reads_it():
    from talvox.document import _track_at
    f0 = np.array([100, 0, 120, 130], dtype=np.float32)
    at = np.array([25, 27.5, 14, 15, 4, -50, 1e9])
    assert list(_track_at(at, f0, 10)) == [125, 127.5, 0, 120, 100, 100, 130]
