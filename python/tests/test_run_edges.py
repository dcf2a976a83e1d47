"""The continuation of runs of marks over their unmarked edge cycles, as the
talvox command does it (the same cases as its own tests), and its use by
Document.resynthesize."""

import numpy as np
import pytest

import talvox
from talvox import run_edges
from conftest import ELEMENTS, PEAKS, dominant_period, requires, voiced_signal

PERIOD = 100
LONGEST = 400


def pulses(length, start, stop, seed=1):
    """A decaying pulse every PERIOD samples over start..stop-1, quiet noise elsewhere."""
    noise = np.random.default_rng(seed).normal(0, 30, length)
    at = np.arange(length)
    phase = (at - start) % PERIOD
    voice = 8000 * np.exp(-phase / 15.0) * np.cos(phase * 0.5)
    return np.rint(noise + np.where((at >= start) & (at < stop), voice, 0)).astype(np.int16)


def marks(start, stop):
    return np.arange(start, stop, PERIOD)


def test_a_run_goes_on_over_the_cycles_that_repeat_and_no_further():
    x = pulses(8000, 2000, 5000)
    np.testing.assert_array_equal(run_edges.continue_runs(x, marks(2500, 4500), LONGEST, 0, 8000),
                                  marks(2000, 5000))


def test_at_most_six_cycles_at_each_end_and_inside_the_range():
    x = pulses(12000, 0, 12000)
    np.testing.assert_array_equal(run_edges.continue_runs(x, marks(5000, 5500), LONGEST, 0, 12000),
                                  marks(4400, 6100))
    np.testing.assert_array_equal(run_edges.continue_runs(x, marks(2000, 2500), LONGEST, 1900, 2700),
                                  marks(2000, 2700))
    # two runs grow towards each other no closer than the longest period
    got = run_edges.continue_runs(x, np.concatenate([marks(2000, 2500), marks(3500, 4000)]), LONGEST, 0, 12000)
    assert 3000 in got and 3100 not in got and 3400 not in got
    # two marks are no run; a run at the signal's ends stays inside it
    np.testing.assert_array_equal(run_edges.continue_runs(x, [3000, 3100], LONGEST, 0, 12000), [3000, 3100])
    short = pulses(1000, 0, 1000)
    got = run_edges.continue_runs(short, marks(400, 700), LONGEST, 0, 1000)
    assert got[0] == 100 and got[-1] == 900


RATE, VOICE_PERIOD = 16000, 160
BEFORE, VOICED, AFTER = 4000, 16000, 4000


@pytest.fixture
def speech(no_document):
    with talvox.Document(voiced_signal(BEFORE, VOICED, AFTER, VOICE_PERIOD, 8000), RATE) as doc:
        yield doc


def middle_marks():
    """Marks on the middle half of the voiced stretch only."""
    every = BEFORE + 40 + VOICE_PERIOD * np.arange(VOICED // VOICE_PERIOD)
    return every[(every > BEFORE + VOICED // 4) & (every < BEFORE + 3 * VOICED // 4)].astype(np.int32)


def edge_period(output):
    """The period over the five cycles before the first of the middle marks."""
    first = middle_marks()[0]
    return dominant_period(output[first - 900:first - 100], 60, 240)


@requires("SynthesisSpeechStretch", ELEMENTS, PEAKS)
def test_runs_are_continued_over_their_edges_and_the_marks_restored(speech):
    speech.segment_whole()
    speech.set_peaks(middle_marks())
    kept_marks, kept_periods = speech.peaks, speech.modified_pitch
    output = speech.resynthesize(semitones=12)
    assert output.size == speech.length
    assert edge_period(output) == VOICE_PERIOD // 2  # six cycles on, the edge is raised
    np.testing.assert_array_equal(speech.peaks, kept_marks)
    np.testing.assert_array_equal(speech.modified_pitch, kept_periods)


@requires("SynthesisSpeechStretch", ELEMENTS, PEAKS)
def test_marks_as_given_leave_the_edges_alone(speech):
    speech.segment_whole()
    speech.set_peaks(middle_marks())
    output = speech.resynthesize(semitones=12, continue_runs=False)
    assert dominant_period(output[BEFORE + VOICED // 2 - 1000:BEFORE + VOICED // 2 + 1000], 60, 240) == 80
    assert edge_period(output) == VOICE_PERIOD
