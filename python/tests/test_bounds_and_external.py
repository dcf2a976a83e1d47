"""The binding's bounds match the command-line tool's, end is exclusive
everywhere, refusals say why, and the external route runs in a private
folder of its own."""

import os
import stat

import numpy as np
import pytest

import talvox
from conftest import ELEMENTS, PEAKS, requires, voiced_signal

RATE = 16000


@pytest.fixture
def voiced(no_document):
    with talvox.Document(voiced_signal(3000, 20000, 3000, 100, 8000), RATE) as doc:
        doc.analyze()
        yield doc


@requires("CalculatePitch", ELEMENTS, PEAKS)
def test_pitch_changes_are_bounded_like_the_tool(voiced):
    for arguments, message in (
        ({"semitones": 30}, "semitones must lie between -24 and 24"),
        ({"semitones": -24.5}, "semitones must lie between -24 and 24"),
        ({"pitch_scale": 1e30}, "pitch_scale must lie between 0.25 and 4"),
        ({"pitch_scale": 0.1}, "pitch_scale must lie between 0.25 and 4"),
        ({"f0": 5000.0}, "f0 must lie between 20 and 2000 Hz"),
    ):
        with pytest.raises(ValueError, match=message):
            voiced.resynthesize(**arguments)
    assert voiced.resynthesize(semitones=24).size > 0
    assert voiced.resynthesize(pitch_scale=4).size > 0


@requires("CalculatePitch", ELEMENTS, PEAKS)
def test_end_is_exclusive_and_may_be_the_length(voiced):
    length = voiced.length
    whole = voiced.resynthesize(0, length, pitch_scale=1)
    assert np.array_equal(whole, voiced.resynthesize(pitch_scale=1))
    # The last sample follows what the library made of the rest.
    short = voiced.resynthesize(0, length - 1, pitch_scale=1)
    assert whole.size == short.size + 1
    assert whole[-1] == voiced.samples[-1]
    with pytest.raises(ValueError, match="end"):
        voiced.resynthesize(0, length + 1)
    collected = voiced.collect(0, length)
    assert np.array_equal(collected, voiced.collect())
    assert collected.size >= voiced.collect(0, length - 1).size
    with pytest.raises(ValueError, match="end"):
        voiced.collect(0, length + 1)
    for element in voiced.elements:
        assert 0 <= element.start <= element.end <= length


def test_a_signal_too_long_for_the_library_says_so(no_document):
    # Zero pages are never touched: the check comes before the library.
    samples = np.zeros(2**30, np.int16)
    with pytest.raises(ValueError, match="too long for the library: at most 1073741823 samples"):
        talvox.Document(samples, RATE).open()
    with pytest.raises(ValueError, match="too long"):
        talvox.save("never-written.wav", samples, RATE)
    assert not os.path.exists("never-written.wav")


def fake_pap(folder, reply):
    """A pitch program that notes where it ran and answers with reply."""
    program = folder / "pap.exe"
    program.write_text(
        "#!/bin/sh\n"
        "pwd > '%s'\n"
        "out=$(sed -n 's/^\\t\\tWrite to text file\\.\\.\\. //p' \"$1\")\n"
        "printf '%%s' '%s' > \"$out\"\n" % (folder / "ran-in", reply)
    )
    program.chmod(0o755)


@requires("CalculatePeak", ELEMENTS, PEAKS)
def test_the_external_route_runs_in_a_private_folder(tmp_path, monkeypatch, no_document):
    tools = tmp_path / "tools"
    work = tmp_path / "work"
    private = tmp_path / "tmp"
    for folder in (tools, work, private):
        folder.mkdir()
    times = "".join("t [%d] = %.6f\n" % (i + 1, (3040 + 100 * i) / RATE) for i in range(150))
    fake_pap(tools, times)
    monkeypatch.setenv("PATH", "%s:/usr/bin:/bin" % tools)
    monkeypatch.setenv("TMPDIR", str(private))
    monkeypatch.chdir(work)
    # The caller's own files of the working names stay as they are.
    (work / "temp.wav").write_bytes(b"mine")
    os.symlink(str(tmp_path / "precious"), str(work / "pitch.psc"))
    (tmp_path / "precious").write_text("keep")
    work.chmod(stat.S_IRUSR | stat.S_IXUSR)  # read-only for anyone but root
    try:
        with talvox.Document(voiced_signal(3000, 20000, 3000, 100, 8000), RATE) as doc:
            assert doc.analyze(marks="external") > 100
    finally:
        work.chmod(0o755)
    ran_in = (tools / "ran-in").read_text().strip()
    assert os.path.dirname(ran_in) == str(private)
    assert not os.path.exists(ran_in)
    assert os.listdir(str(private)) == []
    assert (work / "temp.wav").read_bytes() == b"mine"
    assert (tmp_path / "precious").read_text() == "keep"
    assert os.getcwd() == str(work)


@requires("CalculatePeak", ELEMENTS, PEAKS)
def test_external_route_failures_say_what_happened(tmp_path, monkeypatch, no_document):
    monkeypatch.setenv("PATH", str(tmp_path / "nothing"))
    with talvox.Document(voiced_signal(3000, 20000, 3000, 100, 8000), RATE) as doc:
        with pytest.raises(talvox.TalvoxError, match="pap.exe is not on PATH"):
            doc.analyze(marks="external")
        fake_pap(tmp_path, "nothing useful\n")
        monkeypatch.setenv("PATH", "%s:/usr/bin:/bin" % tmp_path)
        with pytest.raises(talvox.TalvoxError, match="found no pitch marks"):
            doc.analyze(marks="external")
