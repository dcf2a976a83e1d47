#include "reduced_rate.h"

#include <soxr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli_error.h"
#include "talvox.h"

namespace tvx {
namespace {

constexpr int kHighestMarkRate = 16000;  // the internal route's marks hold steady up to here

std::vector<int16_t> Decimate(const int16_t* samples, int32_t length, int factor) {
  std::vector<int16_t> out(size_t(length) / size_t(factor) + 2);
  size_t made = 0;
  soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
  // Without this, 16-bit output is dithered from a seed that changes with
  // every run, and the same file would get different marks each time.
  io.flags |= SOXR_NO_DITHER;
  soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
  soxr_error_t error = soxr_oneshot(double(factor), 1.0, 1, samples, size_t(length), nullptr, out.data(), out.size(),
                                    &made, &io, &quality, nullptr);
  if (error) throw CliError(kExitFailure, std::string("resampling for the analysis failed: ") + error);
  out.resize(made);
  return out;
}

// A file name in the temporary folder, removed with the object.
class ScratchFile {
 public:
  ScratchFile() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/talvox-marks-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) throw CliError(kExitFailure, "cannot make a temporary file: " + SystemMessage(errno));
    close(fd);
    path_ = name.data();
  }
  ~ScratchFile() { unlink(path_.c_str()); }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

int32_t Scaled(int32_t position, int factor, int32_t length) {
  int64_t scaled = int64_t(position) * factor;
  return static_cast<int32_t>(scaled < length ? scaled : length);
}

}  // namespace

int RateReduction(int rate) { return rate > kHighestMarkRate ? (rate + kHighestMarkRate - 1) / kHighestMarkRate : 1; }

int32_t CalculatePitchReduced(const int16_t* samples, int32_t length, int rate, int factor) {
  std::vector<int16_t> copy = Decimate(samples, length, factor);
  const int32_t copyLength = static_cast<int32_t>(copy.size());
  const int32_t copyRate = static_cast<int32_t>((rate + factor / 2) / factor);
  CalculatePitch(copy.data(), copyLength, copyRate);

  // The document now holds the copy's annotation; scale it into a record.
  std::vector<TvxElement> elements;
  for (int32_t i = 0; i < GetElementNum(); i++) {
    TvxElement element{};
    GetElementDesc(i, element.desc);
    GetElementSegment(i, &element.start, &element.end);
    element.start = Scaled(element.start, factor, length);
    element.end = element.end >= copyLength ? length : Scaled(element.end, factor, length);
    if (element.start < element.end) elements.push_back(element);
  }
  int32_t* copyPeaks = nullptr;
  int32_t count = GetFullPeaks(&copyPeaks);
  std::vector<int32_t> peaks;
  for (int32_t i = 0; i < count; i++) {
    int64_t position = int64_t(copyPeaks[i]) * factor;
    if (position < length && (peaks.empty() || position > peaks.back())) peaks.push_back(int32_t(position));
  }
  std::vector<int32_t> periods(peaks.size(), 0);
  for (size_t k = 0; k + 1 < peaks.size(); k++) periods[k] = peaks[k + 1] - peaks[k];

  TvxDocument record{};
  record.elements = elements.data();
  record.elementCount = static_cast<int32_t>(elements.size());
  record.elementCapacity = record.elementCount;
  record.peaks = peaks.empty() ? nullptr : peaks.data();
  record.modifiedPitch = peaks.empty() ? nullptr : periods.data();
  record.peakCount = static_cast<int32_t>(peaks.size());
  record.peakRate = rate;
  record.segmented = 1;
  ScratchFile scratch;
  InitTalvox();
  if (!_SavePeaks(scratch.path().c_str(), &record) || !ReadPeaks(scratch.path().c_str()))
    throw CliError(kExitFailure, "the annotation of the resampled copy could not be stored");
  return record.peakCount;
}

}  // namespace tvx
