#include "platform/alsa_input.h"

#include <algorithm>

namespace talvox::platform {

AlsaInput::AlsaInput(snd_pcm_t* pcm, const WAVEFORMATEX& format, int64_t periodFrames, int window)
    : AlsaDevice(pcm, format, periodFrames, window) {}

void AlsaInput::Open() { LaunchWorker(MM_WIM_OPEN); }

void AlsaInput::Close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Halt();
    while (!queue_.empty()) ReturnFront();
  }
  StopWorker(MM_WIM_CLOSE);
}

void AlsaInput::AddBuffer(WAVEHDR* header) {
  std::lock_guard<std::mutex> lock(mutex_);
  header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
  header->dwBytesRecorded = 0;
  queue_.push_back({header, header->lpData, header->dwBufferLength, 0});
  held_.push_back(header);
  wake_.notify_all();
}

void AlsaInput::Start() {
  std::lock_guard<std::mutex> lock(mutex_);
  started_ = true;
  wake_.notify_all();
}

void AlsaInput::Stop() {
  std::lock_guard<std::mutex> lock(mutex_);
  Halt();
  if (!queue_.empty() && queue_.front().filled > 0) ReturnFront();
  wake_.notify_all();
}

void AlsaInput::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  Halt();
  while (!queue_.empty()) ReturnFront();
  recorded_ = 0;
  wake_.notify_all();
}

uint32_t AlsaInput::Position() {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<uint32_t>(recorded_);
}

void AlsaInput::Halt() {
  started_ = false;
  snd_pcm_drop(pcm_);
  snd_pcm_prepare(pcm_);
}

bool AlsaInput::Pump() {
  if (!started_ || queue_.empty()) return false;
  Entry& front = queue_.front();
  const int64_t room = (front.length - front.filled) / frameBytes_;
  if (room == 0) {
    ReturnFront();
    return true;
  }
  snd_pcm_state_t state = snd_pcm_state(pcm_);
  if (state == SND_PCM_STATE_XRUN) snd_pcm_prepare(pcm_);
  if (state == SND_PCM_STATE_XRUN || state == SND_PCM_STATE_PREPARED) snd_pcm_start(pcm_);
  // A period at a time: some plugins (the file plugin's input file among
  // them) refuse reads longer than their own buffer.
  snd_pcm_sframes_t n =
      snd_pcm_readi(pcm_, front.data + front.filled,
                    static_cast<snd_pcm_uframes_t>(std::min(room, periodFrames_)));
  if (n == -EAGAIN || n == 0) return false;
  if (n < 0 && snd_pcm_recover(pcm_, static_cast<int>(n), 1) == 0) return true;
  if (n < 0) {
    // The device is gone: hand back what was recorded rather than wait for ever.
    while (!queue_.empty()) ReturnFront();
    started_ = false;
    return true;
  }
  front.filled += static_cast<uint32_t>(n) * frameBytes_;
  recorded_ += n;
  return true;
}

void AlsaInput::ReturnFront() {
  Entry entry = queue_.front();
  queue_.pop_front();
  held_.erase(std::find(held_.begin(), held_.end(), entry.header));
  entry.header->dwBytesRecorded = entry.filled;
  ReturnHeader(entry.header);
  Post(MM_WIM_DATA, entry.filled);
}

}  // namespace talvox::platform
