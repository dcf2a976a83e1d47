#include "platform/alsa_wave_service.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/alsa_input.h"
#include "platform/alsa_output.h"
#include "platform/alsa_pcm.h"

namespace talvox::platform {

struct WaveOutDevice : AlsaOutput {
  using AlsaOutput::AlsaOutput;
};
struct WaveInDevice : AlsaInput {
  using AlsaInput::AlsaInput;
};

namespace {

// The devices that are open. Calls on any other handle (never opened, or
// closed already) fail with MMSYSERR_INVALHANDLE instead of touching freed
// memory.
template <typename Device>
class Registry {
 public:
  MMRESULT Add(std::unique_ptr<Device> device, Device** handle) {
    device->Open();
    std::lock_guard<std::mutex> lock(mutex_);
    *handle = device.get();
    devices_.push_back(std::move(device));
    return MMSYSERR_NOERROR;
  }
  Device* Find(const Device* handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& device : devices_)
      if (device.get() == handle) return device.get();
    return nullptr;
  }
  // Closes and destroys the device; false for an unknown handle.
  bool Close(const Device* handle) {
    std::unique_ptr<Device> device;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto found = std::find_if(devices_.begin(), devices_.end(),
                                [handle](const auto& open) { return open.get() == handle; });
      if (found == devices_.end()) return false;
      device = std::move(*found);
      devices_.erase(found);
    }
    device->Close();
    return true;
  }

 private:
  std::mutex mutex_;
  std::vector<std::unique_ptr<Device>> devices_;
};

MMRESULT CheckOpen(const void* handle, uint32_t deviceId, const WAVEFORMATEX* format,
                   uintptr_t callback, uint32_t flags) {
  if (handle == nullptr || format == nullptr) return MMSYSERR_INVALPARAM;
  if (deviceId != WAVE_MAPPER && deviceId != 0) return MMSYSERR_BADDEVICEID;
  if (flags != CALLBACK_NULL && flags != CALLBACK_WINDOW) return MMSYSERR_INVALFLAG;
  if (callback > UINT32_MAX) return MMSYSERR_INVALPARAM;
  return MMSYSERR_NOERROR;
}

int WindowOf(uintptr_t callback, uint32_t flags) {
  return flags == CALLBACK_WINDOW ? static_cast<int>(static_cast<uint32_t>(callback)) : 0;
}

