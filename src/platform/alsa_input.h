// An input device of the ALSA wave-audio service: once started, fills the
// host's queued buffers in place, in order, and returns each one (bytes
// recorded, done flag, "data" message) when it is full.
#pragma once

#include <deque>

#include "platform/alsa_device.h"

namespace talvox::platform {

class AlsaInput : public AlsaDevice {
 public:
  AlsaInput(snd_pcm_t* pcm, const WAVEFORMATEX& format, int64_t periodFrames, int window);

  // Starts the worker (posts "open").
  void Open();
  // Returns the queued buffers, stops the worker and closes the PCM (posts
  // "close"). Called before the device is destroyed.
  void Close();

  void AddBuffer(WAVEHDR* header);
  void Start();
  // Stops recording; a partly filled buffer is returned with what it holds,
  // empty ones stay queued for the next start.
  void Stop();
  // Stops recording, returns every queued buffer and sets the position to 0.
  void Reset();
  // Frames recorded since open or the last reset.
  uint32_t Position();

 private:
  struct Entry {
    WAVEHDR* header;
    char* data;
    uint32_t length;
    uint32_t filled;
  };

  bool Pump() override;
  void Halt();
  void ReturnFront();

  std::deque<Entry> queue_;
  bool started_ = false;
  int64_t recorded_ = 0;
};

}  // namespace talvox::platform
