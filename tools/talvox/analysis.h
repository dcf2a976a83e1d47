// Segmentation and pitch marks of the loaded signal, the peak file, and the
// per-element summary that analyze prints.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "args.h"
#include "session.h"

namespace tvx {

enum class MarkSource { kVoice, kInternal, kExternal };

// --marks voice|internal|external (default voice).
MarkSource ParseMarkSource(const Args& args);

// The F0 range searched by the voice tracker; 0 and 0 choose it from the
// signal.
struct VoiceRange {
  float floor = 0;
  float ceiling = 0;
};

// --floor HZ / --ceiling HZ; a floor alone searches up to the tracker's
// wide ceiling.
VoiceRange ParseVoiceRange(const Args& args);

// Segments the chosen channel and places its pitch marks (the voice
// tracker, the internal algorithm, or the external pitch program found
// beside this executable or on PATH). Returns the mark count.
int32_t AnalyzeChannel(const LoadedWave& wave, int channel, MarkSource source, VoiceRange range = {});

// Loads a peak file as the document's annotation; fails when it does not
// belong to the signal.
void LoadPeakFile(const std::string& path, const LoadedWave& wave);

// Saves the annotation through a temporary name.
void SavePeakFile(const std::string& path);
// Writes the document's annotation as a peak file at path, its element
// bounds clipped to the signal; false when it cannot be written.
bool SaveAnnotation(const std::string& path);

// Segments and marks, or loads the given peak file instead. A segmentation
// that fills the element table is redone in pieces (pieces.h).
void Annotate(const LoadedWave& wave, int channel, MarkSource source, const std::string& peakFile,
              VoiceRange range = {});

struct ElementRecord {
  std::string desc;
  int32_t start = 0;
  int32_t end = 0;
  bool IsSilence() const { return desc == "SIL"; }
};

// The element table, in signal order (the joined pieces' when there are).
std::vector<ElementRecord> CurrentElements();

struct ElementSummary {
  int index = 0;
  std::string desc;
  int32_t start = 0;
  int32_t end = 0;
  int32_t marks = 0;
  double medianF0 = 0.0;  // 0 when the element has fewer than two marks
};

// With a track, each voiced element's F0 is the median of the track's
// voiced frames inside it; without one, of its mark intervals.
struct F0Track;
std::vector<ElementSummary> SummarizeElements(int rate, const F0Track* track = nullptr);

// The peak table as a vector (empty when there are no peaks); the joined
// pieces' marks when there are.
std::vector<int32_t> CurrentPeaks();

// F0 of each mark interval inside a voiced element, or 0 for intervals that
// cross an element boundary or are longer than any voice's period.
std::vector<double> IntervalF0(const std::vector<int32_t>& peaks, int rate);

// The longest pitch period taken as voiced (a 40 Hz voice).
int32_t LongestPeriod(int rate);

double Median(std::vector<double> values);

}  // namespace tvx
