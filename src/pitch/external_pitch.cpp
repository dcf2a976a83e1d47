// _CalculatePeak: the signal goes to pap.exe as temp.wav, its pulse times
// come back as text, and each time is moved onto the strongest positive
// half-wave of the raw signal within half a period.
#include "pitch/external_pitch.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include <unistd.h>

#include "pitch/hump_areas.h"
#include "pitch/working_files.h"

namespace talvox {

namespace {

// The search window stops this many samples short of half a period on
// either side, so it never reaches the neighbouring marks' half-waves.
constexpr int64_t kWindowMargin = 3;
constexpr uint32_t kWavHeaderTail = 36;  // RIFF size = data size + 36
// A following interval more than this many times the preceding one is a gap
// between voiced stretches, not a period.
constexpr int64_t kStretchEndRatio = 2;

void PutU16(unsigned char*& out, uint16_t value) {
  *out++ = static_cast<unsigned char>(value & 0xFF);
  *out++ = static_cast<unsigned char>(value >> 8);
}

void PutU32(unsigned char*& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) *out++ = static_cast<unsigned char>(value >> shift);
}

void PutTag(unsigned char*& out, const char* tag) {
  for (int i = 0; i < 4; ++i) *out++ = static_cast<unsigned char>(tag[i]);
}

// Window [from, to) clipped to the signal.
void ClipWindow(int64_t& from, int64_t& to, int64_t length) {
  from = std::max<int64_t>(from, 0);
  to = std::min<int64_t>(to, length);
}

int32_t SnapOne(const std::vector<int32_t>& positions, std::size_t i,
                const std::vector<int16_t>& areas) {
  const int64_t here = positions[i];
  int64_t period = 0;
  if (i + 1 < positions.size()) {
    period = static_cast<int64_t>(positions[i + 1]) - here;
    // The last time of a voiced stretch: the gap to the next stretch is no
    // period, the preceding interval is (as for the very last time).
    if (i > 0) {
      const int64_t preceding = here - positions[i - 1];
      if (preceding > 0 && period > kStretchEndRatio * preceding) period = preceding;
    }
  } else if (i > 0) {
    period = here - positions[i - 1];
  } else {
    return positions[i];  // a single time: no period to measure
  }
  int64_t from = here - period / 2 + kWindowMargin;
  int64_t to = here + period / 2 - kWindowMargin;
  ClipWindow(from, to, static_cast<int64_t>(areas.size()));
  if (from >= to) return positions[i];
  int64_t best = from;
  int16_t bestArea = std::max<int16_t>(areas[static_cast<std::size_t>(from)], 0);
  for (int64_t p = from + 1; p < to; ++p) {
    if (areas[static_cast<std::size_t>(p)] > bestArea) {
      best = p;
      bestArea = areas[static_cast<std::size_t>(p)];
    }
  }
  return static_cast<int32_t>(best);
}

}  // namespace

std::vector<int16_t> RawHumpAreas(const int16_t* samples, int32_t length) {
  std::vector<int16_t> areas(static_cast<std::size_t>(std::max(length, 0)), 0);
  HumpAreas(samples, length, areas.data());
  return areas;
}

