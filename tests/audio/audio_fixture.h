// A fresh audio device state over the fake service, with message capture.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "audio/audio_device.h"
#include "fake_wave_service.h"
#include "talvox.h"

namespace talvox::test {

class AudioTest : public ::testing::Test {
 protected:
  void SetUp() override { TheAudioDevice() = AudioDevice{}; }

  AudioDevice& audio() { return TheAudioDevice(); }
  // The header as the fake prints it, for a buffer handed over by the library.
  static std::string Header(const void* data, uint32_t length) {
    return "{data=" + Pointer(data) + " len=" + std::to_string(length) +
           " rec=0 flags=0 loops=0} size=" + std::to_string(sizeof(WAVEHDR));
  }
  // Reads one notification record from a pipe.
  static void ReadRecord(int fd, uint32_t* message, uint32_t* parameter) {
    uint8_t record[kNotificationBytes];
    ASSERT_EQ(read(fd, record, sizeof record), ssize_t(sizeof record));
    DecodeNotification(record, message, parameter);
  }

  FakeWaveService fake;
  MessageCapture messages;
};

using Calls = std::vector<std::string>;

}  // namespace talvox::test
