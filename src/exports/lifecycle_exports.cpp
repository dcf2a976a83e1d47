#include <cstdlib>

#include "state/clipboard.h"
#include "state/document.h"
#include "talvox.h"

using namespace talvox;

extern "C" {

void InitTalvox(void) { InitDocument(TheDocument()); }

void FreeTalvox(void) { FreeDocument(TheDocument()); }

void FreeMem(void* block) { std::free(block); }

// Releases rather than forgets an earlier copy, so a second call leaks nothing.
void InitSpeechBackup(void) { FreeClipboard(TheClipboard()); }

void FreeSpeechBackup(void) { FreeClipboard(TheClipboard()); }

}  // extern "C"
