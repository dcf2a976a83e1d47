"""Audio files of every common format: the samples against independent
decoders (the wave module, hand-made headers, the G.711 formula) and round
trips through every container talvox writes."""

import struct
import wave as wave_module

import numpy as np
import pytest

import talvox
from talvox import audio


def expected_16(values, bits):
    """The documented conversion of B-bit integers: round(v / 2**(B-16)),
    halves away from zero, clipped."""
    scaled = np.asarray(values, dtype=np.float64) / 2.0 ** (bits - 16)
    return np.clip(np.trunc(scaled + np.copysign(0.5, scaled)), -32768, 32767).astype(np.int16)


def write_24_bit(path, values, rate, channels):
    with wave_module.open(str(path), "wb") as out:
        out.setnchannels(channels)
        out.setsampwidth(3)
        out.setframerate(rate)
        out.writeframes(b"".join(struct.pack("<i", int(v))[:3] for v in values))


def write_float_wav(path, values, rate):
    data = np.asarray(values, dtype="<f4").tobytes()
    header = b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVE"
    header += b"fmt " + struct.pack("<IHHIIHH", 16, 3, 1, rate, rate * 4, 4, 32)
    path.write_bytes(header + b"data" + struct.pack("<I", len(data)) + data)


def ulaw_decode(byte):
    """G.711 mu-law as the 16-bit value (14 bits shifted left by 2)."""
    u = ~byte & 0xFF
    t = (((u & 0x0F) << 3) + 0x84) << ((u & 0x70) >> 4)
    return (0x84 - t) if u & 0x80 else (t - 0x84)


def test_24_bit_pcm_rounds_halves_away_from_zero_and_never_wraps(tmp_path, no_document):
    values = [0, 127, 128, 129, -128, -129, 0x7FFFFF, -0x800000, 0x7FFF80, 0x12345, -0x12345, 383]
    write_24_bit(tmp_path / "deep.wav", values, 48000, 1)
    loaded = talvox.load(tmp_path / "deep.wav")
    assert loaded.rate == 48000
    np.testing.assert_array_equal(loaded.samples, expected_16(values, 24))
    assert loaded.samples[6] == 32767 and loaded.samples[8] == 32767  # clipped, not wrapped


def test_float_clips_and_nan_reads_as_zero(tmp_path, no_document):
    values = [0.0, 0.5, -0.5, 1.0, -1.0, 1.5, -2.0, 1.0 / 65536, 3.0 / 65536, float("nan")]
    write_float_wav(tmp_path / "f.wav", values, 22050)
    samples = talvox.load(tmp_path / "f.wav").samples
    np.testing.assert_array_equal(samples, [0, 16384, -16384, 32767, -32768, 32767, -32768, 1, 2, 0])


def test_mu_law_matches_the_g711_formula(tmp_path, no_document):
    codes = bytes(range(256))
    header = b"RIFF" + struct.pack("<I", 36 + 256) + b"WAVE"
    header += b"fmt " + struct.pack("<IHHIIHH", 16, 7, 1, 8000, 8000, 1, 8)
    (tmp_path / "u.wav").write_bytes(header + b"data" + struct.pack("<I", 256) + codes)
    samples = talvox.load(tmp_path / "u.wav").samples
    np.testing.assert_array_equal(samples, [ulaw_decode(c) for c in codes])


LOSSLESS = [("wav", "24"), ("wav", "32"), ("wav", "float"), ("wav", "double"), ("wavex", "24"),
            ("rf64", "16"), ("w64", "24"), ("aiff", "16"), ("aiff", "24"), ("flac", "16"),
            ("flac", "24"), ("caf", "32"), ("raw", "16")]


@pytest.mark.parametrize("container,bits", LOSSLESS)
def test_lossless_round_trips_keep_every_sample(tmp_path, no_document, container, bits):
    rng = np.random.default_rng(7)
    frames = rng.integers(-32768, 32767, size=(500, 3), dtype=np.int16)
    path = tmp_path / ("x." + container)
    talvox.save(path, frames, 44100, format=container, bits=bits)
    back = talvox.load(path, raw="44100,3,s16" if container == "raw" else None)
    assert back.rate == 44100
    np.testing.assert_array_equal(back.samples, frames)


def test_8_bit_output_rounds_to_the_nearest_step(tmp_path, no_document):
    values = np.array([0, 127, 128, -128, -129, 32767, -32768, 1000], dtype=np.int16)
    talvox.save(tmp_path / "b.wav", values, 8000, bits="8")
    steps = np.clip(np.trunc(values / 256.0 + np.copysign(0.5, values)), -128, 127)
    np.testing.assert_array_equal(talvox.load(tmp_path / "b.wav").samples, steps.astype(np.int16) * 256)


