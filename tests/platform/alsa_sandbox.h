// A private ALSA set-up for one test process: a temporary HOME whose
// .asoundrc makes the PCM "default" ALSA's file plugin over the null PCM, so
// playback lands in a raw file and capture reads one, with no sound card and
// no pacing. Must be created before the process's first ALSA call.
#pragma once

#include <poll.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/notification.h"
#include "test_support.h"

namespace talvox::test {

class AlsaSandbox {
 public:
  // With usable false, "default" names a card that cannot exist.
  explicit AlsaSandbox(bool usable = true) {
    std::ofstream rc(home_.File(".asoundrc"));
    if (usable) {
      rc << "pcm.!default {\n  type file\n  slave.pcm \"null\"\n  file \"" << Played()
         << "\"\n  infile \"" << Captured() << "\"\n  format \"raw\"\n}\n";
    } else {
      rc << "pcm.!default {\n  type hw\n  card 31\n  device 0\n}\n";
    }
    setenv("HOME", home_.path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", home_.File("config").c_str(), 1);
    unsetenv("ALSA_CONFIG_PATH");
    unsetenv("ALSA_CONFIG_DIR");
  }
  std::string Played() const { return home_.File("played.raw"); }
  std::string Captured() const { return home_.File("captured.raw"); }

 private:
  TempDir home_;
};

// The host's end of a notification pipe.
class NotificationPipe {
 public:
  NotificationPipe() {
    if (pipe(ends_) != 0) ADD_FAILURE() << "pipe";
  }
  ~NotificationPipe() {
    close(ends_[0]);
    close(ends_[1]);
  }
  uint32_t Window() const { return static_cast<uint32_t>(ends_[1]); }
  // The next record's message number; 0 if none comes (a safety net against
  // a hang, not a measure of speed).
  uint32_t Next(uint32_t* parameter = nullptr) {
    pollfd ready{ends_[0], POLLIN, 0};
    if (poll(&ready, 1, kPatienceMs) != 1) return 0;
    uint8_t record[platform::kNotificationBytes];
    if (read(ends_[0], record, sizeof record) != ssize_t(sizeof record)) return 0;
    uint32_t message = 0, value = 0;
    platform::DecodeNotification(record, &message, &value);
    if (parameter != nullptr) *parameter = value;
    return message;
  }
  bool Empty() {
    pollfd ready{ends_[0], POLLIN, 0};
    return poll(&ready, 1, 0) == 0;
  }

 private:
  static constexpr int kPatienceMs = 30000;
  int ends_[2] = {-1, -1};
};

}  // namespace talvox::test
