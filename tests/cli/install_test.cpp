// The installed kavrel: `cmake --install` of the build tree into a staging
// directory, the installed program finding its configuration under the
// user's XDG directory, the manual page and the bash completion; and, when
// KAVREL_PACKAGE_TEST=1 on a root machine with cpack and dpkg, the Debian
// package built, installed, run and removed again.
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/memory_run.h"
#include "support/program.h"
#include "support/scratch_dir.h"

namespace kavrel::testing {
namespace {

namespace fs = std::filesystem;

// RunProcess with argv[0] as the program; a time-out fails the test
// instead of ending it, so that the package test still removes what it
// installed.
ProgramResult RunWith(const std::vector<std::string>& argv, const Environment& changes,
                      const std::string& directory, int timeoutSeconds) {
  try {
    return RunProcess(argv[0], {argv.begin() + 1, argv.end()}, directory, timeoutSeconds, changes);
  } catch (const std::runtime_error& timedOut) {
    ADD_FAILURE() << timedOut.what();
    return ProgramResult{};
  }
}

// An executable of that name on PATH, or "".
std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::stringstream directories(path ? path : "/usr/bin:/bin");
  for (std::string directory; std::getline(directories, directory, ':');) {
    std::string candidate = directory + "/" + name;
    if (!directory.empty() && ::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "";
}

std::string BuildDir() { return fs::path(KAVREL_BINARY).parent_path().string(); }

// The cmake or cpack that configured the build tree, from its cache.
std::string CacheProgram(const std::string& key, const std::string& fallback) {
  std::ifstream cache(BuildDir() + "/CMakeCache.txt");
  for (std::string line; std::getline(cache, line);) {
    if (line.starts_with(key + ":INTERNAL=")) return line.substr(line.find('=') + 1);
  }
  return FindProgram(fallback);
}

// A gzip file's text (a plain file reads as it is).
std::string ReadMaybeGzip(const std::string& path) {
  std::string text;
  gzFile file = ::gzopen(path.c_str(), "rb");
  if (file == nullptr) return text;
  char buffer[8192];
  for (int got; (got = ::gzread(file, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(got));
  ::gzclose(file);
  return text;
}

const std::string kVersionLine = std::string("kavrel ") + KAVREL_VERSION;

// Installs the build tree with prefix /usr into <scratch>/stage.
class InstalledTree : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string cmake = CacheProgram("CMAKE_COMMAND", "cmake");
    ASSERT_FALSE(cmake.empty()) << "no cmake";
    ProgramResult install = RunWith({cmake, "--install", BuildDir(), "--prefix", "/usr"},
                                    {{"DESTDIR", Stage()}}, scratch.path(), 60);
    ASSERT_EQ(install.exitCode, 0) << install.out << install.err;
    scratch.MakeDir("home");
    scratch.MakeDir("work");
  }

  std::string Stage() const { return scratch.At("stage"); }
  std::string Usr(const std::string& name) const { return Stage() + "/usr/" + name; }

  // The installed kavrel run in <scratch>/work as a user whose home is
  // <scratch>/home, with no configuration location of the caller's.
  ProgramResult RunKavrel(const std::vector<std::string>& arguments, Environment environment = {}) const {
    environment.try_emplace("HOME", scratch.At("home"));
    environment.try_emplace("XDG_CONFIG_HOME", std::nullopt);
    environment.try_emplace("KAVREL_CONFIG", std::nullopt);
    std::vector<std::string> argv{Usr("bin/kavrel")};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return RunWith(argv, environment, scratch.At("work"), 60);
  }

  ScratchDir scratch;
};

TEST_F(InstalledTree, PutsEveryFileInItsPlace) {
  struct Expected {
    std::string path;
    bool present;
  };
  const Expected files[] = {
      {"bin/kavrel", true},
      {"share/man/man1/kavrel.1.gz", true},
      {"share/bash-completion/completions/kavrel", true},
      {"share/kavrel/kavrel.ini", true},
      {"share/doc/kavrel/README.md", true},
      {"share/doc/kavrel/copyright", true},
      {"share/doc/kavrel/examples/list.txt", true},
      {"share/doc/kavrel/examples/lyngsat-sample.html", true},
      // Only the Debian package carries these.
      {"share/doc/kavrel/changelog.Debian.gz", false},
      {"share/lintian/overrides/kavrel", false},
      // An installed kavrel keeps no configuration beside the program.
      {"bin/kavrel.ini", false},
  };
  for (const Expected& file : files) {
    EXPECT_EQ(fs::exists(Usr(file.path)), file.present) << file.path;
  }
  EXPECT_EQ(::access(Usr("bin/kavrel").c_str(), X_OK), 0);
  EXPECT_EQ(ReadFile(Usr("share/kavrel/kavrel.ini")), ReadFile(std::string(KAVREL_SOURCE_DIR) + "/data/kavrel.ini"));

  // The manual page names the version the program reports.
  std::string page = ReadMaybeGzip(Usr("share/man/man1/kavrel.1.gz"));
  EXPECT_NE(page.find("\n.TH KAVREL 1 "), std::string::npos);
  EXPECT_NE(page.find("\"" + kVersionLine + "\""), std::string::npos) << "the .TH line names another version";
}

TEST_F(InstalledTree, ReportsItsVersionAndLibraries) {
  ProgramResult version = RunKavrel({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.err, "");
  std::vector<std::string> lines = Lines(version.out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], kVersionLine);
  EXPECT_EQ(lines.size(), 3u) << version.out;
  EXPECT_NE(version.out.find("\nzlib "), std::string::npos) << version.out;
  EXPECT_NE(version.out.find("\nOpenSSL "), std::string::npos) << version.out;
  // Nothing of this needs or makes a configuration.
  EXPECT_FALSE(fs::exists(scratch.At("home/.config")));
}

// Where the installed kavrel reads its configuration and where /S writes
// it: made from the installed template on first use, beside nothing of
// the installation.
TEST_F(InstalledTree, KeepsItsConfigurationPerUser) {
  struct Case {
    const char* what;
    Environment environment;
    std::string path;
    std::string given;  // the file's text before the run; "" for none
  };
  const Case cases[] = {
      {"HOME only", {}, scratch.At("home/.config/kavrel/kavrel.ini"), ""},
      {"XDG_CONFIG_HOME", {{"XDG_CONFIG_HOME", scratch.At("xdg")}}, scratch.At("xdg/kavrel/kavrel.ini"), ""},
      {"KAVREL_CONFIG", {{"KAVREL_CONFIG", scratch.At("mine.ini")}}, scratch.At("mine.ini"), "[Common]\nMinSR=1000\n"},
  };
  const std::string sample = Usr("share/doc/kavrel/examples/0130.ini");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (!c.given.empty()) scratch.Write("mine.ini", c.given);
    fs::remove_all(scratch.At("work"));
    scratch.MakeDir("work");
    ProgramResult run = RunKavrel({sample, "/Format=e", "/S"}, c.environment);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_TRUE(fs::exists(scratch.At("work/satellites.xml"))) << run.out;
    std::string saved = ReadFile(c.path);
    EXPECT_NE(saved.find("SaveFormat=enigma2"), std::string::npos) << c.path << ":\n" << saved;
    // A new file starts from the template and its page tables; a given one
    // keeps what it held.
    EXPECT_EQ(saved.find("[kingofsat]") != std::string::npos, c.given.empty()) << c.path;
    if (!c.given.empty()) {
      EXPECT_NE(saved.find("MinSR=1000"), std::string::npos) << saved;
    }
    EXPECT_FALSE(fs::exists(Usr("bin/kavrel.ini")));
  }
}

TEST_F(InstalledTree, ManualPageFormatsWithoutWarnings) {
  std::string man = FindProgram("man");
  if (man.empty()) GTEST_SKIP() << "man is not installed";
  ProgramResult result = RunWith({man, "--warnings", "-l", Usr("share/man/man1/kavrel.1.gz")},
                                 {{"MANWIDTH", "80"}, {"MANPAGER", "cat"}, {"PAGER", "cat"}},
                                 scratch.path(), 60);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_NE(result.out.find("EXIT STATUS"), std::string::npos);
}

// The installed completion, run as bash runs it for a command line with the
// cursor at its end (compopt is a no-op outside a real completion).
TEST_F(InstalledTree, CompletesOptionsWithoutRegardToCase) {
  std::string bash = FindProgram("bash");
  if (bash.empty()) GTEST_SKIP() << "bash is not installed";
  struct Case {
    std::string line;
    std::string replies;  // one per line
  };
  const Case cases[] = {
      {"kavrel --v", "--version\n"},
      {"kavrel x.ini /dvb", "/DVBS2+\n/DVBS2-\n"},
      {"kavrel x.ini /fo", "/Format=\n"},
      // "=" breaks words: the replies are what follows it.
      {"kavrel x.ini /FORMAT=i", "i1\ni2\ni3\n"},
      {"kavrel x.ini /format=", "i1\ni2\ni3\nx\nd\nt\nk\ne\nv\n"},
      {"kavrel '*.ini' /MinSR=2000 /ke", "/KeepHTML+\n/KeepHTML-\n"},
      // Not an option: left to file name completion.
      {"kavrel x.ini /usr/sh", ""},
      {"kavrel --help /", ""},
  };
  const std::string script =
      "compopt() { :; }\n"
      "source \"$1\"\n"
      "COMP_LINE=$2 COMP_POINT=${#2}\n"
      "_kavrel\n"
      "printf '%s\\n' \"${COMPREPLY[@]}\" | grep -v '^$' || true\n";
  for (const Case& c : cases) {
    ProgramResult result = RunWith({bash, "--norc", "--noprofile", "-c", script, "bash",
                                    Usr("share/bash-completion/completions/kavrel"), c.line},
                                   {}, scratch.path(), 30);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, c.replies) << c.line;
  }
}

// Removes the package when the test ends, however it ends.
struct PackageRemoval {
  std::string dpkg;
  ~PackageRemoval() {
    ProgramResult removal = RunWith({dpkg, "-r", "kavrel"}, {}, "/", 25);
    EXPECT_EQ(removal.exitCode, 0) << removal.out << removal.err;
  }
};

// The time limits of its steps add up to less than CTest's limit of a test,
// so that the package is removed even from a run that hangs.
TEST(DebianPackage, BuildsInstallsRunsAndRemoves) {
  const char* wanted = std::getenv("KAVREL_PACKAGE_TEST");
  if (wanted == nullptr || std::string(wanted) != "1") {
    GTEST_SKIP() << "set KAVREL_PACKAGE_TEST=1 to build and install the package";
  }
  if (::geteuid() != 0) GTEST_SKIP() << "installing a package needs root";
  std::string cpack = CacheProgram("CMAKE_CPACK_COMMAND", "cpack");
  std::string dpkgDeb = FindProgram("dpkg-deb");
  std::string dpkg = FindProgram("dpkg");
  if (cpack.empty() || dpkgDeb.empty() || dpkg.empty()) GTEST_SKIP() << "cpack, dpkg or dpkg-deb is missing";
  if (fs::exists("/usr/bin/kavrel")) GTEST_SKIP() << "/usr/bin/kavrel is there already; the test would replace it";

  ScratchDir scratch;
  ProgramResult made = RunWith({cpack, "-G", "DEB", "--config", BuildDir() + "/CPackConfig.cmake", "-B",
                                scratch.At("package")},
                               {}, scratch.path(), 40);
  ASSERT_EQ(made.exitCode, 0) << made.out << made.err;
  std::string deb;
  for (const auto& entry : fs::directory_iterator(scratch.At("package"))) {
    if (entry.path().extension() == ".deb") deb = entry.path().string();
  }
  ASSERT_FALSE(deb.empty()) << made.out;

  ProgramResult contents = RunWith({dpkgDeb, "-c", deb}, {}, scratch.path(), 5);
  ASSERT_EQ(contents.exitCode, 0) << contents.err;
  for (const char* file : {"./usr/bin/kavrel", "./usr/share/man/man1/kavrel.1.gz",
                           "./usr/share/bash-completion/completions/kavrel", "./usr/share/kavrel/kavrel.ini",
                           "./usr/share/doc/kavrel/copyright", "./usr/share/doc/kavrel/changelog.Debian.gz"}) {
    EXPECT_NE(contents.out.find(std::string(" ") + file + "\n"), std::string::npos) << file;
  }
  ProgramResult fields = RunWith({dpkgDeb, "-f", deb, "Package", "Section", "Depends"}, {}, scratch.path(), 5);
  EXPECT_NE(fields.out.find("Package: kavrel\n"), std::string::npos) << fields.out;
  EXPECT_NE(fields.out.find("Section: utils\n"), std::string::npos) << fields.out;
  for (const char* library : {"libc6", "libssl3", "zlib1g", "libstdc++6"}) {
    EXPECT_NE(fields.out.find(library), std::string::npos) << library << " missing in " << fields.out;
  }

  {
    PackageRemoval removal{dpkg};
    ProgramResult installed = RunWith({dpkg, "-i", deb}, {}, "/", 25);
    ASSERT_EQ(installed.exitCode, 0) << installed.out << installed.err;
    scratch.MakeDir("home");
    ProgramResult version = RunWith({"/usr/bin/kavrel", "--version"},
                                    {{"HOME", scratch.At("home")}, {"XDG_CONFIG_HOME", std::nullopt},
                                     {"KAVREL_CONFIG", std::nullopt}},
                                    scratch.path(), 5);
    EXPECT_EQ(version.exitCode, 0) << version.err;
    EXPECT_EQ(version.out.substr(0, version.out.find('\n')), kVersionLine);
  }
  EXPECT_FALSE(fs::exists("/usr/bin/kavrel"));
}

}  // namespace
}  // namespace kavrel::testing
