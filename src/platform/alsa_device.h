// What the ALSA output and input devices share: the PCM, the worker thread
// that moves the samples, and the notifications waiting to be posted.
//
// Every touch of a host buffer and of a queued buffer header happens with
// the device's mutex held, so a control call (reset, stop, close) that has
// taken the mutex and emptied the queue knows the worker is done with the
// host's memory.
#pragma once

#include <alsa/asoundlib.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "platform/wave_audio.h"

namespace talvox::platform {

class AlsaDevice {
 public:
  AlsaDevice(snd_pcm_t* pcm, const WAVEFORMATEX& format, int64_t periodFrames, int window);
  virtual ~AlsaDevice();
  AlsaDevice(const AlsaDevice&) = delete;
  AlsaDevice& operator=(const AlsaDevice&) = delete;

  // True while the device holds the header in its queue.
  bool Holds(const WAVEHDR* header);
  uint32_t FrameBytes() const { return frameBytes_; }

 protected:
  // Starts the worker and posts the open message. Called on a completely
  // constructed device (the worker calls Pump), never from a constructor.
  void LaunchWorker(uint32_t openMessage);
  // Posts the close message, stops the worker and closes the PCM; before
  // destruction begins, for the same reason.
  void StopWorker(uint32_t closeMessage);

  // One step of moving samples, with the mutex held; true when something
  // happened and the worker should look again at once.
  virtual bool Pump() = 0;

  void Post(uint32_t message, uint32_t parameter) { outbox_.emplace_back(message, parameter); }
  // Marks the header returned to the host (done, out of the queue).
  static void ReturnHeader(WAVEHDR* header);

  snd_pcm_t* pcm_;
  const uint32_t frameBytes_;
  const int64_t periodFrames_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<WAVEHDR*> held_;

 private:
  void Run();
  void Flush(std::unique_lock<std::mutex>& lock);

  const int window_;
  std::vector<std::pair<uint32_t, uint32_t>> outbox_;
  bool quit_ = false;
  bool shut_ = false;
  std::thread worker_;
};

}  // namespace talvox::platform
