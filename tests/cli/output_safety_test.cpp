// Outputs and interruptions of the talvox tool: standard output, devices,
// pipes and links as targets, kept modes, leftovers of killed runs, and
// SIGTERM ending a command whatever it waits on.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "cli_runner.h"

namespace talvox::cli_test {
namespace {

using Clock = std::chrono::steady_clock;

std::string Talvox() { return std::string(TALVOX_BINARY_DIR) + "/bin/talvox"; }

std::string Speech(const test::TempDir& dir) {
  std::string path = dir.File("in.wav");
  WriteWav(path, TwoSyllables(16000, 100, 3000, 6000));
  return path;
}

std::vector<std::string> HiddenEntries(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  while (dirent* entry = dir ? readdir(dir) : nullptr) {
    std::string name = entry->d_name;
    if (name[0] == '.' && name != "." && name != "..") names.push_back(name);
  }
  if (dir) closedir(dir);
  return names;
}

mode_t ModeOf(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0 ? info.st_mode : 0;
}

// Starts talvox with args (stdout and stderr to files in dir), environment
// additions as NAME=VALUE.
pid_t Start(const test::TempDir& dir, const std::string& binary, const std::vector<std::string>& args,
            const std::vector<std::string>& environment = {}) {
  pid_t pid = ::fork();
  if (pid == 0) {
    int out = ::open(dir.File("stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = ::open(dir.File("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out, 1);
    ::dup2(err, 2);
    for (const std::string& setting : environment) ::putenv(const_cast<char*>(setting.c_str()));
    std::vector<char*> argv{const_cast<char*>(binary.c_str())};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(binary.c_str(), argv.data());
    ::_exit(127);
  }
  return pid;
}

// Sends the signal and returns the exit status; the time to the end in ms.
int Terminate(pid_t pid, long& milliseconds, int signalNumber = SIGTERM) {
  Clock::time_point sent = Clock::now();
  ::kill(pid, signalNumber);
  int status = 0;
  for (;;) {
    if (::waitpid(pid, &status, WNOHANG) == pid) break;
    if (Clock::now() - sent > std::chrono::seconds(5)) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  milliseconds = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - sent).count());
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool WaitForFile(const std::string& path, int milliseconds) {
  for (int waited = 0; waited < milliseconds; waited += 10) {
    if (test::FileExists(path)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

int Entries(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  int entries = 0;
  while (dirent* entry = dir ? readdir(dir) : nullptr) entries += entry->d_name[0] != '.';
  if (dir) closedir(dir);
  return entries;
}

// A copy of the tool beside a pitch program that never answers; each run of
// it leaves its process id in pap.pid (the last one) and a file pap-PID.
std::string CopyBesideSilentPitchProgram(const test::TempDir& dir) {
  ::mkdir(dir.File("bin").c_str(), 0755);
  ::mkdir(dir.File("tmp").c_str(), 0755);
  std::string copy = dir.File("bin/talvox");
  test::WriteBytes(copy, test::ReadBytes(Talvox()));
  ::chmod(copy.c_str(), 0755);
  std::string pidFile = dir.File("pap.pid");
  std::ofstream(dir.File("bin/pap.exe")) << "#!/bin/sh\ntouch '" << dir.File("pap-") << "'$$\necho $$ > '" << pidFile
                                          << ".part'\nmv '" << pidFile << ".part' '" << pidFile << "'\nexec sleep 30\n";
  ::chmod(dir.File("bin/pap.exe").c_str(), 0755);
  return copy;
}

// Processes (not zombies) whose program is path.
int LivingProcessesOf(const std::string& path) {
  int count = 0;
  DIR* proc = opendir("/proc");
  while (dirent* entry = proc ? readdir(proc) : nullptr) {
    std::string id = entry->d_name;
    if (id.find_first_not_of("0123456789") != std::string::npos) continue;
    std::string command = Slurp("/proc/" + id + "/cmdline");
    std::ifstream stat("/proc/" + id + "/stat");
    std::string pid, name, state;
    stat >> pid >> name >> state;
    if (command.c_str() == path && state != "Z") count++;
  }
  if (proc) closedir(proc);
  return count;
}

int PapsStarted(const test::TempDir& dir) {
  DIR* folder = opendir(dir.path().c_str());
  int count = 0;
  while (dirent* entry = folder ? readdir(folder) : nullptr) count += std::string(entry->d_name).rfind("pap-", 0) == 0;
  if (folder) closedir(folder);
  return count;
}

TEST(CliOutputs, DashWritesEachKindToStandardOutput) {
  test::TempDir dir;
  std::string in = Speech(dir);
  RunResult wav = RunTalvox({"resynth", in, "-o", "-", "--semitones", "2"});
  ASSERT_EQ(wav.status, 0) << wav.err;
  ASSERT_GT(wav.out.size(), 44u);
  EXPECT_EQ(wav.out.substr(0, 4), "RIFF");
  EXPECT_NE(wav.err.find("F0 x"), std::string::npos);  // the report moved to standard error
  RunResult peaks = RunTalvox({"analyze", in, "-o", "-"});
  ASSERT_EQ(peaks.status, 0) << peaks.err;
  EXPECT_EQ(peaks.out.substr(0, 10), "Peaks File");
  EXPECT_EQ(peaks.out.find("pitch marks"), std::string::npos);  // the table is on standard error
  EXPECT_NE(peaks.err.find("pitch marks"), std::string::npos);
  test::WriteBytes(dir.File("from-stdout.peaks"), std::vector<uint8_t>(peaks.out.begin(), peaks.out.end()));
  RunResult reread = RunTalvox({"analyze", in, "--peaks", dir.File("from-stdout.peaks")});
  EXPECT_EQ(reread.status, 0) << reread.err;
  RunResult svg = RunTalvox({"plot", in, "-o", "-"});
  ASSERT_EQ(svg.status, 0) << svg.err;
  EXPECT_NE(svg.out.find("<svg"), std::string::npos);
  EXPECT_NE(svg.out.find("</svg>"), std::string::npos);
  EXPECT_TRUE(HiddenEntries(dir.path()).empty());
}

TEST(CliOutputs, LinksAreFollowedAndModesKept) {
  test::TempDir dir;
  std::string in = Speech(dir);
  ASSERT_EQ(::mkdir(dir.File("elsewhere").c_str(), 0755), 0);
  test::WriteBytes(dir.File("elsewhere/real.wav"), {1, 2, 3});
  ASSERT_EQ(::chmod(dir.File("elsewhere/real.wav").c_str(), 0600), 0);
  ASSERT_EQ(::symlink("elsewhere/real.wav", dir.File("link.wav").c_str()), 0);
  RunResult run = RunTalvox({"resynth", in, "-o", dir.File("link.wav"), "--semitones", "2"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(S_ISLNK(ModeOf(dir.File("link.wav"))));
  EXPECT_EQ(ReadWav(dir.File("elsewhere/real.wav")).Frames(), ReadWav(dir.File("link.wav")).Frames());
  EXPECT_EQ(ModeOf(dir.File("elsewhere/real.wav")) & 07777, 0600u);
  // The same for the tool's own text output.
  test::WriteBytes(dir.File("elsewhere/plot.svg"), {1});
  ASSERT_EQ(::chmod(dir.File("elsewhere/plot.svg").c_str(), 0640), 0);
  ASSERT_EQ(::symlink("elsewhere/plot.svg", dir.File("plot.svg").c_str()), 0);
  ASSERT_EQ(RunTalvox({"plot", in, "-o", dir.File("plot.svg")}).status, 0);
  EXPECT_TRUE(S_ISLNK(ModeOf(dir.File("plot.svg"))));
  EXPECT_EQ(ModeOf(dir.File("elsewhere/plot.svg")) & 07777, 0640u);
  EXPECT_NE(Slurp(dir.File("plot.svg")).find("</svg>"), std::string::npos);
  EXPECT_TRUE(HiddenEntries(dir.path()).empty());
  EXPECT_TRUE(HiddenEntries(dir.File("elsewhere")).empty());
  if (::geteuid() != 0) GTEST_SKIP() << "giving a file away needs root";
  for (const std::string& name : {std::string("owned.svg"), std::string("owned.wav")}) {
    test::WriteBytes(dir.File(name), {1});
    ASSERT_EQ(::chown(dir.File(name).c_str(), 4321, 4322), 0);
    RunResult run = name == "owned.svg" ? RunTalvox({"plot", in, "-o", dir.File(name)})
                                        : RunTalvox({"resynth", in, "-o", dir.File(name), "--semitones", "1"});
    ASSERT_EQ(run.status, 0) << run.err;
    struct stat info;
    ASSERT_EQ(::stat(dir.File(name).c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 4321u) << name;
    EXPECT_EQ(info.st_gid, 4322u) << name;
  }
}

TEST(CliOutputs, PipesAndDevicesAreWrittenInPlace) {
  test::TempDir dir;
  std::string in = Speech(dir);
  ASSERT_EQ(::mkfifo(dir.File("pipe").c_str(), 0644), 0);
  std::string received;
  std::thread reader([&] {
    std::ifstream pipe(dir.File("pipe"), std::ios::binary);
    received.assign(std::istreambuf_iterator<char>(pipe), {});
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  RunResult run = RunTalvox({"resynth", in, "-o", dir.File("pipe"), "--semitones", "2"});
  reader.join();
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(S_ISFIFO(ModeOf(dir.File("pipe"))));
  EXPECT_EQ(received.substr(0, 4), "RIFF");
  // A pipe nobody reads is refused at once, not waited on.
  RunResult unread = RunTalvox({"resynth", in, "-o", dir.File("pipe"), "--semitones", "2"});
  EXPECT_EQ(unread.status, 1);
  EXPECT_TRUE(S_ISFIFO(ModeOf(dir.File("pipe"))));
  if (::geteuid() != 0) GTEST_SKIP() << "a device of our own needs root (mknod)";
  ASSERT_EQ(::mknod(dir.File("null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"resynth", in, "-o", dir.File("null"), "--semitones", "2"},
        std::vector<std::string>{"analyze", in, "-o", dir.File("null")},
        std::vector<std::string>{"plot", in, "-o", dir.File("null")}}) {
    RunResult device = RunTalvox(args);
    EXPECT_EQ(device.status, 0) << device.err;
    EXPECT_TRUE(S_ISCHR(ModeOf(dir.File("null"))));
  }
  EXPECT_TRUE(HiddenEntries(dir.path()).empty());
}

TEST(CliOutputs, LeftoversOfDeadWritersAreRemoved) {
  test::TempDir dir;
  std::string in = Speech(dir);
  pid_t dead = ::fork();
  if (dead == 0) ::_exit(0);
  ::waitpid(dead, nullptr, 0);
  std::string deadLeftover = dir.File(".out.wav.talvox-tmp-" + std::to_string(dead) + "-0");
  std::string liveWork = dir.File(".out.wav.talvox-tmp-" + std::to_string(::getpid()) + "-0");
  std::string otherName = dir.File(".other.wav.talvox-tmp-" + std::to_string(dead) + "-0");
  for (const std::string& path : {deadLeftover, liveWork, otherName}) test::WriteBytes(path, {1});
  ASSERT_EQ(RunTalvox({"resynth", in, "-o", dir.File("out.wav"), "--semitones", "2"}).status, 0);
  EXPECT_FALSE(test::FileExists(deadLeftover));
  EXPECT_TRUE(test::FileExists(liveWork));   // a running writer's work
  EXPECT_TRUE(test::FileExists(otherName));  // another output's business
  // Private folders of dead runs go too, live ones stay.
  std::string deadFolder = dir.File("talvox-" + std::to_string(dead) + "-abcdef");
  std::string liveFolder = dir.File("talvox-" + std::to_string(::getpid()) + "-abcdef");
  ASSERT_EQ(::mkdir(deadFolder.c_str(), 0700), 0);
  ASSERT_EQ(::mkdir(liveFolder.c_str(), 0700), 0);
  test::WriteBytes(deadFolder + "/temp.wav", {1});
  pid_t run = Start(dir, Talvox(), {"analyze", in, "--marks", "external"}, {"TMPDIR=" + dir.path()});
  int status = 0;
  ::waitpid(run, &status, 0);
  EXPECT_FALSE(test::FileExists(deadFolder));
  EXPECT_TRUE(test::FileExists(liveFolder));
}

TEST(CliInterrupts, TermOrIntEndsAWaitOnAPipeWithinASecond) {
  test::TempDir dir;
  std::string in = Speech(dir);
  ASSERT_EQ(RunTalvox({"analyze", in, "-o", dir.File("in.peaks")}).status, 0);
  ASSERT_EQ(::mkfifo(dir.File("pipe").c_str(), 0644), 0);
  // A writer that keeps the pipe open and never writes.
  pid_t writer = ::fork();
  if (writer == 0) {
    int fd = ::open(dir.File("pipe").c_str(), O_WRONLY);
    ::sleep(20);
    ::_exit(fd >= 0 ? 0 : 1);
  }
  // A peak file is read by its size: a pipe is refused at once.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"resynth", in, "-o", dir.File("out.wav"), "--peaks", dir.File("pipe"), "--semitones", "1"},
        std::vector<std::string>{"plot", in, "-o", dir.File("out.svg"), "--peaks", dir.File("pipe")}}) {
    RunResult refused = RunTalvox(args);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("not a regular file"), std::string::npos) << refused.err;
  }
  const std::vector<std::vector<std::string>> waits = {
      {"resynth", in, "-o", dir.File("out.wav"), "--contour", dir.File("pipe")},
  };
  for (const std::vector<std::string>& args : waits) {
    for (int signalNumber : {SIGTERM, SIGINT}) {
      SCOPED_TRACE(args[0] + " " + args[4] + " signal " + std::to_string(signalNumber));
      pid_t run = Start(dir, Talvox(), args);
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      long milliseconds = 0;
      EXPECT_EQ(Terminate(run, milliseconds, signalNumber), 128 + signalNumber);
      EXPECT_LT(milliseconds, 1000);
    }
  }
  ::kill(writer, SIGKILL);
  ::waitpid(writer, nullptr, 0);
  EXPECT_FALSE(test::FileExists(dir.File("out.wav")));
  EXPECT_FALSE(test::FileExists(dir.File("out.svg")));
  EXPECT_TRUE(HiddenEntries(dir.path()).empty());
}

TEST(CliInterrupts, TermEndsTheExternalProgramAndRemovesTheWorkingFolder) {
  test::TempDir dir;
  std::string in = Speech(dir);
  std::string copy = CopyBesideSilentPitchProgram(dir);
  std::string pidFile = dir.File("pap.pid");
  pid_t run = Start(dir, copy, {"analyze", in, "--marks", "external"}, {"TMPDIR=" + dir.File("tmp")});
  ASSERT_TRUE(WaitForFile(pidFile, 5000));
  pid_t pap = 0;
  std::ifstream(pidFile) >> pap;
  ASSERT_GT(pap, 0);
  long milliseconds = 0;
  EXPECT_EQ(Terminate(run, milliseconds), 128 + SIGTERM);
  EXPECT_LT(milliseconds, 1000);
  bool papGone = false;
  for (int i = 0; i < 100 && !papGone; i++) {
    std::ifstream stat("/proc/" + std::to_string(pap) + "/stat");
    std::string id, name, state;
    papGone = !(stat >> id >> name >> state) || state == "Z";
    if (!papGone) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(papGone);
  if (!papGone) ::kill(pap, SIGKILL);
  EXPECT_EQ(Entries(dir.File("tmp")), 0) << "a private folder was left in TMPDIR";
}

TEST(CliInterrupts, TermEndsABatchAndItsWorkers) {
  test::TempDir dir;
  std::string in = Speech(dir);
  ASSERT_EQ(::mkdir(dir.File("peaks").c_str(), 0755), 0);
  std::string copy = CopyBesideSilentPitchProgram(dir);
  std::vector<std::string> args{"analyze", "--marks", "external", "-j", "2", "-o", dir.File("peaks")};
  for (const char* name : {"a.wav", "b.wav", "c.wav"}) {
    test::WriteBytes(dir.File(name), test::ReadBytes(in));
    args.push_back(dir.File(name));
  }
  pid_t run = Start(dir, copy, args, {"TMPDIR=" + dir.File("tmp")});
  // Both workers are waiting on their pitch program.
  for (int i = 0; i < 500 && PapsStarted(dir) < 2; i++) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_EQ(PapsStarted(dir), 2);
  long milliseconds = 0;
  EXPECT_EQ(Terminate(run, milliseconds), 128 + SIGTERM);
  EXPECT_LT(milliseconds, 1000);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(LivingProcessesOf(copy), 0) << "a worker lives on";
  EXPECT_TRUE(HiddenEntries(dir.File("peaks")).empty());
  EXPECT_EQ(Entries(dir.File("tmp")), 0);
}

TEST(CliInputs, EndlessTextInputsAreRefusedQuickly) {
  test::TempDir dir;
  std::string in = Speech(dir);
  Clock::time_point start = Clock::now();
  RunResult zero = RunTalvox({"resynth", in, "-o", dir.File("out.wav"), "--contour", "/dev/zero"});
  EXPECT_EQ(zero.status, 1);
  EXPECT_NE(zero.err.find("/dev/zero"), std::string::npos) << zero.err;
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
  std::ofstream(dir.File("long.txt")) << "0.1 " << std::string(10000, '1') << "\n";
  RunResult longLine = RunTalvox({"resynth", in, "-o", dir.File("out.wav"), "--contour", dir.File("long.txt")});
  EXPECT_EQ(longLine.status, 1);
  EXPECT_NE(longLine.err.find("longer than"), std::string::npos) << longLine.err;
  EXPECT_FALSE(test::FileExists(dir.File("out.wav")));
}

}  // namespace
}  // namespace talvox::cli_test
