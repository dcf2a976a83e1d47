// Files of the generated speech: a mono 16-bit WAV file and a text file of
// closure instants, one "seconds run" pair per line.
#pragma once

#include <string>
#include <vector>

#include "speech_generator.h"

namespace speechgen {

bool WriteWav(const std::string& path, const std::vector<int16_t>& samples, int sampleRate);
bool WriteClosures(const std::string& path, const std::vector<Closure>& closures, int sampleRate);
bool ReadClosures(const std::string& path, int sampleRate, std::vector<Closure>& closures);

// Marks in samples from a file of lines that are either a sample position or
// a point-process line "t [i] = seconds".
bool ReadMarks(const std::string& path, int sampleRate, std::vector<double>& marks);

}  // namespace speechgen
