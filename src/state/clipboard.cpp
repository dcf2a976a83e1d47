#include "state/clipboard.h"

#include "state/memory.h"

namespace talvox {

SpeechClipboard& TheClipboard() {
  static SpeechClipboard clip;
  return clip;
}

void ClearClipboard(SpeechClipboard& clip) { clip = SpeechClipboard{}; }

void FreeClipboard(SpeechClipboard& clip) {
  Release(clip.elements);
  Release(clip.peaks);
  Release(clip.modifiedPitch);
  Release(clip.channel[0]);
  Release(clip.channel[1]);
  Release(clip.spectrum);
  ClearClipboard(clip);
}

}  // namespace talvox
