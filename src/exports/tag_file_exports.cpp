#include "annotation/tag_file.h"
#include "talvox.h"

using namespace talvox;

extern "C" {

int32_t LoadTag(const char* path, int32_t* peaks, int32_t* peakCount, TvxElement* elements,
                int32_t* elementCount) {
  return LoadTagFile(path, peaks, peakCount, elements, elementCount);
}

}  // extern "C"
