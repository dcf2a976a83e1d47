"""The primitives against numpy/scipy and against worked values."""

import math

import numpy as np
import pytest
from scipy import signal

import talvox
from conftest import requires

RNG = np.random.default_rng(7)


def random_samples(n, scale=8000):
    return np.clip(RNG.normal(0, scale, n), -32768, 32767).astype(np.int16)


# ------------------------------------------------------------------ fft


@pytest.mark.parametrize("n", [1, 2, 16, 128, 1024])
def test_fft_matches_numpy(n):
    x = (RNG.normal(size=n) + 1j * RNG.normal(size=n)).astype(np.complex64)
    spectrum = talvox.fft(x)
    assert spectrum.dtype == np.complex64
    reference = np.fft.fft(x.astype(np.complex128))
    # single precision: error grows like log2(n) roundings of the magnitudes
    tolerance = 1e-6 * max(1, math.log2(n)) * np.abs(reference).max() * 4
    np.testing.assert_allclose(spectrum, reference, rtol=0, atol=tolerance)
    back = talvox.fft(spectrum, inverse=True)
    np.testing.assert_allclose(back, np.fft.ifft(spectrum.astype(np.complex128)),
                               rtol=0, atol=tolerance / n + 1e-6)


def test_fft_of_a_real_impulse():
    x = np.zeros(8, np.float32)
    x[0] = 1
    np.testing.assert_array_equal(talvox.fft(x), np.ones(8, np.complex64))
    assert x.tolist() == [1, 0, 0, 0, 0, 0, 0, 0]  # the input is left alone


def test_fft_argument_errors():
    with pytest.raises(ValueError, match="power of two"):
        talvox.fft(np.zeros(12, np.float32))
    with pytest.raises(ValueError, match="dtype"):
        talvox.fft(np.zeros(16))  # float64: convert explicitly
    with pytest.raises(ValueError, match="C-contiguous"):
        talvox.fft(np.zeros(32, np.float32)[::2])
    with pytest.raises(ValueError, match="at least 1"):
        talvox.fft(np.zeros(0, np.float32))
    with pytest.raises(ValueError, match="dimension"):
        talvox.fft(np.zeros((4, 4), np.float32))


# -------------------------------------------------------------- windows


def test_hanning_worked_values():
    assert talvox.hanning([1000] * 4).tolist() == [0, 499, 999, 500]
    assert talvox.hanning([1000] * 8).tolist() == [0, 146, 499, 853, 999, 853, 500, 146]
    samples = np.full(4, -1000, np.int16)
    assert talvox.hanning(samples).tolist() == [0, -499, -999, -500]
    assert samples.tolist() == [-1000] * 4


def test_hanning_never_grows_a_sample():
    x = random_samples(1000)
    y = talvox.hanning(x)
    assert np.all(np.abs(y.astype(int)) <= np.abs(x.astype(int)))
    window = 0.5 - 0.5 * np.cos(2 * np.pi * np.arange(1000) / 1000)
    assert np.all(np.abs(y - np.trunc(window * x)) <= 1)


# -------------------------------------------------------------- filters


def library_response(design, frequencies, rate):
    z = np.exp(-2j * np.pi * np.asarray(frequencies) / rate)
    response = np.full(z.shape, design.gain, dtype=complex)
    for a, b in zip(design.a, design.b):
        response *= (1 + 2 * z + z * z) / (1 + a * z + b * z * z)
    return response


def library_poles(design):
    return np.concatenate([np.roots([1, a, b]) for a, b in zip(design.a, design.b)])


def sorted_poles(poles):
    return np.array(sorted(poles, key=lambda p: (round(p.real, 6), p.imag)))


@pytest.mark.parametrize("order,cutoff,rate", [(2, 1000.0, 16000), (4, 300.0, 16000),
                                               (6, 800.0, 16000), (8, 3000.0, 44100)])
