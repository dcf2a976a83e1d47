// Tone contours for teaching tone languages: each voiced element gets the
// contour of a tone number (Chao's five levels, 1 low to 5 high, spanning
// the speaker's own F0 range), either from a list or from the tone digit at
// the end of each element's description.
#pragma once

#include <string>
#include <vector>

#include "args.h"
#include "pitch_request.h"
#include "session.h"

namespace tvx {

struct ToneOptions {
  bool given = false;
  std::vector<std::string> contours;  // --tones, one per voiced element
  std::string language;               // --tones-from-labels: mandarin or cantonese
};

// --tones 55,35,214,51 or --tones-from-labels mandarin|cantonese, checked
// for their digits; neither may come with another pitch option.
ToneOptions ParseToneOptions(const Args& args);

// An element with voice: not "SIL", holding a few pitch periods.
struct VoicedElement {
  int index = 0;  // in the element table
  std::string desc;
  double begin = 0, end = 0;  // seconds: first and last mark of its periods
};
std::vector<VoicedElement> FindVoicedElements(const LoadedWave& wave);

// The contour for each voiced element ("" keeps that element's pitch).
// Fails with one line when the counts differ or a label's digit is no tone.
std::vector<std::string> ContoursFor(const ToneOptions& options, const std::vector<VoicedElement>& voiced,
                                     const LoadedWave& wave);

// The pitch rule: the contours over the elements' voiced spans (through the
// digits evenly, with smooth turns), linear joins in semitones across the
// gaps between toned elements, the old pitch elsewhere.
PitchRequest ToneRequest(const LoadedWave& wave, const std::vector<VoicedElement>& voiced,
                         const std::vector<std::string>& contours);

}  // namespace tvx
