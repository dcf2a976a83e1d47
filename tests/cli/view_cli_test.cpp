// talvox view's command line: what it refuses before serving anything.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "cli_runner.h"

namespace talvox::cli_test {
namespace {

TEST(CliView, RefusesBadCommandLinesBeforeServing) {
  test::TempDir dir;
  WriteWav(dir.File("in.wav"), TwoSyllables(16000, 128, 1600, 4800));
  EXPECT_EQ(RunTalvox({"view"}).status, 2);
  EXPECT_EQ(RunTalvox({"view", dir.File("in.wav"), dir.File("in.wav")}).status, 2);
  EXPECT_EQ(RunTalvox({"view", dir.File("in.wav"), "--peaks", "a", "--elements", "b"}).status, 2);
  EXPECT_EQ(RunTalvox({"view", dir.File("in.wav"), "--port", "70000", "--no-open"}).status, 2);
  RunResult missing = RunTalvox({"view", dir.File("none.wav"), "--no-open"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("none.wav"), std::string::npos) << missing.err;
  RunResult grid = RunTalvox({"view", dir.File("in.wav"), "--elements", dir.File("in.TextGrid"), "--no-open"});
  EXPECT_EQ(grid.status, 1);
  EXPECT_NE(grid.err.find("TextGrid"), std::string::npos) << grid.err;
  RunResult help = RunTalvox({"view", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("127.0.0.1"), std::string::npos);
}

TEST(CliView, SaysSoWhenThePortIsTaken) {
  test::TempDir dir;
  WriteWav(dir.File("in.wav"), TwoSyllables(16000, 128, 1600, 4800));
  int taken = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(taken, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(taken, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(taken, 1), 0);
  socklen_t size = sizeof address;
  ASSERT_EQ(getsockname(taken, reinterpret_cast<sockaddr*>(&address), &size), 0);
  std::string port = std::to_string(ntohs(address.sin_port));
  RunResult run = RunTalvox({"view", dir.File("in.wav"), "--port", port, "--no-open"});
  close(taken);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("port " + port), std::string::npos) << run.err;
}

}  // namespace
}  // namespace talvox::cli_test
