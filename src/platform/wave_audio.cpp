#include "platform/wave_audio.h"

#include "platform/alsa_wave_service.h"

namespace talvox::platform {

namespace {
WaveService* installed = nullptr;
}

WaveService& TheWaveService() {
  if (installed != nullptr) return *installed;
  return TheAlsaWaveService();
}

WaveService* InstallWaveService(WaveService* service) {
  WaveService* previous = installed;
  installed = service;
  return previous;
}

MMRESULT waveOutOpen(HWAVEOUT* device, uint32_t deviceId, const WAVEFORMATEX* format,
                     uintptr_t callback, uintptr_t instance, uint32_t flags) {
  return TheWaveService().OutOpen(device, deviceId, format, callback, instance, flags);
}
MMRESULT waveOutPrepareHeader(HWAVEOUT device, WAVEHDR* header, uint32_t size) {
  return TheWaveService().OutPrepareHeader(device, header, size);
}
MMRESULT waveOutWrite(HWAVEOUT device, WAVEHDR* header, uint32_t size) {
  return TheWaveService().OutWrite(device, header, size);
}
MMRESULT waveOutPause(HWAVEOUT device) { return TheWaveService().OutPause(device); }
MMRESULT waveOutRestart(HWAVEOUT device) { return TheWaveService().OutRestart(device); }
MMRESULT waveOutReset(HWAVEOUT device) { return TheWaveService().OutReset(device); }
MMRESULT waveOutClose(HWAVEOUT device) { return TheWaveService().OutClose(device); }
MMRESULT waveOutGetPosition(HWAVEOUT device, MMTIME* time, uint32_t size) {
  return TheWaveService().OutGetPosition(device, time, size);
}

MMRESULT waveInOpen(HWAVEIN* device, uint32_t deviceId, const WAVEFORMATEX* format,
                    uintptr_t callback, uintptr_t instance, uint32_t flags) {
  return TheWaveService().InOpen(device, deviceId, format, callback, instance, flags);
}
MMRESULT waveInPrepareHeader(HWAVEIN device, WAVEHDR* header, uint32_t size) {
  return TheWaveService().InPrepareHeader(device, header, size);
}
MMRESULT waveInAddBuffer(HWAVEIN device, WAVEHDR* header, uint32_t size) {
  return TheWaveService().InAddBuffer(device, header, size);
}
MMRESULT waveInStart(HWAVEIN device) { return TheWaveService().InStart(device); }
MMRESULT waveInStop(HWAVEIN device) { return TheWaveService().InStop(device); }
MMRESULT waveInReset(HWAVEIN device) { return TheWaveService().InReset(device); }
MMRESULT waveInClose(HWAVEIN device) { return TheWaveService().InClose(device); }
MMRESULT waveInGetPosition(HWAVEIN device, MMTIME* time, uint32_t size) {
  return TheWaveService().InGetPosition(device, time, size);
}

}  // namespace talvox::platform
