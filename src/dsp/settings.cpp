#include "dsp/settings.h"

namespace talvox {

DspSettings& TheDspSettings() {
  static DspSettings settings;
  return settings;
}

}  // namespace talvox
