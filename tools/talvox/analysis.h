// Segmentation and pitch marks of the loaded signal, the peak file, and the
// per-element summary that analyze prints.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "args.h"
#include "session.h"

namespace tvx {

enum class MarkSource { kInternal, kExternal };

// --marks internal|external (default internal).
MarkSource ParseMarkSource(const Args& args);

// Segments the chosen channel and places its pitch marks (the internal
// algorithm, or the external pitch program found beside this executable or
// on PATH). Returns the mark count.
int32_t AnalyzeChannel(const LoadedWave& wave, int channel, MarkSource source);

// Loads a peak file as the document's annotation; fails when it does not
// belong to the signal.
void LoadPeakFile(const std::string& path, const LoadedWave& wave);

// Saves the annotation through a temporary name.
void SavePeakFile(const std::string& path);

// Segments and marks, or loads the given peak file instead. A segmentation
// that fills the element table is redone in pieces (pieces.h).
void Annotate(const LoadedWave& wave, int channel, MarkSource source, const std::string& peakFile);

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

std::vector<ElementSummary> SummarizeElements(int rate);

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
