#include "f0_tracker.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

namespace tvx::view {

TrackedF0 TrackOf(const Signal& signal, int rate, const F0Options& options, uint64_t signalVersion) {
  TrackedF0 result;
  result.signalVersion = signalVersion;
  if (signal.empty()) return result;
  const std::vector<int16_t>& samples = signal[size_t(options.channel) < signal.size() ? size_t(options.channel) : 0];
  result.track = TrackSamples(samples.data(), int32_t(samples.size()), rate, options.range);
  std::vector<float> voiced;
  for (float f : result.track.f0)
    if (f > 0) voiced.push_back(f);
  if (!voiced.empty()) {
    auto at = [&](double fraction) {
      auto nth = voiced.begin() + ptrdiff_t(std::min(voiced.size() - 1, size_t(double(voiced.size()) * fraction)));
      std::nth_element(voiced.begin(), nth, voiced.end());
      return double(*nth);
    };
    result.low = at(0.02);
    result.high = at(0.98);
  }
  return result;
}

F0Tracker::F0Tracker(F0Options options) : options_(options), worker_([this] { Run(); }) {}

F0Tracker::~F0Tracker() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    stopping_ = true;
    pending_.reset();
  }
  changed_.notify_all();
  worker_.join();
}

namespace {
constexpr size_t kTracksKept = 8;  // an hour's track is 2.9 MB
constexpr int kTrackerNiceness = 10;
}  // namespace

void F0Tracker::Request(std::shared_ptr<const Signal> signal, int rate, uint64_t signalVersion) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    pending_.reset();
    for (const Done& done : done_) {
      if (done.signal.lock() != signal) continue;
      auto again = std::make_shared<TrackedF0>(*done.track);
      again->signalVersion = signalVersion;
      latest_ = std::move(again);
      changed_.notify_all();
      return;
    }
    pending_ = std::make_unique<Job>(Job{std::move(signal), rate, signalVersion});
  }
  changed_.notify_all();
}

std::shared_ptr<const TrackedF0> F0Tracker::Latest() const {
  std::lock_guard<std::mutex> hold(lock_);
  return latest_;
}

bool F0Tracker::WaitFor(uint64_t signalVersion, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> hold(lock_);
  return changed_.wait_for(hold, timeout, [&] { return latest_ && latest_->signalVersion >= signalVersion; });
}

void F0Tracker::Run() {
  // Below the requests: on two cores a drag should not wait for the
  // track's computation (on Linux the niceness is the thread's own).
  setpriority(PRIO_PROCESS, id_t(gettid()), kTrackerNiceness);
  std::unique_lock<std::mutex> hold(lock_);
  while (true) {
    changed_.wait(hold, [&] { return stopping_ || pending_; });
    if (stopping_) return;
    std::unique_ptr<Job> job = std::move(pending_);
    hold.unlock();
    // A failure leaves the track before it in place; the page keeps
    // showing that one as not current.
    std::shared_ptr<const TrackedF0> done;
    try {
      done = std::make_shared<const TrackedF0>(TrackOf(*job->signal, job->rate, options_, job->signalVersion));
    } catch (const std::bad_alloc&) {
    }
    std::weak_ptr<const Signal> tracked = job->signal;
    job.reset();  // the signal copy goes as soon as it is read
    hold.lock();
    if (done) {
      done_.erase(std::remove_if(done_.begin(), done_.end(), [](const Done& d) { return d.signal.expired(); }),
                  done_.end());
      if (done_.size() >= kTracksKept) done_.erase(done_.begin());
      done_.push_back({tracked, done});
    }
    if (done && (!latest_ || done->signalVersion > latest_->signalVersion)) latest_ = std::move(done);
    changed_.notify_all();
  }
}

}  // namespace tvx::view