MMRESULT CheckHeader(AlsaDevice& device, WAVEHDR* header, uint32_t size) {
  if (header == nullptr || size < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
  if (device.Holds(header)) return WAVERR_STILLPLAYING;
  return MMSYSERR_NOERROR;
}

MMRESULT Prepare(AlsaDevice* device, WAVEHDR* header, uint32_t size) {
  if (device == nullptr) return MMSYSERR_INVALHANDLE;
  MMRESULT result = CheckHeader(*device, header, size);
  if (result != MMSYSERR_NOERROR) return result;
  header->dwFlags |= WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT CheckQueue(AlsaDevice* device, WAVEHDR* header, uint32_t size) {
  if (device == nullptr) return MMSYSERR_INVALHANDLE;
  MMRESULT result = CheckHeader(*device, header, size);
  if (result != MMSYSERR_NOERROR) return result;
  if ((header->dwFlags & WHDR_PREPARED) == 0) return WAVERR_UNPREPARED;
  if (header->lpData == nullptr && header->dwBufferLength > 0) return MMSYSERR_INVALPARAM;
  return MMSYSERR_NOERROR;
}

MMRESULT AnswerPosition(AlsaDevice* device, uint32_t frames, MMTIME* time, uint32_t size) {
  if (device == nullptr) return MMSYSERR_INVALHANDLE;
  if (time == nullptr || size < sizeof(MMTIME)) return MMSYSERR_INVALPARAM;
  if (time->wType == TIME_BYTES) {
    time->u.cb = frames * device->FrameBytes();
  } else {
    time->wType = TIME_SAMPLES;
    time->u.sample = frames;
  }
  return MMSYSERR_NOERROR;
}

class AlsaWaveService : public WaveService {
 public:
  MMRESULT OutOpen(HWAVEOUT* device, uint32_t deviceId, const WAVEFORMATEX* format,
                   uintptr_t callback, uintptr_t, uint32_t flags) override {
    MMRESULT result = CheckOpen(device, deviceId, format, callback, flags);
    if (result != MMSYSERR_NOERROR) return result;
    snd_pcm_t* pcm = nullptr;
    int64_t period = 0;
    result = OpenAlsaPcm(SND_PCM_STREAM_PLAYBACK, *format, &pcm, &period);
    if (result != MMSYSERR_NOERROR) return result;
    return outputs_.Add(
        std::make_unique<WaveOutDevice>(pcm, *format, period, WindowOf(callback, flags)), device);
  }
  MMRESULT OutPrepareHeader(HWAVEOUT device, WAVEHDR* header, uint32_t size) override {
    return Prepare(outputs_.Find(device), header, size);
  }
  MMRESULT OutWrite(HWAVEOUT device, WAVEHDR* header, uint32_t size) override {
    WaveOutDevice* output = outputs_.Find(device);
    MMRESULT result = CheckQueue(output, header, size);
    if (result == MMSYSERR_NOERROR) output->Write(header);
    return result;
  }
  MMRESULT OutPause(HWAVEOUT device) override {
    return Act(outputs_.Find(device), &AlsaOutput::Pause);
  }
  MMRESULT OutRestart(HWAVEOUT device) override {
    return Act(outputs_.Find(device), &AlsaOutput::Restart);
  }
  MMRESULT OutReset(HWAVEOUT device) override {
    return Act(outputs_.Find(device), &AlsaOutput::Reset);
  }
  MMRESULT OutClose(HWAVEOUT device) override {
    // Buffers still queued are returned first: a close must never leave the
    // worker reading memory the host is about to free.
    return outputs_.Close(device) ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
  }
  MMRESULT OutGetPosition(HWAVEOUT device, MMTIME* time, uint32_t size) override {
    WaveOutDevice* output = outputs_.Find(device);
    return AnswerPosition(output, output != nullptr ? output->Position() : 0, time, size);
  }

  MMRESULT InOpen(HWAVEIN* device, uint32_t deviceId, const WAVEFORMATEX* format,
                  uintptr_t callback, uintptr_t, uint32_t flags) override {
    MMRESULT result = CheckOpen(device, deviceId, format, callback, flags);
    if (result != MMSYSERR_NOERROR) return result;
    snd_pcm_t* pcm = nullptr;
    int64_t period = 0;
    result = OpenAlsaPcm(SND_PCM_STREAM_CAPTURE, *format, &pcm, &period);
    if (result != MMSYSERR_NOERROR) return result;
    return inputs_.Add(
        std::make_unique<WaveInDevice>(pcm, *format, period, WindowOf(callback, flags)), device);
  }
  MMRESULT InPrepareHeader(HWAVEIN device, WAVEHDR* header, uint32_t size) override {
    return Prepare(inputs_.Find(device), header, size);
  }
  MMRESULT InAddBuffer(HWAVEIN device, WAVEHDR* header, uint32_t size) override {
    WaveInDevice* input = inputs_.Find(device);
    MMRESULT result = CheckQueue(input, header, size);
    if (result == MMSYSERR_NOERROR) input->AddBuffer(header);
    return result;
  }
  MMRESULT InStart(HWAVEIN device) override { return Act(inputs_.Find(device), &AlsaInput::Start); }
  MMRESULT InStop(HWAVEIN device) override { return Act(inputs_.Find(device), &AlsaInput::Stop); }
  MMRESULT InReset(HWAVEIN device) override { return Act(inputs_.Find(device), &AlsaInput::Reset); }
  MMRESULT InClose(HWAVEIN device) override {
    return inputs_.Close(device) ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
  }
  MMRESULT InGetPosition(HWAVEIN device, MMTIME* time, uint32_t size) override {
    WaveInDevice* input = inputs_.Find(device);
    return AnswerPosition(input, input != nullptr ? input->Position() : 0, time, size);
  }

 private:
  template <typename Device, typename Base>
  static MMRESULT Act(Device* device, void (Base::*action)()) {
    if (device == nullptr) return MMSYSERR_INVALHANDLE;
    (device->*action)();
    return MMSYSERR_NOERROR;
  }

  Registry<WaveOutDevice> outputs_;
  Registry<WaveInDevice> inputs_;
};

}  // namespace

WaveService& TheAlsaWaveService() {
  // Never destroyed: a host that exits with a device open must not have its
  // worker joined from a static destructor.
  static AlsaWaveService* service = new AlsaWaveService();
  return *service;
}

}  // namespace talvox::platform
