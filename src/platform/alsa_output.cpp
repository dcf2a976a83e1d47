#include "platform/alsa_output.h"

#include <algorithm>

namespace talvox::platform {

AlsaOutput::AlsaOutput(snd_pcm_t* pcm, const WAVEFORMATEX& format, int64_t periodFrames, int window)
    : AlsaDevice(pcm, format, periodFrames, window),
      silence_(static_cast<size_t>(periodFrames) * frameBytes_,
               format.wBitsPerSample == 8 ? char(0x80) : char(0)) {}

void AlsaOutput::Open() { LaunchWorker(MM_WOM_OPEN); }

void AlsaOutput::Close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    snd_pcm_drop(pcm_);
    ReturnAll();
  }
  StopWorker(MM_WOM_CLOSE);
}

void AlsaOutput::Write(WAVEHDR* header) {
  std::lock_guard<std::mutex> lock(mutex_);
  header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
  queue_.push_back({header, header->lpData, header->dwBufferLength / frameBytes_, 0, 0, false});
  held_.push_back(header);
  wake_.notify_all();
}

void AlsaOutput::Pause() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (paused_) return;
  UpdatePlayed();
  snd_pcm_drop(pcm_);
  snd_pcm_prepare(pcm_);
  for (Entry& entry : queue_) {
    entry.cursor = PlayedOf(entry);
    entry.started = false;
  }
  written_ = 0;
  played_ = 0;
  paused_ = true;
}

void AlsaOutput::Restart() {
  std::lock_guard<std::mutex> lock(mutex_);
  paused_ = false;
  wake_.notify_all();
}

void AlsaOutput::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  snd_pcm_drop(pcm_);
  snd_pcm_prepare(pcm_);
  ReturnAll();
  written_ = 0;
  played_ = 0;
  finished_ = 0;
  wake_.notify_all();
}

uint32_t AlsaOutput::Position() {
  std::lock_guard<std::mutex> lock(mutex_);
  int64_t position = finished_ + (queue_.empty() ? 0 : PlayedOf(queue_.front()));
  return static_cast<uint32_t>(position);
}

bool AlsaOutput::Pump() {
  if (paused_) return false;
  UpdatePlayed();
  if (!queue_.empty() && PlayedOf(queue_.front()) == queue_.front().frames) {
    ReturnFront();
    return true;
  }
  return WriteNext() || PadToPeriod();
}

void AlsaOutput::UpdatePlayed() {
  snd_pcm_state_t state = snd_pcm_state(pcm_);
  snd_pcm_sframes_t delay = 0;
  if (state == SND_PCM_STATE_XRUN) {
    // Underrun: everything handed over has been played.
    played_ = written_;
  } else if (state == SND_PCM_STATE_RUNNING && snd_pcm_delay(pcm_, &delay) == 0) {
    played_ =
        std::clamp<int64_t>(written_ - std::max<snd_pcm_sframes_t>(delay, 0), played_, written_);
  }
}

int64_t AlsaOutput::PlayedOf(const Entry& entry) const {
  if (!entry.started) return entry.cursor;
  return std::clamp<int64_t>(played_ - entry.start, 0, entry.frames);
}

bool AlsaOutput::WriteNext() {
  auto next = std::find_if(queue_.begin(), queue_.end(),
                           [](const Entry& entry) { return entry.cursor < entry.frames; });
  if (next == queue_.end()) return false;
  if (!next->started) {
    next->start = written_ - next->cursor;
    next->started = true;
  }
  if (snd_pcm_state(pcm_) == SND_PCM_STATE_XRUN) snd_pcm_prepare(pcm_);
  snd_pcm_sframes_t n = snd_pcm_writei(pcm_, next->data + next->cursor * frameBytes_,
                                       static_cast<snd_pcm_uframes_t>(next->frames - next->cursor));
  if (n == -EAGAIN || n == 0) return false;
  if (n < 0 && snd_pcm_recover(pcm_, static_cast<int>(n), 1) == 0) return true;
  if (n < 0) {
    // The device is gone: count the rest as played so the host gets its
    // buffers back instead of waiting for ever.
    n = next->frames - next->cursor;
    played_ = written_ + n;
  }
  next->cursor += n;
  written_ += n;
  if (snd_pcm_state(pcm_) == SND_PCM_STATE_PREPARED) snd_pcm_start(pcm_);
  return true;
}

// When the queue runs dry in the middle of a period, the rest of that period
// is filled with silence, so the card never plays stale samples and a
// period-based sink receives the last frames.
bool AlsaOutput::PadToPeriod() {
  if (queue_.empty() || written_ % periodFrames_ == 0) return false;
  snd_pcm_sframes_t n =
      snd_pcm_writei(pcm_, silence_.data(),
                     static_cast<snd_pcm_uframes_t>(periodFrames_ - written_ % periodFrames_));
  if (n <= 0) return false;
  written_ += n;
  if (snd_pcm_state(pcm_) == SND_PCM_STATE_PREPARED) snd_pcm_start(pcm_);
  return true;
}

void AlsaOutput::ReturnFront() {
  Entry entry = queue_.front();
  queue_.pop_front();
  held_.erase(std::find(held_.begin(), held_.end(), entry.header));
  finished_ += entry.frames;
  ReturnHeader(entry.header);
  Post(MM_WOM_DONE, entry.header->dwBufferLength);
}

void AlsaOutput::ReturnAll() {
  while (!queue_.empty()) {
    Entry& front = queue_.front();
    front.frames = PlayedOf(front);  // the position counts what was heard
    front.cursor = front.frames;
    front.started = false;
    ReturnFront();
  }
}

}  // namespace talvox::platform