bool WriteTempWav(const char* path, const int16_t* samples, int32_t length, int32_t sampleRate) {
  const uint64_t dataBytes = 2 * static_cast<uint64_t>(std::max(length, 0));
  if (dataBytes + kWavHeaderTail > std::numeric_limits<uint32_t>::max()) return false;
  int fd = OpenWorkingFileForWriting(path);
  if (fd < 0) return false;
  std::FILE* file = ::fdopen(fd, "wb");
  if (file == nullptr) {
    ::close(fd);
    return false;
  }
  unsigned char header[44];
  unsigned char* out = header;
  PutTag(out, "RIFF");
  PutU32(out, static_cast<uint32_t>(dataBytes) + kWavHeaderTail);
  PutTag(out, "WAVE");
  PutTag(out, "fmt ");
  PutU32(out, 16);
  PutU16(out, 1);  // PCM
  PutU16(out, 1);  // mono
  PutU32(out, static_cast<uint32_t>(sampleRate));
  PutU32(out, 2 * static_cast<uint32_t>(sampleRate));
  PutU16(out, 2);
  PutU16(out, 16);
  PutTag(out, "data");
  PutU32(out, static_cast<uint32_t>(dataBytes));
  bool ok = std::fwrite(header, 1, sizeof header, file) == sizeof header;
  // Little-endian whatever the host, in blocks to keep the copy small.
  std::vector<unsigned char> block(2 * 8192);
  for (int32_t start = 0; ok && start < length; start += 8192) {
    int32_t count = std::min(8192, length - start);
    unsigned char* bytes = block.data();
    for (int32_t k = 0; k < count; ++k) PutU16(bytes, static_cast<uint16_t>(samples[start + k]));
    ok = std::fwrite(block.data(), 2, static_cast<std::size_t>(count), file) ==
         static_cast<std::size_t>(count);
  }
  return std::fclose(file) == 0 && ok;
}

std::vector<int32_t> TimesToSamples(const std::vector<float>& times, int32_t sampleRate) {
  std::vector<int32_t> positions;
  positions.reserve(times.size());
  for (float t : times) {
    double exact = static_cast<double>(sampleRate) * static_cast<double>(t);
    double truncated = std::trunc(exact);
    if (!(truncated >= std::numeric_limits<int32_t>::min() &&
          truncated <= std::numeric_limits<int32_t>::max())) {
      continue;  // not a number, or no 32-bit sample position
    }
    positions.push_back(static_cast<int32_t>(truncated));
  }
  return positions;
}

std::vector<int32_t> SnapToHumps(const std::vector<int32_t>& positions,
                                 const std::vector<int16_t>& areas) {
  std::vector<int32_t> marks;
  marks.reserve(positions.size());
  for (std::size_t i = 0; i < positions.size(); ++i) {
    int32_t mark = SnapOne(positions, i, areas);
    if (marks.empty() || marks.back() != mark) marks.push_back(mark);
  }
  return marks;
}

std::vector<int32_t> ExternalPitchMarks(const int16_t* samples, int32_t length,
                                        int32_t sampleRate) {
  if (samples == nullptr || length <= 0 || sampleRate <= 0) return {};
  const std::string script = ScriptPathFor(kTempWavPath);
  const std::string pointProcess = PointProcessPathFor(kTempWavPath);
  WorkingFolderLock lock;
  // Something other than a regular file at a working name belongs to
  // someone else: no marks, and it is left as it is.
  for (const char* name : {kTempWavPath, script.c_str(), pointProcess.c_str()}) {
    if (!IsFreeWorkingName(name)) return {};
  }
  // An answer left by an earlier run must not pass for this one's.
  RemoveWorkingFile(pointProcess.c_str());
  std::vector<int16_t> areas = RawHumpAreas(samples, length);
  std::vector<float> times;
  if (WriteTempWav(kTempWavPath, samples, length, sampleRate)) {
    RunPitchProgram(kTempWavPath, times);
  }
  RemoveWorkingFile(kTempWavPath);
  RemoveWorkingFile(script.c_str());
  RemoveWorkingFile(pointProcess.c_str());
  return SnapToHumps(TimesToSamples(times, sampleRate), areas);
}

int32_t CalculatePeakToArray(const int16_t* samples, int32_t length, int32_t sampleRate,
                             int32_t* peaks) {
  std::vector<int32_t> marks = ExternalPitchMarks(samples, length, sampleRate);
  if (peaks != nullptr && !marks.empty()) {
    std::memcpy(peaks, marks.data(), marks.size() * sizeof(int32_t));
  }
  return static_cast<int32_t>(marks.size());
}

}  // namespace talvox
