/* The public header compiles as plain C99 and its records keep their sizes. */
#include "talvox.h"

#include <stddef.h>

typedef char element_is_112_bytes[sizeof(TvxElement) == 112 ? 1 : -1];
typedef char header_is_44_bytes[sizeof(TvxWaveHeader) == 44 ? 1 : -1];
typedef char data_size_at_40[offsetof(TvxWaveHeader, dataSize) == 40 ? 1 : -1];
typedef char start_at_104[offsetof(TvxElement, start) == 104 ? 1 : -1];

int main(void) {
  InitWaveFileProc();
  InitTalvox();
  int ok = GetElementNum() == 0 && GetWaveLength() == 0 && GetSamplesPerSec() == 16000;
  FreeTalvox();
  FreeWaveFileProc();
  return ok ? 0 : 1;
}