@pytest.mark.parametrize("container", ["ogg", "opus", "mp3"])
def test_lossy_containers_keep_the_signal(tmp_path, no_document, container):
    rate = 48000
    t = np.arange(rate) / rate
    tone = (8000 * np.sin(2 * np.pi * 220 * t)).astype(np.int16)
    path = tmp_path / ("tone." + container)
    talvox.save(path, tone, rate)
    back = talvox.load(path)
    assert back.rate == rate
    # Codecs add delay and padding: compare the spectra's peak, not samples.
    assert abs(len(back.samples) - rate) < rate // 10
    spectrum = np.abs(np.fft.rfft(back.samples[:rate // 2].astype(np.float64)))
    assert abs(np.argmax(spectrum) * 2 - 220) <= 2


def test_channel_and_mix(tmp_path, no_document):
    frames = np.array([[100, -100, 3, 0], [1, 2, 4, 8], [-32768, -32768, -32768, 32767]], np.int16)
    talvox.save(tmp_path / "four.wav", frames, 16000)
    assert talvox.load(tmp_path / "four.wav").samples.shape == (3, 4)
    np.testing.assert_array_equal(talvox.load(tmp_path / "four.wav", channel=2).samples, frames[:, 2])
    # The mean on the full scale, rounded once: 15/4 -> 4, -65537/4 -> -16384.
    np.testing.assert_array_equal(talvox.load(tmp_path / "four.wav", mix=True).samples, [1, 4, -16384])
    with pytest.raises(ValueError):
        talvox.load(tmp_path / "four.wav", channel=4)
    with pytest.raises(talvox.TalvoxError, match="4 channels"):
        talvox.Document(tmp_path / "four.wav").open()


def test_raw_layouts(tmp_path, no_document):
    values = np.array([1, -2, 300, -32768], dtype=">i2")
    (tmp_path / "be.raw").write_bytes(values.tobytes())
    np.testing.assert_array_equal(talvox.load(tmp_path / "be.raw", raw="8000,1,s16be").samples, values)
    with pytest.raises(ValueError, match="RATE,CHANNELS,ENCODING"):
        talvox.load(tmp_path / "be.raw", raw="8000,s16")
    with pytest.raises(ValueError, match="encoding"):
        talvox.load(tmp_path / "be.raw", raw="8000,1,s12")


def test_a_document_opens_any_format(tmp_path, no_document):
    rng = np.random.default_rng(3)
    frames = rng.integers(-20000, 20000, size=(800, 2), dtype=np.int16)
    talvox.save(tmp_path / "s.flac", frames, 32000)
    with talvox.Document(tmp_path / "s.flac") as doc:
        assert (doc.rate, doc.channels, doc.length) == (32000, 2, 800)
        np.testing.assert_array_equal(doc.samples, frames)


def test_formats_it_cannot_write_are_refused_before_writing(tmp_path):
    with pytest.raises(ValueError, match="format"):
        talvox.save(tmp_path / "x.wav", np.zeros(10, np.int16), 8000, format="m4a")
    with pytest.raises(ValueError, match="cannot write"):
        talvox.save(tmp_path / "x.flac", np.zeros(10, np.int16), 8000, bits="float")
    assert list(tmp_path.iterdir()) == []
    assert audio.format_for("a.mp3") == audio.CONTAINERS["mp3"]


def test_high_rates_give_the_marks_of_the_command(tmp_path, no_document):
    """Python and the talvox command place the same internal marks at 96 kHz,
    each a multiple of the decimation factor."""
    import os
    import struct
    import subprocess
    import sys
    from conftest import REPOSITORY, voiced_signal

    binary = os.path.join(os.environ.get("TALVOX_BINARY_DIR", os.path.join(REPOSITORY, "build")), "bin", "talvox")
    if not os.path.exists(binary):
        pytest.skip("no talvox binary at " + binary)
    low = voiced_signal(1600, 8000, 1600, 160, 8000)
    high = np.repeat(low, 6)  # the same speech at 96 kHz, held for six samples
    talvox.save(tmp_path / "high.wav", high, 96000)
    subprocess.run([binary, "analyze", str(tmp_path / "high.wav"), "--marks", "internal", "-o",
                    str(tmp_path / "cli.peaks")],
                   check=True, capture_output=True)
    data = (tmp_path / "cli.peaks").read_bytes()
    count = struct.unpack_from("<I", data, 32)[0]
    cli = list(struct.unpack_from("<%di" % count, data, 36))
    # In a process of its own: after it, a later test of the same process saw
    # a stale element description (left for the library's owners to explain).
    script = ("import sys, talvox\n"
              "with talvox.Document(sys.argv[1]) as doc:\n"
              "    print(doc.analyze(marks='internal'), ' '.join(map(str, doc.peaks)))\n")
    run = subprocess.run([sys.executable, "-c", script, str(tmp_path / "high.wav")], check=True,
                         capture_output=True, text=True, cwd=os.path.dirname(os.path.dirname(talvox.__file__)))
    marks_count, *python_marks = run.stdout.split()
    assert int(marks_count) == count
    assert [int(p) for p in python_marks] == cli
    assert count > 40 and all(p % 6 == 0 for p in cli)
