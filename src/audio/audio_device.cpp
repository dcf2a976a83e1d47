#include "audio/audio_device.h"

#include "platform/message_box.h"

namespace talvox {

AudioDevice& TheAudioDevice() {
  static AudioDevice audio;
  return audio;
}

void StoreFormat(AudioDevice& audio, int32_t rate, int32_t channels, int32_t bits) {
  audio.channels = static_cast<uint16_t>(channels);
  audio.bitsPerSample = static_cast<uint16_t>(bits);
  audio.samplesPerSec = rate;
  const uint32_t bytesPerSample = audio.bitsPerSample / 8u;
  platform::WAVEFORMATEX& format = audio.format;
  format.wFormatTag = platform::WAVE_FORMAT_PCM;
  format.nChannels = audio.channels;
  format.nSamplesPerSec = static_cast<uint32_t>(rate);
  format.nAvgBytesPerSec = bytesPerSample * static_cast<uint32_t>(rate) * audio.channels;
  format.nBlockAlign = static_cast<uint16_t>(bytesPerSample * audio.channels);
  format.wBitsPerSample = audio.bitsPerSample;
}

void FillHeader(AudioDevice& audio, void* buffer, int32_t length) {
  audio.header.lpData = static_cast<char*>(buffer);
  audio.header.dwBufferLength = static_cast<uint32_t>(length);
  audio.header.dwFlags = 0;
  audio.header.dwLoops = 0;
}

int32_t SamplesOf(const platform::MMTIME& time) {
  return time.wType == platform::TIME_SAMPLES ? static_cast<int32_t>(time.u.sample) : 0;
}

void ShowError(const char* text) {
  platform::MessageBoxA(nullptr, text, kErrorCaption, platform::MB_OK);
}

}  // namespace talvox
