#include "cleanup.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "cli_error.h"

namespace tvx {
namespace {

// The work's chance to stop on its own before the forced end, and how long
// workers get to stop after SIGTERM; together well under a second.
constexpr std::chrono::milliseconds kGrace(250);
constexpr std::chrono::milliseconds kWorkerGrace(500);
constexpr std::chrono::milliseconds kPollStep(10);
constexpr int kSignalStatusBase = 128;  // the shell's convention for "ended by signal N"
constexpr char kTempMarker[] = ".talvox-tmp-";
constexpr char kFolderPrefix[] = "talvox-";

std::atomic<int> g_signal{0};
std::atomic<bool> g_interruptIsNormalEnd{false};

struct Registration {
  enum Kind { kPrefix, kFolder, kWorker } kind;
  std::string folder;
  std::string prefix;
  pid_t pid = 0;
};

// Never destroyed: the signal thread may use it while main returns.
struct Registry {
  std::mutex mutex;
  std::map<int, Registration> entries;
  int next = 1;
};
Registry& TheRegistry() {
  static Registry* registry = new Registry;
  return *registry;
}

int Add(Registration registration) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  int ticket = registry.next++;
  registry.entries.emplace(ticket, std::move(registration));
  return ticket;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::vector<std::string> EntriesOf(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return names;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  return names;
}

bool IsRegular(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The process id at the start of text ("123-..." or "123"), or 0.
pid_t LeadingPid(const std::string& text) {
  pid_t pid = 0;
  size_t i = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && i < 10; i++) pid = pid * 10 + (text[i] - '0');
  if (i == 0 || (i < text.size() && text[i] != '-')) return 0;
  return pid;
}

void EndWorkers(const std::vector<pid_t>& workers) {
  for (pid_t pid : workers) kill(pid, SIGTERM);
  auto deadline = std::chrono::steady_clock::now() + kWorkerGrace;
  std::vector<pid_t> left = workers;
  while (!left.empty() && std::chrono::steady_clock::now() < deadline) {
    for (size_t i = 0; i < left.size();) {
      if (waitpid(left[i], nullptr, WNOHANG) != 0) {
        left.erase(left.begin() + static_cast<long>(i));
      } else {
        i++;
      }
    }
    if (!left.empty()) std::this_thread::sleep_for(kPollStep);
  }
  for (pid_t pid : left) kill(pid, SIGKILL);
}

// Holds the registry lock for good, so nothing new is registered (or
// created under a registration) between the clean-up and the exit.
[[noreturn]] void ForcedEnd(int signalNumber) {
  Registry& registry = TheRegistry();
  registry.mutex.lock();
  std::vector<pid_t> workers;
  for (const auto& [ticket, entry] : registry.entries)
    if (entry.kind == Registration::kWorker) workers.push_back(entry.pid);
  EndWorkers(workers);
  for (const auto& [ticket, entry] : registry.entries) {
    if (entry.kind == Registration::kFolder) RemoveFlatFolder(entry.folder);
    if (entry.kind != Registration::kPrefix) continue;
    for (const std::string& name : EntriesOf(entry.folder))
      if (StartsWith(name, entry.prefix) && IsRegular(entry.folder + "/" + name)) unlink((entry.folder + "/" + name).c_str());
  }
  if (g_interruptIsNormalEnd) _exit(0);
  static const char kNote[] = "talvox: interrupted\n";
  ssize_t ignored = write(2, kNote, sizeof kNote - 1);
  (void)ignored;
  _exit(kSignalStatusBase + signalNumber);
}

sigset_t EndingSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, signalNumber);
  return set;
}

void WatchSignals() {
  sigset_t set = EndingSignals();
  int signalNumber = 0;
  while (sigwait(&set, &signalNumber) != 0) {
  }
  g_signal = signalNumber;
  // A second signal during the grace ends at once.
  timespec step{0, 0};
  auto deadline = std::chrono::steady_clock::now() + kGrace;
  for (;;) {
    auto left = deadline - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero()) break;
    auto nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    step.tv_sec = static_cast<time_t>(nanos / 1000000000);
    step.tv_nsec = static_cast<long>(nanos % 1000000000);
    if (sigtimedwait(&set, nullptr, &step) > 0) break;
  }
  ForcedEnd(signalNumber);
}

}  // namespace

void InstallInterruptCleanup() {
  sigset_t set = EndingSignals();
  // A closed pipe on standard output is then a write error with a message,
  // not a silent death that leaves temporary files behind.
  sigaddset(&set, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  std::thread(WatchSignals).detach();
}

bool InterruptRequested() { return g_signal != 0; }

void InterruptIsNormalEnd() { g_interruptIsNormalEnd = true; }

void CheckInterrupted() {
  if (int signalNumber = g_signal) throw CliError(kSignalStatusBase + signalNumber, "interrupted");
}

int RegisterTempPrefix(const std::string& folder, const std::string& prefix) {
  return Add({Registration::kPrefix, folder, prefix, 0});
}

int RegisterPrivateFolder(const std::string& folder) { return Add({Registration::kFolder, folder, "", 0}); }

int RegisterWorker(pid_t pid) { return Add({Registration::kWorker, "", "", pid}); }

void Unregister(int ticket) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  registry.entries.erase(ticket);
}

bool ProcessAlive(pid_t pid) { return pid > 0 && (kill(pid, 0) == 0 || errno == EPERM); }

void RemoveDeadWritersLeftovers(const std::string& folder, const std::string& name) {
  const std::string prefix = "." + name + kTempMarker;
  for (const std::string& entry : EntriesOf(folder)) {
    if (!StartsWith(entry, prefix)) continue;
    pid_t writer = LeadingPid(entry.substr(prefix.size()));
    if (writer > 0 && writer != getpid() && !ProcessAlive(writer) && IsRegular(folder + "/" + entry))
      unlink((folder + "/" + entry).c_str());
  }
}

void RemoveDeadPrivateFolders(const std::string& base) {
  for (const std::string& entry : EntriesOf(base)) {
    if (!StartsWith(entry, kFolderPrefix)) continue;
    pid_t owner = LeadingPid(entry.substr(sizeof kFolderPrefix - 1));
    struct stat info;
    std::string path = base + "/" + entry;
    if (owner > 0 && owner != getpid() && !ProcessAlive(owner) && lstat(path.c_str(), &info) == 0 &&
        S_ISDIR(info.st_mode) && info.st_uid == geteuid())
      RemoveFlatFolder(path);
  }
}

void RemoveFlatFolder(const std::string& folder) {
  for (const std::string& entry : EntriesOf(folder))
    if (IsRegular(folder + "/" + entry)) unlink((folder + "/" + entry).c_str());
  rmdir(folder.c_str());
}

}  // namespace tvx
