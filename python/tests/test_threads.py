"""Threads: every library call takes its turn, so concurrent use gives the
right results or a clear TalvoxError, never a crash or a wrong array."""

import threading

import numpy as np
import pytest

import talvox
from conftest import voiced_signal

RATE = 16000
ROUNDS = 30


def run_together(*bodies):
    """Runs each body in its own thread, started together; returns the
    exceptions raised (a crash would end the whole test run instead)."""
    start = threading.Barrier(len(bodies))
    errors = []

    def wrapped(body):
        start.wait()
        try:
            body()
        except Exception as error:  # collected for the test to judge
            errors.append(error)

    threads = [threading.Thread(target=wrapped, args=(body,)) for body in bodies]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join(60)
    assert not any(thread.is_alive() for thread in threads), "a thread hangs"
    return errors


def test_closing_while_another_thread_computes(no_document):
    samples = voiced_signal(2000, 60000, 2000, 100, 8000)
    for _ in range(5):
        doc = talvox.Document(samples, RATE).open()
        results = []

        def compute():
            for _ in range(ROUNDS):
                try:
                    results.append(doc.spectrogram().shape)
                    doc.energy()
                except talvox.TalvoxError as error:
                    assert "not open" in str(error)
                    return

        errors = run_together(compute, doc.close)
        assert errors == []
        assert all(shape == results[0] for shape in results)
        assert not doc.is_open


def test_concurrent_loads_and_saves_give_their_own_files(tmp_path, no_document):
    first = voiced_signal(100, 20000, 100, 80, 6000)
    second = (np.arange(15000) % 300 * 50 - 7000).astype(np.int16)
    talvox.save(tmp_path / "first.wav", first, RATE)
    talvox.save(tmp_path / "second.wav", second, 8000)

    def load(name, expected, rate):
        def body():
            for _ in range(ROUNDS):
                wave = talvox.load(tmp_path / name)
                np.testing.assert_array_equal(wave.samples, expected)
                assert wave.rate == rate
        return body

    def save():
        for round in range(ROUNDS):
            talvox.save(tmp_path / ("out%d.wav" % (round % 3)), second, 8000)

    assert run_together(load("first.wav", first, RATE), load("second.wav", second, 8000), save) == []
    np.testing.assert_array_equal(talvox.load(tmp_path / "out0.wav").samples, second)


def test_resynthesis_and_edits_from_two_threads(no_document):
    samples = voiced_signal(3000, 40000, 3000, 100, 8000)
    with talvox.Document(samples, RATE) as doc:
        doc.analyze()
        reference = doc.resynthesize(semitones=3)

        def resynthesize():
            for _ in range(ROUNDS):
                try:
                    doc.resynthesize(semitones=3)
                except (talvox.TalvoxError, ValueError):
                    pass  # the other thread may have edited the signal away

        def edit():
            for _ in range(ROUNDS):
                doc.copy(1000, 2000)
                doc.paste(doc.length)

        assert run_together(resynthesize, edit) == []
        assert doc.length == samples.size + ROUNDS * 1001
        assert reference.size > 0


def test_the_lock_is_one_for_raw_and_document_calls():
    assert talvox.raw.lock is talvox._lib.LOCK
    acquired = talvox.raw.lock.acquire(timeout=1)
    try:
        assert acquired
        # Reentrant: the holder may call the library itself.
        assert talvox.raw.GetElementNum() >= 0
        other = []
        thread = threading.Thread(target=lambda: other.append(talvox.raw.lock.acquire(timeout=0.05)))
        thread.start()
        thread.join()
        assert other == [False]
    finally:
        talvox.raw.lock.release()
