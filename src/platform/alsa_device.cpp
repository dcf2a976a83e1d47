#include "platform/alsa_device.h"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <chrono>

#include "platform/notification.h"

namespace talvox::platform {

namespace {

// How often an idle or waiting worker looks at the device again. ALSA in
// non-blocking mode has no wake-up of its own for us; control calls wake the
// worker at once through the condition variable.
constexpr std::chrono::milliseconds kPollInterval(5);

// A host that closes the read end of its notification pipe must not be
// killed by SIGPIPE from our worker: the write then just fails.
void BlockBrokenPipeSignal() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

}  // namespace

AlsaDevice::AlsaDevice(snd_pcm_t* pcm, const WAVEFORMATEX& format, int64_t periodFrames, int window)
    : pcm_(pcm), frameBytes_(format.nBlockAlign), periodFrames_(periodFrames), window_(window) {}

AlsaDevice::~AlsaDevice() {
  // Owners call StopWorker first; this only guards against a forgotten one.
  if (worker_.joinable()) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit_ = true;
    }
    wake_.notify_all();
    worker_.join();
  }
  if (pcm_ != nullptr) snd_pcm_close(pcm_);
}

bool AlsaDevice::Holds(const WAVEHDR* header) {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::find(held_.begin(), held_.end(), header) != held_.end();
}

void AlsaDevice::LaunchWorker(uint32_t openMessage) {
  Post(openMessage, 0);
  worker_ = std::thread([this] { Run(); });
}

void AlsaDevice::StopWorker(uint32_t closeMessage) {
  if (shut_) return;
  shut_ = true;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Post(closeMessage, 0);
    quit_ = true;
  }
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
  snd_pcm_close(pcm_);
  pcm_ = nullptr;
}

void AlsaDevice::ReturnHeader(WAVEHDR* header) {
  header->dwFlags = (header->dwFlags | WHDR_DONE) & ~WHDR_INQUEUE;
}

void AlsaDevice::Run() {
  BlockBrokenPipeSignal();
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    Flush(lock);
    if (quit_) break;
    if (Pump()) continue;
    wake_.wait_for(lock, kPollInterval);
  }
  Flush(lock);
}

void AlsaDevice::Flush(std::unique_lock<std::mutex>& lock) {
  if (outbox_.empty()) return;
  std::vector<std::pair<uint32_t, uint32_t>> records;
  records.swap(outbox_);
  // Written without the mutex: a slow reader of the pipe must not hold up
  // the host's control calls.
  lock.unlock();
  for (const auto& [message, parameter] : records) PostNotification(window_, message, parameter);
  lock.lock();
}

}  // namespace talvox::platform
