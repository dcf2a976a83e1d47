// Signal-processing primitives: the 128-point FFT beside FFTW's complex
// single-precision transform, the order-6 filter, the Hann window, and the
// frame analyses (frames per second).
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <vector>

#include "talvox.h"

namespace {

std::vector<int16_t> Speechlike(int n) {
  std::vector<int16_t> x(n);
  for (int i = 0; i < n; ++i) {
    x[i] = static_cast<int16_t>(6000 * std::sin(0.13 * i) + 3000 * std::sin(0.71 * i + 1) +
                                500 * std::sin(2.3 * i));
  }
  return x;
}

// Forward and inverse alternate so the data stays bounded.
void BM_Fft(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::vector<float> re(n), im(n);
  for (int i = 0; i < n; ++i) re[i] = static_cast<float>(std::sin(0.3 * i));
  int direction = 0;
  for (auto _ : state) {
    fft(re.data(), im.data(), direction, n);
    direction ^= 1;
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Fft)->Arg(128)->Arg(256)->Arg(65536);

void BM_Fftw(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  fftwf_complex* in = fftwf_alloc_complex(n);
  fftwf_complex* out = fftwf_alloc_complex(n);
  fftwf_plan plan = fftwf_plan_dft_1d(n, in, out, FFTW_FORWARD, FFTW_MEASURE);
  for (int i = 0; i < n; ++i) {
    in[i][0] = static_cast<float>(std::sin(0.3 * i));
    in[i][1] = 0.0f;
  }
  for (auto _ : state) {
    fftwf_execute(plan);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());
  fftwf_destroy_plan(plan);
  fftwf_free(in);
  fftwf_free(out);
}
BENCHMARK(BM_Fftw)->Arg(128)->Arg(256)->Arg(65536);

void BM_FilterOrder6(benchmark::State& state) {
  double a[10], b[10];
  const double gain = butt_low_pass(16000, 6, 800.0, a, b);
  const std::vector<int16_t> source = Speechlike(16000);
  std::vector<int16_t> x = source;
  for (auto _ : state) {
    filter(x.data(), static_cast<int32_t>(x.size()), 6, gain, a, b);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(x.size()));
}
BENCHMARK(BM_FilterOrder6);

void BM_Hanning(benchmark::State& state) {
  const std::vector<int16_t> source = Speechlike(400);
  std::vector<int16_t> x = source;
  for (auto _ : state) {
    Hanning(x.data(), 400);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * 400);
}
BENCHMARK(BM_Hanning);

void BM_Mfcc(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const std::vector<int16_t> frame = Speechlike(n);
  std::vector<float> out(GetMFCCVecLen());
  for (auto _ : state) {
    benchmark::DoNotOptimize(MFCCCalculateParam(frame.data(), n, out.data()));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Mfcc)->Arg(256)->Arg(400);

void BM_LpcOrder12(benchmark::State& state) {
  const std::vector<int16_t> frame = Speechlike(320);
  std::vector<float> coefficients(13);
  for (auto _ : state) {
    benchmark::DoNotOptimize(Lpc_Lattice(coefficients.data(), frame.data(), 320));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LpcOrder12);

void BM_Cepstrum(benchmark::State& state) {
  const std::vector<int16_t> frame = Speechlike(256);
  std::vector<float> out(GetCeplen());
  for (auto _ : state) {
    benchmark::DoNotOptimize(CalculateCepstral(frame.data(), 256, out.data()));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Cepstrum);

}  // namespace

BENCHMARK_MAIN();
