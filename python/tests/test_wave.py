"""WAV files and the document's lifecycle."""

import numpy as np
import pytest

import talvox
from conftest import WAV, requires


@requires(WAV)
def test_mono_round_trip(tmp_path):
    samples = np.random.default_rng(1).integers(-32768, 32768, 5000).astype(np.int16)
    talvox.save(tmp_path / "a.wav", samples, 22050)
    wave = talvox.load(tmp_path / "a.wav")
    assert wave.rate == 22050
    assert wave.samples.dtype == np.int16
    np.testing.assert_array_equal(wave.samples, samples)
    data = (tmp_path / "a.wav").read_bytes()
    assert len(data) == 44 + 2 * samples.size
    assert data[:4] == b"RIFF" and data[8:16] == b"WAVEfmt "
    assert np.frombuffer(data[44:], "<i2").tolist() == samples.tolist()


@requires(WAV)
def test_stereo_round_trip(tmp_path):
    frames = np.stack([np.arange(300), -np.arange(300)], axis=1).astype(np.int16)
    talvox.save(str(tmp_path / "s.wav"), frames, 8000)
    wave = talvox.load(str(tmp_path / "s.wav"))
    assert wave.rate == 8000
    np.testing.assert_array_equal(wave.samples, frames)
    header = (tmp_path / "s.wav").read_bytes()[:44]
    assert int.from_bytes(header[22:24], "little") == 2
    assert int.from_bytes(header[28:32], "little") == 8000 * 4


@requires(WAV)
def test_document_opens_a_file_and_saves_it(tmp_path, no_document):
    samples = (np.arange(1000) % 50 * 40).astype(np.int16)
    talvox.save(tmp_path / "in.wav", samples, 16000)
    with talvox.Document(tmp_path / "in.wav") as doc:
        assert (doc.length, doc.rate, doc.channels) == (1000, 16000, 1)
        np.testing.assert_array_equal(doc.samples, samples)
        doc.save(tmp_path / "out.wav")
    assert (tmp_path / "out.wav").read_bytes() == (tmp_path / "in.wav").read_bytes()


@requires("ReadWaveFile")
def test_unreadable_file_names_the_operation(tmp_path):
    (tmp_path / "bad.wav").write_bytes(b"not a wave file at all")
    with pytest.raises(talvox.TalvoxError, match="ReadWaveFile"):
        talvox.load(tmp_path / "bad.wav")
    with pytest.raises(talvox.TalvoxError, match="ReadWaveFile"):
        talvox.Document(tmp_path / "bad.wav").open()
    # A missing file is reported as such, when the Document is made.
    with pytest.raises(FileNotFoundError, match="missing.wav"):
        talvox.Document(tmp_path / "missing.wav")
    with pytest.raises(FileNotFoundError, match="missing.wav"):
        talvox.load(tmp_path / "missing.wav")
    with pytest.raises(IsADirectoryError):
        talvox.Document(tmp_path)


def test_only_one_document_at_a_time(tmp_path, no_document):
    with talvox.Document(np.zeros(100, np.int16), 16000) as first:
        with pytest.raises(talvox.TalvoxError, match="one document per process"):
            talvox.Document().open()
        with pytest.raises(talvox.TalvoxError, match="wave buffer"):
            talvox.save(tmp_path / "x.wav", np.zeros(10, np.int16), 8000)
        with pytest.raises(talvox.TalvoxError, match="wave buffer"):
            talvox.load(tmp_path / "x.wav")
        assert first.is_open
    assert not first.is_open
    with pytest.raises(talvox.TalvoxError, match="not open"):
        first.length
    with talvox.Document() as second:  # free again once the first is closed
        assert second.length == 0


def test_signal_argument_errors(tmp_path):
    path = tmp_path / "x.wav"
    with pytest.raises(ValueError, match="dtype int16"):
        talvox.save(path, np.zeros(10), 8000)
    with pytest.raises(ValueError, match="C-contiguous"):
        talvox.save(path, np.zeros(20, np.int16)[::2], 8000)
    with pytest.raises(ValueError, match=r"shape \(n, 2\)"):
        talvox.save(path, np.zeros((10, 3), np.int16), 8000)
    with pytest.raises(ValueError, match="at least 1"):
        talvox.save(path, np.zeros(0, np.int16), 8000)
    with pytest.raises(ValueError, match="rate"):
        talvox.save(path, np.zeros(10, np.int16), 0)
    with pytest.raises(ValueError, match="outside the range"):
        talvox.save(path, [0, 40000], 8000)
    with pytest.raises(ValueError, match="rate"):
        talvox.Document(np.zeros(10, np.int16))
    with pytest.raises(ValueError, match="path"):
        talvox.load(42)
    assert not path.exists()


@requires("SaveWaveFile")
def test_unwritable_file_names_the_operation(tmp_path):
    with pytest.raises(talvox.TalvoxError, match="SaveWaveFile"):
        talvox.save(tmp_path / "no" / "such" / "dir.wav", np.zeros(10, np.int16), 8000)
