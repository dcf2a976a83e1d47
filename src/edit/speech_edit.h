// Copy, delete, cut and paste of speech: the samples of every channel with
// their elements, peaks, modified pitch and spectrum frames kept in step.
// Each edit is checked whole before anything changes: a refused edit (0)
// leaves the document, the signal and the clipboard exactly as they were.
#pragma once

#include <cstdint>

#include "state/clipboard.h"
#include "state/document.h"
#include "wave/wave_buffer.h"

namespace talvox {

// Samples a..b (either order, both included) into the clipboard. 0 when
// a = b, a position lies outside the signal or the segmentation, or the
// signal has neither 1 nor 2 channels.
int32_t CopySpeechRange(const DocumentState& doc, const WaveBuffer& wave, SpeechClipboard& clip,
                        int32_t a, int32_t b);

// Removes samples a..b with their annotation; refuses as CopySpeechRange.
int32_t DeleteSpeechRange(DocumentState& doc, WaveBuffer& wave, int32_t a, int32_t b);

// CopySpeechRange, then DeleteSpeechRange when the copy was made.
int32_t CutSpeechRange(DocumentState& doc, WaveBuffer& wave, SpeechClipboard& clip, int32_t a,
                       int32_t b);

// Inserts the clipboard at a (a = b), or in place of samples a..b. 0 for an
// empty clipboard, one copied from a signal with another channel count, a
// selection refused as above, an insertion point outside 0..length or
// outside the segmentation, a result of more elements than the table holds,
// or a signal that would grow past what the wave buffer takes.
int32_t PasteSpeechRange(DocumentState& doc, WaveBuffer& wave, const SpeechClipboard& clip,
                         int32_t a, int32_t b);

}  // namespace talvox