def test_butterworth_agrees_with_scipy(order, cutoff, rate):
    design = talvox.butter_lowpass(rate, order, cutoff)
    assert design.a.shape == (order // 2,) and design.order == order
    zeros, poles, gain = signal.butter(order, cutoff, fs=rate, output="zpk")
    # the library's short pi moves the poles by about 1e-8
    np.testing.assert_allclose(sorted_poles(library_poles(design)), sorted_poles(poles),
                               atol=1e-6)
    frequencies = np.linspace(0, rate / 2 * 0.99, 200)
    _, reference = signal.freqz_zpk(zeros, poles, gain, worN=frequencies, fs=rate)
    np.testing.assert_allclose(library_response(design, frequencies, rate), reference,
                               atol=1e-6)
    assert abs(abs(library_response(design, [cutoff], rate)[0]) - math.sqrt(0.5)) < 1e-6


def test_butterworth_worked_values():
    design = talvox.butter_lowpass(16000, 2, 1000.0)
    assert design.a[0] == pytest.approx(-1.454244, abs=1e-6)
    assert design.b[0] == pytest.approx(0.574062, abs=1e-6)
    assert design.gain == pytest.approx(0.0299546, abs=1e-7)


@pytest.mark.parametrize("order,ripple", [(2, 1.0), (4, 0.5), (6, 3.0)])
def test_chebyshev_agrees_with_scipy(order, ripple):
    rate, cutoff = 16000, 1000.0
    design = talvox.cheby_lowpass(rate, order, ripple, cutoff)
    # The library places the -3 dB point at cutoff; scipy's frequency is the
    # edge of the ripple band, which lies lower by cosh(acosh(1/eps)/order)
    # in the prewarped domain.
    epsilon = math.sqrt(10 ** (ripple / 10) - 1)
    edge = math.tan(math.pi * cutoff / rate) / math.cosh(math.acosh(1 / epsilon) / order)
    zeros, poles, gain = signal.cheby1(order, ripple, math.atan(edge) * rate / math.pi,
                                       fs=rate, output="zpk")
    np.testing.assert_allclose(sorted_poles(library_poles(design)), sorted_poles(poles),
                               atol=1e-6)
    frequencies = np.linspace(0, rate / 2 * 0.99, 200)
    _, reference = signal.freqz_zpk(zeros, poles, gain, worN=frequencies, fs=rate)
    np.testing.assert_allclose(library_response(design, frequencies, rate), reference,
                               atol=1e-6)


def test_chebyshev_worked_values():
    design = talvox.cheby_lowpass(16000, 2, 1.0, 1000.0)
    assert design.a[0] == pytest.approx(-1.605921, abs=1e-6)
    assert design.b[0] == pytest.approx(0.703285, abs=1e-6)
    assert design.gain == pytest.approx(0.0216941, abs=1e-7)


def test_filter_worked_values_and_carried_state():
    design = talvox.butter_lowpass(16000, 2, 1000.0)
    impulse = np.array([10000, 0, 0, 0, 0], np.int16)
    talvox.reset_filter_state()
    assert design.apply(impulse).tolist() == [299, 1034, 1632, 1779, 1651]
    # the delay state carries over: the same input now gives other output
    assert talvox.apply_filter(impulse, design).tolist() != [299, 1034, 1632, 1779, 1651]
    talvox.reset_filter_state()
    assert talvox.apply_filter(impulse, design).tolist() == [299, 1034, 1632, 1779, 1651]
    assert impulse.tolist() == [10000, 0, 0, 0, 0]


def test_filter_agrees_with_scipy_up_to_truncation():
    design = talvox.butter_lowpass(16000, 6, 800.0)
    x = random_samples(4000, 3000)
    talvox.reset_filter_state()
    y = talvox.apply_filter(x, design)
    sections = [[design.gain if j == 0 else 1.0, 0, 0, 1, 0, 0] for j in range(3)]
    sos = np.array([[s[0] * 1, s[0] * 2, s[0] * 1, 1, a, b]
                    for s, a, b in zip(sections, design.a, design.b)])
    reference = signal.sosfilt(sos, x.astype(np.float64))
    assert np.all(np.abs(y - np.trunc(reference)) <= 1)


def test_filter_argument_errors():
    with pytest.raises(ValueError, match="cutoff"):
        talvox.butter_lowpass(16000, 4, 8000.0)
    with pytest.raises(ValueError, match="order"):
        talvox.butter_lowpass(16000, 20, 1000.0)
    with pytest.raises(ValueError, match="order"):
        talvox.butter_lowpass(16000, 1, 1000.0)
    with pytest.raises(ValueError, match="rate"):
        talvox.butter_lowpass(0, 4, 1000.0)
    with pytest.raises(ValueError, match="ripple_db"):
        talvox.cheby_lowpass(16000, 4, 3.5, 1000.0)
    with pytest.raises(ValueError, match="ripple_db"):
        talvox.cheby_lowpass(16000, 4, 0.0, 1000.0)
    design = talvox.butter_lowpass(16000, 4, 1000.0)
    with pytest.raises(ValueError, match="FilterDesign"):
        talvox.apply_filter(np.zeros(4, np.int16), (design.a, design.b))
    with pytest.raises(ValueError, match="design.a"):
        talvox.apply_filter(np.zeros(4, np.int16), design._replace(a=design.a[:1]))
    with pytest.raises(ValueError, match="dtype int16"):
        design.apply(np.zeros(4, np.int32))


# ------------------------------------------------------------ prediction


@requires("Lpc_Lattice", "SetLPCNum", "GetLPCNum")
def test_lpc_worked_values_and_order_restored():
    frame = np.array([1, 2, 3, 4], np.int16)
    np.testing.assert_allclose(talvox.lpc(frame, 1), [40 / 44], rtol=1e-6)
    np.testing.assert_allclose(talvox.lpc(frame, 2), [1.634286, -0.797714], atol=1e-6)
    assert talvox.raw.GetLPCNum() == 12
    assert talvox.lpc(random_samples(400)).shape == (12,)


@requires("Lpc_Lattice")
def test_lpc_predicts_a_resonance():
    # x[n] = 2 r cos(w) x[n-1] - r^2 x[n-2]: order 2 finds those coefficients
    r, w = 0.95, 2 * np.pi * 500 / 16000
    x = np.zeros(600)
    x[0] = 2000  # the response peaks near 2000 / sin(w), within 16 bits
    for n in range(1, 600):
        x[n] = 2 * r * np.cos(w) * x[n - 1] - (r * r * x[n - 2] if n > 1 else 0)
    coefficients = talvox.lpc(np.trunc(x).astype(np.int16), 2)
    np.testing.assert_allclose(coefficients, [2 * r * np.cos(w), -r * r], atol=2e-3)


@requires("AntiFilterFromLPC", "SynthFromLPC")
def test_prediction_filters_follow_their_formulas():
    x = random_samples(300, 3000)
    a = np.array([0.9, -0.3, 0.1], np.float32)
    residual = talvox.lpc_residual(a, x)
    expected = x.astype(np.int64).copy()
    for i in range(300):
        for j in range(1, min(3, i) + 1):
            expected[i] -= int(np.float32(x[i - j]) * a[j - 1])  # float product, truncated
    np.testing.assert_array_equal(residual, expected.astype(np.int16))
    output = talvox.lpc_synthesis(a, residual)
    assert output[0] == 0
    # sample 0 is lost; its echo dies out, the truncations stay small
    assert np.abs(output[100:].astype(int) - x[100:]).max() < 20


@requires("Correlation")
def test_correlation_agrees_with_numpy():
    x = random_samples(200)
    template = x[50:80].copy()
    c = talvox.correlation(x, template)
    assert c.shape == (200,) and c[50] == pytest.approx(100, abs=1e-3)
    for lag in range(0, 200 - 30, 17):
        window = x[lag:lag + 30].astype(np.float64)
        t = template.astype(np.float64)
        expected = 100 * np.dot(window, t) / np.sqrt(np.dot(window, window) * np.dot(t, t))
        assert c[lag] == pytest.approx(expected, abs=1e-3)
    with pytest.raises(ValueError, match="shorter"):
        talvox.correlation(x[:10], template)


# ------------------------------------------------------- cepstrum, MFCC


@requires("CalculateCepstral", "SetCeplen", "GetCeplen")
@pytest.mark.parametrize("n,size", [(16, 16), (200, 256)])
def test_cepstrum_agrees_with_numpy(n, size):
    x = random_samples(n)
    padded = np.zeros(size)
    padded[:n] = x
    log_magnitude = 10 * np.log10(np.abs(np.fft.fft(padded)))
    expected = np.abs(np.fft.ifft(log_magnitude))[:min(40, size)]
    result = talvox.cepstrum(x, 40)
    assert result.shape == (40,) and talvox.raw.GetCeplen() == 50
    np.testing.assert_allclose(result[:size], expected, rtol=1e-3, atol=1e-3)
    assert np.all(result[size:] == 0)


@requires("MFCCCalculateParam", "MFCCSetSampleingRate", "SetMFCCVecLen", "GetMFCCVecLen")
def test_mfcc_agrees_with_a_numpy_recomputation():
    lower = [0, 100, 200, 300, 400, 510, 630, 770, 920, 1080, 1270, 1480, 1720, 2000, 2320,
             2700, 3150, 3700, 4400, 5300]
    centre = [50, 150, 250, 350, 450, 570, 700, 840, 1000, 1170, 1370, 1600, 1850, 2150, 2500,
              2900, 3400, 4000, 4800, 5800]
    upper = lower[1:] + [6400]
    rate, size = 16000, 256
    frame = random_samples(200)
    padded = np.zeros(size)
    padded[:200] = talvox.hanning(frame)
    power = np.abs(np.fft.fft(padded)[:size // 2]) ** 2
    energies = []
    for lo_f, mid_f, hi_f in zip(lower, centre, upper):
        lo, mid, hi = (size * f // rate for f in (lo_f, mid_f, hi_f))
        total = 0.0
        for i in range(lo, min(hi, size // 2 - 1) + 1):
            if lo == mid and i == lo:
                total = power[i]
            elif i <= mid:
                total += power[i] * (i - lo) / (mid - lo)
            else:
                total += power[i] * (hi - i) / (hi - mid)
        energies.append(total)
    logs = np.log10(energies)
    expected = [sum(logs[j - 1] * math.cos(k * (j - 0.5) * math.pi / 20) for j in range(1, 21))
                for k in range(1, 14)]
    result = talvox.mfcc(frame, rate)
    assert result.shape == (13,)
    np.testing.assert_allclose(result, expected, rtol=1e-3, atol=1e-3)
    assert talvox.mfcc(frame, rate, count=20).shape == (20,)
    assert talvox.raw.GetMFCCVecLen() == 13


def test_frame_argument_errors():
    with pytest.raises(ValueError, match="at least 13"):
        talvox.cepstrum(np.zeros(12, np.int16))
    with pytest.raises(ValueError, match="at least 20"):
        talvox.mfcc(np.zeros(19, np.int16))
    with pytest.raises(ValueError, match="at most 65536"):
        talvox.mfcc(np.zeros(65537, np.int16))
    with pytest.raises(ValueError, match="order"):
        talvox.lpc(np.zeros(10, np.int16), 101)
    with pytest.raises(ValueError, match="at most 12"):
        talvox.lpc_residual(np.zeros(13, np.float32), np.zeros(10, np.int16))
    with pytest.raises(ValueError, match="dtype float32"):
        talvox.lpc_residual(np.zeros(3), np.zeros(10, np.int16))


@requires("FilterInPoints", "FilterPitch")
def test_point_filters():
    values = np.array([100, 200, 300, 400, 500], np.int32)
    assert talvox.filter_points(values, 3).tolist() == [100, 200, 300, 400, 500]
    assert talvox.filter_pitch(np.array([0, 90, 120, 0], np.int32), 1).tolist() == [0, 90, 120, 0]
    with pytest.raises(ValueError, match="window"):
        talvox.filter_points(values, 0)
