#include "corpus_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

#include "cli_error.h"
#include "output.h"
#include "progress.h"

extern char** environ;

namespace tvx {
namespace {

struct Running {
  size_t job;
  pid_t pid;
  int outFd;
  int errFd;
  int ticket = 0;  // registered for the forced end
};

pid_t Spawn(const std::vector<std::string>& argv, int& outFd, int& errFd) {
  int outPipe[2], errPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0) throw CliError(kExitFailure, std::string("pipe: ") + SystemMessage(errno));
  if (pipe2(errPipe, O_CLOEXEC) != 0) {
    close(outPipe[0]);
    close(outPipe[1]);
    throw CliError(kExitFailure, std::string("pipe: ") + SystemMessage(errno));
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  std::vector<char*> words;
  for (const std::string& word : argv) words.push_back(const_cast<char*>(word.c_str()));
  words.push_back(nullptr);
  // Workers start with no signal blocked (this process leaves signals to
  // its watcher thread).
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
  pid_t pid = 0;
  int failed = posix_spawn(&pid, words[0], &actions, &attributes, words.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  close(outPipe[1]);
  close(errPipe[1]);
  if (failed != 0) {
    close(outPipe[0]);
    close(errPipe[0]);
    throw CliError(kExitFailure, "cannot start " + argv[0] + ": " + SystemMessage(failed));
  }
  outFd = outPipe[0];
  errFd = errPipe[0];
  return pid;
}

// Reads what is available; false at end of file.
bool Drain(int fd, std::string& into) {
  char buffer[65536];
  ssize_t got = read(fd, buffer, sizeof buffer);
  if (got > 0) {
    into.append(buffer, static_cast<size_t>(got));
    return true;
  }
  return got < 0 && (errno == EINTR || errno == EAGAIN);
}

int WaitFor(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return kExitFailure;
}

}  // namespace

void RunWorkers(const std::vector<WorkerJob>& jobs, int parallel,
                const std::function<void(size_t, const WorkerResult&)>& finished) {
  ProgressBar bar(static_cast<double>(jobs.size()), "files");
  std::vector<WorkerResult> results(jobs.size());
  std::vector<bool> done(jobs.size(), false);
  std::vector<Running> running;
  size_t nextJob = 0, nextReport = 0, failures = 0, finishedCount = 0;
  if (parallel < 1) parallel = 1;

  while (nextReport < jobs.size()) {
    try {
      CheckInterrupted();
    } catch (const CliError&) {
      bar.Finish();
      for (const Running& worker : running) kill(worker.pid, SIGTERM);
      for (const Running& worker : running) WaitFor(worker.pid);
      throw;
    }
    while (running.size() < static_cast<size_t>(parallel) && nextJob < jobs.size()) {
      Running worker{nextJob, 0, -1, -1};
      try {
        worker.pid = Spawn(jobs[nextJob].argv, worker.outFd, worker.errFd);
        worker.ticket = RegisterWorker(worker.pid);
        running.push_back(worker);
      } catch (const CliError& error) {
        results[nextJob].status = kExitFailure;
        results[nextJob].err = std::string("talvox: ") + error.what() + "\n";
        done[nextJob] = true;
        finishedCount++;
        failures++;
      }
      nextJob++;
    }
    std::vector<pollfd> fds;
    for (const Running& worker : running) {
      if (worker.outFd >= 0) fds.push_back({worker.outFd, POLLIN, 0});
      if (worker.errFd >= 0) fds.push_back({worker.errFd, POLLIN, 0});
    }
    if (!fds.empty() && poll(fds.data(), fds.size(), 200) < 0 && errno != EINTR)
      throw CliError(kExitFailure, std::string("poll: ") + SystemMessage(errno));
    for (size_t r = 0; r < running.size();) {
      Running& worker = running[r];
      for (const pollfd& fd : fds) {
        if (!(fd.revents & (POLLIN | POLLHUP | POLLERR))) continue;
        if (fd.fd == worker.outFd && !Drain(worker.outFd, results[worker.job].out)) {
          close(worker.outFd);
          worker.outFd = -1;
        } else if (fd.fd == worker.errFd && !Drain(worker.errFd, results[worker.job].err)) {
          close(worker.errFd);
          worker.errFd = -1;
        }
      }
      if (worker.outFd < 0 && worker.errFd < 0) {
        results[worker.job].status = WaitFor(worker.pid);
        Unregister(worker.ticket);
        if (results[worker.job].status != 0) failures++;
        done[worker.job] = true;
        finishedCount++;
        running.erase(running.begin() + static_cast<long>(r));
      } else {
        r++;
      }
    }
    bar.Update(static_cast<double>(finishedCount), failures ? std::to_string(failures) + " failed" : "");
    while (nextReport < jobs.size() && done[nextReport]) {
      bar.Finish();
      finished(nextReport, results[nextReport]);
      results[nextReport] = WorkerResult();  // output already passed on
      nextReport++;
    }
  }
  bar.Finish();
}

}  // namespace tvx
