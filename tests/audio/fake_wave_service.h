// A scripted wave-audio service for the tests: it records every call with
// its arguments as one line of text, fails the calls it is told to, and
// posts notifications to the opened window on demand.
#pragma once

#include <cinttypes>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "platform/message_box.h"
#include "platform/notification.h"
#include "platform/wave_audio.h"

namespace talvox::test {

using namespace talvox::platform;

inline std::string Pointer(const void* p) {
  char text[32];
  std::snprintf(text, sizeof text, "%p", p);
  return text;
}

inline std::string Describe(const WAVEFORMATEX* f) {
  char text[128];
  std::snprintf(text, sizeof text, "{tag=%u ch=%u rate=%u avg=%u align=%u bits=%u cb=%u}",
                f->wFormatTag, f->nChannels, f->nSamplesPerSec, f->nAvgBytesPerSec, f->nBlockAlign,
                f->wBitsPerSample, f->cbSize);
  return text;
}

inline std::string Describe(const WAVEHDR* h, uint32_t size) {
  char text[160];
  std::snprintf(text, sizeof text, "{data=%s len=%u rec=%u flags=%u loops=%u} size=%u",
                Pointer(h->lpData).c_str(), h->dwBufferLength, h->dwBytesRecorded, h->dwFlags,
                h->dwLoops, size);
  return text;
}

class FakeWaveService : public WaveService {
 public:
  FakeWaveService() { previous_ = InstallWaveService(this); }
  ~FakeWaveService() override { InstallWaveService(previous_); }

  std::vector<std::string> calls;
  // The answer of the position queries.
  uint32_t positionFormat = TIME_SAMPLES;
  uint32_t positionValue = 0;
  // Where the last open stored its handle.
  const void* openTarget = nullptr;

  void Fail(const std::string& call, MMRESULT result = MMSYSERR_ERROR) { failures_[call] = result; }

  // The device returns the last written buffer: done flag, "done" message.
  void FinishPlayback() {
    written_->dwFlags |= WHDR_DONE;
    PostNotification(outWindow_, MM_WOM_DONE, written_->dwBufferLength);
  }
  // The device fills the last added buffer with bytes (at most its length).
  void FinishRecording(const std::vector<uint8_t>& bytes) {
    uint32_t n = 0;
    for (; n < bytes.size() && n < added_->dwBufferLength; ++n) added_->lpData[n] = char(bytes[n]);
    added_->dwBytesRecorded = n;
    added_->dwFlags |= WHDR_DONE;
    PostNotification(inWindow_, MM_WIM_DATA, n);
  }

  MMRESULT OutOpen(HWAVEOUT* device, uint32_t id, const WAVEFORMATEX* format, uintptr_t callback,
                   uintptr_t instance, uint32_t flags) override {
    openTarget = device;
    MMRESULT result = Record("waveOutOpen", Open(id, format, callback, instance, flags));
    if (result == MMSYSERR_NOERROR) {
      *device = reinterpret_cast<HWAVEOUT>(NewHandle("out"));
      outWindow_ = static_cast<int>(callback);
    }
    return result;
  }
  MMRESULT OutPrepareHeader(HWAVEOUT d, WAVEHDR* h, uint32_t size) override {
    return Record("waveOutPrepareHeader", Name(d) + ", " + Describe(h, size));
  }
  MMRESULT OutWrite(HWAVEOUT d, WAVEHDR* h, uint32_t size) override {
    written_ = h;
    return Record("waveOutWrite", Name(d) + ", " + Describe(h, size));
  }
  MMRESULT OutPause(HWAVEOUT d) override { return Record("waveOutPause", Name(d)); }
  MMRESULT OutRestart(HWAVEOUT d) override { return Record("waveOutRestart", Name(d)); }
  MMRESULT OutReset(HWAVEOUT d) override { return Record("waveOutReset", Name(d)); }
  MMRESULT OutClose(HWAVEOUT d) override { return Record("waveOutClose", Name(d)); }
  MMRESULT OutGetPosition(HWAVEOUT d, MMTIME* t, uint32_t size) override {
    return Position("waveOutGetPosition", Name(d), t, size);
  }

