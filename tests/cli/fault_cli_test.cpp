// Nothing is lost under faults: a run killed while it writes, a full disk,
// a read-only directory.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fcntl.h>
#include <thread>

#include "support/program.h"
#include "support/small_file_system.h"

namespace kavrel::testing {
namespace {

std::string Ini(int position, int transponders) {
  char head[128];
  snprintf(head, sizeof head, "[SATTYPE]\n1=%04d\n2=Fault Test %d\n[DVB]\n0=%d\n", position, position, transponders);
  std::string text = head;
  for (int t = 1; t <= transponders; ++t) {
    text += std::to_string(t) + "=" + std::to_string(10700 + t * 6) + "," + (t % 2 ? "H" : "V") + ",27500,34\n";
  }
  return text;
}

std::string PaddedName(int position) {
  char name[32];
  snprintf(name, sizeof name, "%04d.ini", position);
  return name;
}

TEST(FaultCli, KilledRunsLeaveUserFilesAndConfigurationWhole) {
  InstalledProgram program;
  program.scratch().MakeDir("in");
  for (int s = 0; s < 300; ++s) program.scratch().Write("in/" + std::to_string(s) + ".ini", Ini(s * 10, 300));
  const std::string config = "[Common]\nMinSR=100\nKeep=me\n[lyngsat]\n0130=http://l.example/a.html\n";
  for (int attempt = 0; attempt < 8; ++attempt) {
    program.WriteConfig(config);
    // The user's own files under names the run will want.
    for (int s = 0; s < 300; s += 7) program.WriteWork(PaddedName(s * 10), "user file " + std::to_string(s));
    pid_t pid = ::fork();
    if (pid == 0) {
      if (::chdir(program.WorkDir().c_str()) != 0) ::_exit(126);
      int null = ::open("/dev/null", O_WRONLY);
      ::dup2(null, 1);
      std::string mask = program.scratch().At("in/*.ini");
      ::execl(program.BinaryPath().c_str(), "kavrel", mask.c_str(), "/S", "/MinSR=7", nullptr);
      ::_exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10 + attempt * 25));
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);

    for (int s = 0; s < 300; s += 7) {
      EXPECT_EQ(program.ReadWork(PaddedName(s * 10)), "user file " + std::to_string(s)) << attempt;
    }
    // The configuration is the old one or the whole new one, never a part.
    std::string now = program.scratch().Read("bin/kavrel.ini");
    if (now != config) {
      EXPECT_NE(now.find("MinSR=7\n"), std::string::npos);
      EXPECT_NE(now.find("ProxyPassword=\n"), std::string::npos);
      EXPECT_NE(now.find("Keep=me\n"), std::string::npos);
      EXPECT_NE(now.find("\n[lyngsat]\n0130=http://l.example/a.html\n"), std::string::npos);
    }
    for (const std::string& name : program.WorkNames()) std::filesystem::remove(program.Work(name));
  }
}

class FaultDirectory : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to mount a small file system";
    program_.scratch().MakeDir("in");
    for (int s = 0; s < 40; ++s) program_.scratch().Write("in/" + std::to_string(s) + ".ini", Ini(s * 10, 300));
  }
  ProgramResult Convert(const std::string& format) {
    return program_.Run({program_.scratch().At("in/*.ini"), "/Format=" + format});
  }
  InstalledProgram program_;
};

TEST_F(FaultDirectory, FullDiskEndsTheRunWithAClearMessage) {
  SmallFileSystem disk(program_.WorkDir(), "size=64k");
  if (!disk.mounted()) GTEST_SKIP() << "cannot mount a small file system here";
  program_.WriteWork("0000.ini", "user file");
  for (const char* format : {"i1", "x", "t", "d", "k"}) {
    ProgramResult result = Convert(format);
    EXPECT_EQ(result.exitCode, 1) << format;
    EXPECT_EQ(Lines(result.err).size(), 1u) << result.err;
    EXPECT_NE(result.err.find(program_.WorkDir()), std::string::npos) << result.err;
    EXPECT_EQ(result.out.find("All done"), std::string::npos) << result.out;
    EXPECT_EQ(program_.ReadWork("0000.ini"), "user file");
    for (const std::string& name : program_.WorkNames()) {
      if (name != "0000.ini") std::filesystem::remove(program_.Work(name));
    }
  }
}

TEST_F(FaultDirectory, ReadOnlyDirectoryEndsTheRunWithAClearMessage) {
  SmallFileSystem disk(program_.WorkDir(), "size=1m");
  if (!disk.mounted()) GTEST_SKIP() << "cannot mount a small file system here";
  program_.WriteWork("0000.ini", "user file");
  disk.MakeReadOnly();
  ProgramResult ini = Convert("i1");
  EXPECT_EQ(ini.exitCode, 1);
  EXPECT_EQ(ini.err, "Unable to write to " + program_.Work("0000(1).ini") + "\n");
  ProgramResult xml = Convert("x");
  EXPECT_EQ(xml.exitCode, 1);
  EXPECT_EQ(xml.err, "Cannot create " + program_.Work("satellites.xml") + ": Read-only file system\n");
  EXPECT_EQ(program_.WorkNames(), std::vector<std::string>{"0000.ini"});
}

}  // namespace
}  // namespace kavrel::testing
