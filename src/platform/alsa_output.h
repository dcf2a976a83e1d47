// An output device of the ALSA wave-audio service: plays the host's queued
// buffers in place, in order, and returns each one (done flag, "done"
// message) once its last frame has been played.
#pragma once

#include <deque>

#include "platform/alsa_device.h"

namespace talvox::platform {

class AlsaOutput : public AlsaDevice {
 public:
  AlsaOutput(snd_pcm_t* pcm, const WAVEFORMATEX& format, int64_t periodFrames, int window);

  // Starts the worker (posts "open").
  void Open();
  // Returns the queued buffers, stops the worker and closes the PCM (posts
  // "close"). Called before the device is destroyed.
  void Close();

  void Write(WAVEHDR* header);
  // Pause takes back what ALSA holds but has not played yet, so playback
  // stops at once and resumes at the first frame not heard.
  void Pause();
  void Restart();
  // Stops at once, returns every queued buffer and sets the position to 0.
  void Reset();
  // Frames played since open or the last reset.
  uint32_t Position();

 private:
  struct Entry {
    WAVEHDR* header;
    const char* data;
    int64_t frames;
    int64_t cursor;  // frames handed to ALSA (after a pause: frames played)
    int64_t start;   // stream frame of the entry's frame 0, once handed over
    bool started;
  };

  bool Pump() override;
  void UpdatePlayed();
  int64_t PlayedOf(const Entry& entry) const;
  bool WriteNext();
  bool PadToPeriod();
  void ReturnFront();
  void ReturnAll();

  std::deque<Entry> queue_;
  int64_t written_ = 0;   // frames handed to ALSA since the stream was prepared
  int64_t played_ = 0;    // of those, frames played
  int64_t finished_ = 0;  // frames of buffers returned since the last reset
  bool paused_ = false;
  std::vector<char> silence_;
};

}  // namespace talvox::platform