  MMRESULT InOpen(HWAVEIN* device, uint32_t id, const WAVEFORMATEX* format, uintptr_t callback,
                  uintptr_t instance, uint32_t flags) override {
    openTarget = device;
    MMRESULT result = Record("waveInOpen", Open(id, format, callback, instance, flags));
    if (result == MMSYSERR_NOERROR) {
      *device = reinterpret_cast<HWAVEIN>(NewHandle("in"));
      inWindow_ = static_cast<int>(callback);
    }
    return result;
  }
  MMRESULT InPrepareHeader(HWAVEIN d, WAVEHDR* h, uint32_t size) override {
    return Record("waveInPrepareHeader", Name(d) + ", " + Describe(h, size));
  }
  MMRESULT InAddBuffer(HWAVEIN d, WAVEHDR* h, uint32_t size) override {
    added_ = h;
    return Record("waveInAddBuffer", Name(d) + ", " + Describe(h, size));
  }
  MMRESULT InStart(HWAVEIN d) override { return Record("waveInStart", Name(d)); }
  MMRESULT InStop(HWAVEIN d) override { return Record("waveInStop", Name(d)); }
  MMRESULT InReset(HWAVEIN d) override { return Record("waveInReset", Name(d)); }
  MMRESULT InClose(HWAVEIN d) override { return Record("waveInClose", Name(d)); }
  MMRESULT InGetPosition(HWAVEIN d, MMTIME* t, uint32_t size) override {
    return Position("waveInGetPosition", Name(d), t, size);
  }

 private:
  static std::string Open(uint32_t id, const WAVEFORMATEX* format, uintptr_t callback,
                          uintptr_t instance, uint32_t flags) {
    char text[96];
    std::snprintf(text, sizeof text, "id=0x%X, ", id);
    std::string line = text + Describe(format);
    std::snprintf(text, sizeof text, ", window=%" PRIuPTR ", instance=%" PRIuPTR ", flags=0x%X",
                  callback, instance, flags);
    return line + text;
  }

  MMRESULT Record(const std::string& call, const std::string& arguments) {
    calls.push_back(call + "(" + arguments + ")");
    auto failure = failures_.find(call);
    return failure == failures_.end() ? MMSYSERR_NOERROR : failure->second;
  }

  MMRESULT Position(const std::string& call, const std::string& device, MMTIME* t, uint32_t size) {
    MMRESULT result = Record(
        call, device + ", type=" + std::to_string(t->wType) + ", size=" + std::to_string(size));
    if (result == MMSYSERR_NOERROR) {
      t->wType = positionFormat;
      t->u.sample = positionValue;
    }
    return result;
  }

  uintptr_t NewHandle(const std::string& kind) {
    uintptr_t handle = 0x1000 + names_.size();
    names_[handle] = kind + std::to_string(++count_[kind]);
    return handle;
  }
  std::string Name(const void* device) {
    auto found = names_.find(reinterpret_cast<uintptr_t>(device));
    return found == names_.end() ? "unknown(" + Pointer(device) + ")" : found->second;
  }

  WaveService* previous_ = nullptr;
  std::map<std::string, MMRESULT> failures_;
  std::map<uintptr_t, std::string> names_;
  std::map<std::string, int> count_;
  int outWindow_ = 0;
  int inWindow_ = 0;
  WAVEHDR* written_ = nullptr;
  WAVEHDR* added_ = nullptr;
};

// Collects the message boxes shown while it lives.
class MessageCapture {
 public:
  MessageCapture() : stream_(open_memstream(&text_, &size_)) {
    previous_ = RedirectMessageBoxes(stream_);
  }
  ~MessageCapture() {
    RedirectMessageBoxes(previous_);
    std::fclose(stream_);
    std::free(text_);
  }
  std::string Text() {
    std::fflush(stream_);
    return std::string(text_, size_);
  }

 private:
  char* text_ = nullptr;
  size_t size_ = 0;
  std::FILE* stream_;
  std::FILE* previous_ = nullptr;
};

}  // namespace talvox::test
