#include "edit/speech_edit.h"

#include <climits>
#include <cstring>

#include "annotation/element_table.h"
#include "edit/element_splice.h"
#include "edit/peak_splice.h"
#include "edit/position_arithmetic.h"
#include "edit/selection.h"
#include "edit/spectrum_splice.h"
#include "state/memory.h"
#include "wave/wave_edit.h"

namespace talvox {

namespace {
// The longest signal the wave buffer grows to by a paste, samples per
// channel, with the room it keeps behind a paste (see PasteSamples).
constexpr int32_t kLongestPastedSignal = INT32_MAX / 4 - 1000;

void CopyElements(const TvxDocument& doc, SpeechClipboard& clip, const Selection& selection) {
  const int32_t first = FindElement(doc, selection.from);
  const int32_t last = FindElement(doc, selection.to);
  const int32_t count = last - first + 1;
  clip.elements = Reallocate(clip.elements, static_cast<size_t>(count));
  clip.elementCount = count;
  for (int32_t k = 0; k < count; ++k) {
    const TvxElement& source = doc.elements[first + k];
    TvxElement& e = clip.elements[k];
    std::memcpy(e.desc, source.desc, sizeof e.desc);
    e.start = k == 0 ? 0 : Saturated(int64_t{source.start} - selection.from);
    e.end = k == count - 1 ? selection.to - selection.from
                           : Saturated(int64_t{source.end} - selection.from);
  }
}

void CopySamples(const WaveBuffer& wave, SpeechClipboard& clip, const Selection& selection) {
  const int32_t channels = EditChannels(wave);
  for (int32_t c = 0; c < channels; ++c) {
    clip.channel[c] = Reallocate(clip.channel[c], static_cast<size_t>(selection.length));
    std::memcpy(clip.channel[c], wave.channel[c] + selection.from,
                static_cast<size_t>(selection.length) * sizeof(int16_t));
  }
  if (channels == 1) Release(clip.channel[1]);
  clip.sampleCount = selection.length;
}

int32_t ClipChannels(const SpeechClipboard& clip) {
  if (clip.channel[0] == nullptr) return 0;
  return clip.channel[1] ? 2 : 1;
}
}  // namespace

int32_t CopySpeechRange(const DocumentState& doc, const WaveBuffer& wave, SpeechClipboard& clip,
                        int32_t a, int32_t b) {
  Selection selection;
  if (!SelectRange(doc.record, wave, a, b, selection)) return 0;
  CopyElements(doc.record, clip, selection);
  CopyPeaks(doc, clip, selection.from, selection.to);
  CopySamples(wave, clip, selection);
  CopyFrames(doc, clip, selection);
  return 1;
}

int32_t DeleteSpeechRange(DocumentState& doc, WaveBuffer& wave, int32_t a, int32_t b) {
  Selection selection;
  if (!SelectRange(doc.record, wave, a, b, selection)) return 0;
  ElementList elements = ElementsOf(doc.record);
  RemoveElements(elements, selection.from, selection.to, wave.SafeLength());
  StoreElements(doc.record, elements);
  RemovePeaks(doc, selection.from, selection.to);
  CutSamples(wave, selection.from, selection.to);
  RemoveFrames(doc, selection);
  return 1;
}

int32_t CutSpeechRange(DocumentState& doc, WaveBuffer& wave, SpeechClipboard& clip, int32_t a,
                       int32_t b) {
  if (!CopySpeechRange(doc, wave, clip, a, b)) return 0;
  return DeleteSpeechRange(doc, wave, a, b);
}

int32_t PasteSpeechRange(DocumentState& doc, WaveBuffer& wave, const SpeechClipboard& clip,
                         int32_t a, int32_t b) {
  if (clip.sampleCount <= 0 || clip.elementCount <= 0 || clip.elements == nullptr) return 0;
  if (EditChannels(wave) == 0 || ClipChannels(clip) != EditChannels(wave)) return 0;

  // The whole element edit is worked out first: it decides whether the
  // paste can be made at all.
  const bool replacing = a != b;
  Selection selection;
  int32_t length = wave.SafeLength();
  int32_t from = a;
  ElementList elements = ElementsOf(doc.record);
  if (replacing) {
    if (!SelectRange(doc.record, wave, a, b, selection)) return 0;
    from = selection.from;
    RemoveElements(elements, selection.from, selection.to, length);
    length -= selection.length;
  } else if (from < 0 || from > length) {
    return 0;
  }
  if (clip.sampleCount > kLongestPastedSignal - length) return 0;
  if (!InsertElements(elements, clip.elements, clip.elementCount, from, clip.sampleCount, length)) {
    return 0;
  }
  if (static_cast<int64_t>(elements.size()) > doc.record.elementCapacity) return 0;

  StoreElements(doc.record, elements);
  if (replacing) {
    RemovePeaks(doc, selection.from, selection.to);
    CutSamples(wave, selection.from, selection.to);
    RemoveFrames(doc, selection);
  }
  InsertPeaks(doc, clip, from);
  PasteSamples(wave, from, clip.channel, clip.sampleCount);
  InsertFrames(doc, clip, from);
  return 1;
}

}  // namespace talvox
