#include "point_process_output.h"

#include <unistd.h>

#include <cstdio>

namespace pap {

bool WritePointProcess(const std::string& path, const std::vector<int32_t>& pulses,
                       int sampleRate, double duration, std::string& error) {
  const std::string temporary = path + ".part" + std::to_string(getpid());
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) {
    error = "cannot write " + path;
    return false;
  }
  std::fprintf(file, "pulses of %s\nxmin = 0\nxmax = %.9g\nnt = %zu\n", path.c_str(), duration,
               pulses.size());
  // The middle of the pulse's sample, so that truncating time * rate gives
  // the sample back.
  for (std::size_t i = 0; i < pulses.size(); ++i) {
    std::fprintf(file, "t [%zu] = %.9f\n", i + 1, (pulses[i] + 0.5) / sampleRate);
  }
  bool ok = std::ferror(file) == 0;
  ok = std::fclose(file) == 0 && ok;
  if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace pap
