// The kept track: the same as tracking anew for the same signal and range,
// and never that of another signal, range or length.
#include <gtest/gtest.h>

#include <vector>

#include "speech_generator.h"
#include "voice/track_cache.h"
#include "voice/voice_track.h"

namespace {

void ExpectSameTrack(const talvox::VoiceTrack& a, const talvox::VoiceTrack& b) {
  EXPECT_EQ(a.sampleRate, b.sampleRate);
  EXPECT_EQ(a.hop, b.hop);
  EXPECT_EQ(a.f0, b.f0);
}

TEST(TrackCache, GivesTheTrackOfTheSignalAskedFor) {
  speechgen::SpeechSettings settings;
  settings.seconds = 2.0;
  const std::vector<int16_t> male = speechgen::GenerateSpeech(settings).samples;
  settings.voice = speechgen::kChildVoice;
  const std::vector<int16_t> child = speechgen::GenerateSpeech(settings).samples;
  const int32_t n = static_cast<int32_t>(std::min(male.size(), child.size()));
  auto cached = [&](const std::vector<int16_t>& x, int32_t length, float floor, float ceiling) {
    return talvox::CachedTrackVoice(x.data(), length, 16000, floor, ceiling);
  };
  auto direct = [&](const std::vector<int16_t>& x, int32_t length, float floor, float ceiling) {
    return talvox::TrackVoice(x.data(), length, 16000, floor, ceiling);
  };
  ExpectSameTrack(cached(male, n, 0, 0), direct(male, n, 0, 0));
  ExpectSameTrack(cached(male, n, 0, 0), direct(male, n, 0, 0));  // from the cache
  ExpectSameTrack(cached(child, n, 0, 0), direct(child, n, 0, 0));
  ExpectSameTrack(cached(child, n, 150, 500), direct(child, n, 150, 500));
  ExpectSameTrack(cached(child, n - 1000, 150, 500), direct(child, n - 1000, 150, 500));
  // One sample changed in place (same buffer, same length): tracked anew.
  std::vector<int16_t> edited = child;
  ExpectSameTrack(cached(edited, n, 0, 0), direct(edited, n, 0, 0));
  for (int32_t i = n / 3; i < n / 3 + 4000; ++i) edited[static_cast<size_t>(i)] = 0;
  ExpectSameTrack(cached(edited, n, 0, 0), direct(edited, n, 0, 0));
  EXPECT_NE(direct(edited, n, 0, 0).f0, direct(child, n, 0, 0).f0);
}

}  // namespace
