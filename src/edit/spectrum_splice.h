// The spectrum side of the speech edits: frames of 16 samples removed and
// inserted with the samples they describe. Only frames the buffer really
// holds are ever moved.
#pragma once

#include <cstdint>

#include "edit/selection.h"
#include "state/clipboard.h"
#include "state/document.h"

namespace talvox {

// Spectrum frames held beyond a paste, so small pastes need no new block.
constexpr int32_t kSpectrumPasteSlack = 50;

// Frames the spectrum buffer really holds: the frame count clipped to its
// room, 0 without a spectrum.
int32_t SpectrumFramesOf(const DocumentState& doc);

void CopyFrames(const DocumentState& doc, SpeechClipboard& clip, const Selection& selection);
void RemoveFrames(DocumentState& doc, const Selection& selection);
void InsertFrames(DocumentState& doc, const SpeechClipboard& clip, int32_t from);

}  // namespace talvox
