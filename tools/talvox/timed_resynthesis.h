// Resynthesis that keeps the timing, or scales it: every pitch period of the
// range, whatever its element is called, gets the pitch asked for, and the
// range lasts its old length times the duration scale. Also the annotation
// of the result, mapped to its time, for analysing or editing it again.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis.h"
#include "args.h"
#include "pitch_request.h"
#include "resynthesis.h"
#include "session.h"

namespace tvx {

class ProgressBar;

struct TimingRequest {
  bool free = false;          // the overlap-add's own timing (grains placed once)
  double durationScale = 1.0;
  // For a change, the runs of marks are continued over the cycles at their
  // edges that the mark route left out (--marks-as-given: not).
  bool continueRuns = true;
  // A signal that the wave buffer holds is replaced there by the output,
  // which saves a copy of a channel (an hour at 16 kHz: 115 MB); the input
  // is gone afterwards, so only a caller that writes the output and ends
  // asks.
  bool replaceInput = false;
};

// --duration-scale X (0.125 to 8) and --free-duration, which exclude each other.
TimingRequest ParseTimingRequest(const Args& args);

// The annotation of a resynthesised signal, in its own time.
struct OutputAnnotation {
  std::vector<ElementRecord> elements;
  std::vector<int32_t> marks;
};

struct TimedResult {
  ResynthesisResult synthesis;
  OutputAnnotation annotation;
};

// The range is span (end clipped to the last sample, which is copied as it
// is); the signal outside it is kept. A pitch scale or rule starts from the
// F0 of the voice tracker (in range) on the channel analysed.
TimedResult ResynthesizeTimed(const LoadedWave& wave, const PitchRequest& request, Span span,
                              const TimingRequest& timing, VoiceRange range = {},
                              ProgressBar* progress = nullptr);

// The annotation of what Resynthesize made of span, read from the document's
// marks and the periods it set: every new period moves the marks after it.
OutputAnnotation AnnotationOfFreeTiming(const LoadedWave& wave, Span span);

// Writes the annotation as a peak file (periods: the marks' own distances).
void SaveOutputAnnotation(const std::string& path, const OutputAnnotation& annotation, int rate);

}  // namespace tvx
