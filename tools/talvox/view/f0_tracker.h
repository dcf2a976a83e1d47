// The editor's F0 track, computed away from the requests: the library's
// voice tracker over a private copy of the signal, in a thread of its own,
// so that an edit of an hour answers at once and the page draws the track
// it gets when it is ready. The tracker reads only the samples it is given,
// never the library's document.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "f0_track.h"
#include "undo_history.h"

namespace tvx::view {

struct TrackedF0 {
  F0Track track;
  uint64_t signalVersion = 0;  // of the signal it belongs to
  // The voiced frames' 2nd and 98th percentiles (0 when none are voiced):
  // the speaker's range, for the page's F0 axis.
  double low = 0, high = 0;
};

struct F0Options {
  int channel = 0;  // the channel tracked (channel 0 when the signal has fewer)
  VoiceRange range;
};

class F0Tracker {
 public:
  explicit F0Tracker(F0Options options);
  ~F0Tracker();  // waits for a track in progress
  F0Tracker(const F0Tracker&) = delete;
  F0Tracker& operator=(const F0Tracker&) = delete;

  // Asks for the track of this signal; one asked for before and not yet
  // begun is dropped. A signal tracked before (an undo brings the signal
  // object of an earlier state back) has its track at once.
  void Request(std::shared_ptr<const Signal> signal, int rate, uint64_t signalVersion);
  // The newest finished track; null before the first is done.
  std::shared_ptr<const TrackedF0> Latest() const;
  // Waits until the newest finished track is of signalVersion (or later);
  // false after timeout.
  bool WaitFor(uint64_t signalVersion, std::chrono::milliseconds timeout) const;

 private:
  struct Job {
    std::shared_ptr<const Signal> signal;
    int rate = 0;
    uint64_t signalVersion = 0;
  };
  void Run();

  const F0Options options_;
  mutable std::mutex lock_;
  mutable std::condition_variable changed_;
  std::unique_ptr<Job> pending_;
  std::shared_ptr<const TrackedF0> latest_;
  // The last few tracks with the signals they belong to (not kept alive
  // here: a signal the undo history has dropped cannot come back).
  struct Done {
    std::weak_ptr<const Signal> signal;
    std::shared_ptr<const TrackedF0> track;
  };
  std::vector<Done> done_;
  bool stopping_ = false;
  std::thread worker_;  // last: it starts once everything above exists
};

// The track of one channel of signal, with its range.
TrackedF0 TrackOf(const Signal& signal, int rate, const F0Options& options, uint64_t signalVersion);

}  // namespace tvx::view
