// Keeping one list current with --update: a daily run whose page fails
// keeps yesterday's satellite, and a day that gains nothing leaves the
// list as it was. The page comes from nginx on a loopback address. Runs
// killed while they write, full and read-only disks and lists that are no
// lists never cost the user the list.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <thread>

#include "support/loopback_servers.h"
#include "support/program.h"
#include "support/small_file_system.h"

namespace kavrel::testing {
namespace {

std::string ReadSource(const std::string& relative) {
  std::ifstream in(std::string(KAVREL_SOURCE_DIR) + "/" + relative, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

TEST(UpdateCli, DailyUpdateWithAFailingPageKeepsYesterdaysSatellite) {
  if (!CanBindPrivilegedPorts()) GTEST_SKIP() << "needs root to serve on port 80";
  if (!HaveProgram("nginx")) GTEST_SKIP() << "nginx is not installed (scripts/install-deps.sh)";
  ScratchDir pages;
  pages.MakeDir("site");
  pages.Write("site/lyngsat.html", ReadSource("examples/lyngsat-sample.html"));
  NginxServer nginx(pages.At("site"));
  ASSERT_TRUE(nginx.ok()) << "nginx did not start";
  InstalledProgram program;
  program.WriteWork("west.ini", "[SATTYPE]\n1=3550\n2=West Sat\n[DVB]\n0=1\n1=12000,H,27500,78\n");
  program.WriteWork("daily.txt", nginx.Url("/lyngsat.html") + "\n" + program.Work("west.ini") + "\n");

  // Day one: the list does not exist yet and is made from both inputs.
  ProgramResult first = program.Run({"@daily.txt", "/Format=x", "-q", "--update=list.xml"});
  ASSERT_EQ(first.exitCode, 0) << first.err;
  std::string yesterday = program.ReadWork("list.xml");
  EXPECT_NE(yesterday.find("position=\"192\""), std::string::npos) << yesterday;
  EXPECT_NE(yesterday.find("position=\"-50\""), std::string::npos) << yesterday;

  // Day two: the site changed its layout and West Sat moved a transponder.
  // The format is known from the list itself; Astra keeps yesterday's data.
  pages.Write("site/lyngsat.html", "<html><body>Lyngsat " + std::string(2000, 'x') + "</body></html>");
  program.WriteWork("west.ini", "[SATTYPE]\n1=3550\n2=West Sat\n[DVB]\n0=1\n1=12100,V,27500,78\n");
  ProgramResult second = program.Run({"@daily.txt", "--update=list.xml", "--changes"});
  EXPECT_EQ(second.exitCode, 2) << second.err;
  EXPECT_EQ(second.out,
            "5.0W West Sat: 1 added, 1 removed, 0 changed (1 -> 1 transponders)\n"
            "  - 12000 H 27500 7/8 DVB-S\n"
            "  + 12100 V 27500 7/8 DVB-S\n");
  std::string today = program.ReadWork("list.xml");
  EXPECT_EQ(today.substr(0, today.find("<sat name=\"West")), yesterday.substr(0, yesterday.find("<sat name=\"West")));
  EXPECT_NE(today.find("frequency=\"12100000\""), std::string::npos) << today;

  // Day three: nothing answers; the list stays byte for byte, and the
  // scratch folder of a run killed while it wrote is cleared away.
  program.scratch().MakeDir("work/.list.xml.kavrel-Ab12Cd");
  program.WriteWork(".list.xml.kavrel-Ab12Cd/satellites.xml", "<?xml version=");
  ProgramResult third = program.Run({nginx.Url("/gone.html"), "--update=list.xml"});
  EXPECT_EQ(third.exitCode, 3);
  EXPECT_NE(third.err.find("list.xml stays as it was"), std::string::npos) << third.err;
  EXPECT_EQ(program.ReadWork("list.xml"), today);
  EXPECT_FALSE(program.WorkExists(".list.xml.kavrel-Ab12Cd/satellites.xml"));
  EXPECT_EQ(program.WorkNames(), (std::vector<std::string>{"daily.txt", "list.xml", "list.xml.lock", "west.ini"}));
}

TEST(UpdateCli, AFolderListGainsFilesAndKeepsTheOthers) {
  InstalledProgram program;
  program.scratch().MakeDir("work/lists");  // empty: a list without satellites yet
  const std::string hotBird = "[SATTYPE]\n1=0130\n2=Hot Bird\n[DVB]\n0=1\n1=10719,V,27500,34\n";
  program.WriteWork("hotbird.ini", hotBird);
  program.WriteWork("west.ini", "[SATTYPE]\n1=3550\n2=West Sat\n[DVB]\n0=1\n1=12000,H,27500,78\n");
  ProgramResult first = program.Run({program.Work("hotbird.ini"), "/Format=i1", "--update=lists"});
  ASSERT_EQ(first.exitCode, 0) << first.err;
  EXPECT_NE(first.out.find("Creating " + program.Work("lists/0130.ini") + "...\n"), std::string::npos) << first.out;
  EXPECT_EQ(program.ReadWork("lists/0130.ini"), hotBird);

  // Without /Format= a folder takes the run's format: the configuration's
  // SaveFormat, i1 by default.
  // The folder's other files stay with it, the same files.
  program.WriteWork("lists/.notes", "mine\n");
  struct stat notes {};
  ASSERT_EQ(::stat(program.Work("lists/.notes").c_str(), &notes), 0);
  ProgramResult second = program.Run({program.Work("west.ini"), "--update=lists/", "-q"});
  ASSERT_EQ(second.exitCode, 0) << second.err;
  EXPECT_EQ(program.ReadWork("lists/0130.ini"), hotBird);
  EXPECT_TRUE(program.WorkExists("lists/3550.ini"));
  EXPECT_FALSE(program.WorkExists("lists/0130(1).ini"));
  struct stat notesAfter {};
  ASSERT_EQ(::stat(program.Work("lists/.notes").c_str(), &notesAfter), 0);
  EXPECT_EQ(notesAfter.st_ino, notes.st_ino);

  // A folder within is not moved about: the files are renamed in one by one.
  program.scratch().MakeDir("work/lists/archive");
  program.WriteWork("lists/archive/0130.ini", hotBird);
  program.WriteWork("west.ini", "[SATTYPE]\n1=3550\n2=West Sat\n[DVB]\n0=1\n1=12100,V,27500,78\n");
  ProgramResult third = program.Run({program.Work("west.ini"), "--update=lists", "-q"});
  ASSERT_EQ(third.exitCode, 0) << third.err;
  EXPECT_NE(program.ReadWork("lists/3550.ini").find("12100,V"), std::string::npos);
  EXPECT_EQ(program.ReadWork("lists/archive/0130.ini"), hotBird);
  EXPECT_EQ(program.ReadWork("lists/.notes"), "mine\n");
}

// Satellites of the test's own making in work/<folder>, many enough that
// writing their list takes a while; `symbolRate` tells one day from another.
void WriteSatellites(const InstalledProgram& program, const std::string& folder, int count, int symbolRate) {
  program.scratch().MakeDir("work/" + folder);
  for (int s = 0; s < count; ++s) {
    char head[96];
    snprintf(head, sizeof head, "[SATTYPE]\n1=%04d\n2=Sat %d\n[DVB]\n0=300\n", s * 17, s);
    std::string text = head;
    for (int t = 1; t <= 300; ++t) {
      text += std::to_string(t) + "=" + std::to_string(10700 + t * 6) + (t % 2 ? ",H," : ",V,") +
              std::to_string(symbolRate) + ",34\n";
    }
    program.WriteWork(folder + "/" + std::to_string(s) + ".ini", text);
  }
}

// What the list at `list` holds: its bytes under "", or a folder's files.
using Snapshot = std::map<std::string, std::string>;

Snapshot ListAt(const InstalledProgram& program, const std::string& list) {
  if (!std::filesystem::is_directory(program.Work(list))) return {{"", program.ReadWork(list)}};
  Snapshot files;
  for (const auto& entry : std::filesystem::directory_iterator(program.Work(list))) {
    std::string name = entry.path().filename().string();
    files[name] = program.ReadWork(list + "/" + name);
  }
  return files;
}

void PutBack(const InstalledProgram& program, const std::string& list, const Snapshot& snapshot) {
  std::filesystem::remove_all(program.Work(list));
  if (!snapshot.contains("")) program.scratch().MakeDir("work/" + list);
  for (const auto& [name, bytes] : snapshot) program.WriteWork(name.empty() ? list : list + "/" + name, bytes);
}

// The inodes of the list's files: a file put in place by a rename has a
// new one.
std::vector<ino_t> FileIdentities(const InstalledProgram& program, const std::string& list) {
  std::vector<ino_t> identities;
  std::vector<std::string> paths = {program.Work(list)};
  if (std::filesystem::is_directory(paths[0])) {
    for (const auto& entry : std::filesystem::directory_iterator(paths[0])) paths.push_back(entry.path().string());
  }
  for (const std::string& path : paths) {
    struct stat status {};
    identities.push_back(::stat(path.c_str(), &status) == 0 ? status.st_ino : 0);
  }
  return identities;
}

// The scratch folders that runs left beside the list.
std::vector<std::string> ScratchBeside(const InstalledProgram& program, const std::string& list) {
  std::filesystem::path path = program.Work(list);
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(path.parent_path())) {
    std::string name = entry.path().filename().string();
    if (name.starts_with("." + path.filename().string() + ".kavrel-")) left.push_back(name);
  }
  std::sort(left.begin(), left.end());
  return left;
}

TEST(UpdateCli, AKilledUpdateLeavesTheOldListOrTheNewOneWhole) {
  InstalledProgram program;
  WriteSatellites(program, "old", 100, 27500);
  WriteSatellites(program, "new", 101, 30000);  // one satellite more
  struct Case {
    std::string format;
    std::string list;
  };
  const Case cases[] = {{"x", "list.xml"}, {"e", "enigma2.xml"}, {"i1", "lists"}};
  // After the run starts writing: at once, within the write, and once the
  // new list is in place (in the step from the rename to the clearing of
  // the scratch folder).
  constexpr int kOnceAFileIsInPlace = -1;
  const int delaysMs[] = {0, 3, 10, kOnceAFileIsInPlace};
  int killedWhileWriting = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    std::vector<std::string> update = {program.Work("new/*.ini"), "/Format=" + c.format, "-q", "--update=" + c.list};
    if (c.format == "i1") program.scratch().MakeDir("work/" + c.list);
    ASSERT_EQ(program.Run({program.Work("old/*.ini"), "/Format=" + c.format, "-q", "--update=" + c.list}).exitCode, 0);
    const Snapshot before = ListAt(program, c.list);
    ASSERT_EQ(program.Run(update).exitCode, 0);
    const Snapshot after = ListAt(program, c.list);
    ASSERT_NE(before, after);

    for (int delay : delaysMs) {
      SCOPED_TRACE(delay);
      PutBack(program, c.list, before);
      // The folder an earlier kill left is not this run's: it clears it.
      const std::vector<std::string> left = ScratchBeside(program, c.list);
      auto writing = [&] { return ScratchBeside(program, c.list) != left && !ScratchBeside(program, c.list).empty(); };
      BackgroundRun run = program.Start(update);
      auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      while (!writing() && run.Running() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::microseconds(100));
      }
      if (delay == kOnceAFileIsInPlace) {
        const std::vector<ino_t> old = FileIdentities(program, c.list);
        while (FileIdentities(program, c.list) == old && run.Running() && std::chrono::steady_clock::now() < deadline) {
          std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
      }
      run.Kill();
      if (writing()) ++killedWhileWriting;

      // A list, a file or a folder of files, is wholly old or wholly new.
      Snapshot now = ListAt(program, c.list);
      EXPECT_TRUE(now == before || now == after);
    }
    // The next run clears what the killed ones left and finishes the list.
    ProgramResult again = program.Run(update);
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(ListAt(program, c.list), after);
    EXPECT_EQ(ScratchBeside(program, c.list), std::vector<std::string>{});
  }
  EXPECT_GT(killedWhileWriting, 0) << "no kill landed while a list was being written";
}

// Bad places for a list: each run ends with one line on standard error and
// the list as it was, byte for byte.
TEST(UpdateCli, ListsThatCannotBeUpdatedStayAsTheyWere) {
  enum class Disk { kPlain, kReadOnly, kFull };
  struct Case {
    std::string format;  // none: known from the list
    std::string list;    // in work/disk
    Disk disk;
    std::string message;
  };
  const Case cases[] = {
      {"i1", "missing/lists", Disk::kPlain, "/disk/missing/ does not exist"},
      {"", "pipe", Disk::kPlain, "pipe is neither a file nor a folder; it stays as it was"},
      {"x", "pipe", Disk::kPlain, "pipe is neither a file nor a folder; it stays as it was"},
      {"x", "list?.xml", Disk::kPlain, "list?.xml: a list whose name holds * or ? would be read together with"},
      {"x", "list.xml", Disk::kReadOnly, "list.xml cannot be written ("},
      {"i1", "lists", Disk::kReadOnly, "lists cannot be written ("},
      {"x", "list.xml", Disk::kFull, "list.xml (Cannot write satellites.xml: No space left on device); it keeps the "
                                     "list it held"},
      {"i1", "lists", Disk::kFull, "lists (Unable to write to "},
  };
  InstalledProgram program;
  WriteSatellites(program, "big", 40, 27500);
  program.WriteWork("hotbird.ini", "[SATTYPE]\n1=0130\n2=Hot Bird\n[DVB]\n0=1\n1=10719,V,27500,34\n");
  program.scratch().MakeDir("work/disk");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list + " " + c.message);
    const std::string list = "disk/" + c.list;
    std::optional<SmallFileSystem> disk;
    if (c.disk != Disk::kPlain) {
      disk.emplace(program.Work("disk"), c.disk == Disk::kFull ? "size=64k" : "size=1m");
      if (!disk->mounted()) {
        // Root, who can mount, ignores file permissions: a read-only disk
        // stands for a read-only list.
        std::cout << "skipped " << c.list << ": only root can mount a small file system\n";
        continue;
      }
    }
    if (c.list == "pipe") {
      ASSERT_EQ(::mkfifo(program.Work(list).c_str(), 0600), 0);
    } else if (std::filesystem::is_directory(std::filesystem::path(program.Work(list)).parent_path())) {
      // The list as it was: Hot Bird alone, written before the disk is made
      // read-only; a list with a mask's name is written under another.
      const std::string made = list.find('?') == std::string::npos ? list : "disk/made.xml";
      if (c.format == "i1") program.scratch().MakeDir("work/" + list);
      ASSERT_EQ(program.Run({program.Work("hotbird.ini"), "/Format=" + c.format, "--update=" + made}).exitCode, 0);
      if (made != list) std::filesystem::rename(program.Work(made), program.Work(list));
    }
    if (c.disk == Disk::kReadOnly) disk->MakeReadOnly();
    const bool existed = std::filesystem::exists(program.Work(list));
    const Snapshot before = existed && c.list != "pipe" ? ListAt(program, list) : Snapshot{};

    std::vector<std::string> arguments = {program.Work("big/*.ini"), "-q", "--update=" + list};
    if (!c.format.empty()) arguments.push_back("/Format=" + c.format);
    ProgramResult result = program.Run(arguments, 20);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(Lines(result.err).size(), 1u) << result.err;
    EXPECT_NE(result.err.find(program.Work("disk/")), std::string::npos) << result.err;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    EXPECT_EQ(std::filesystem::exists(program.Work(list)), existed);
    if (existed && c.list != "pipe") {
      EXPECT_EQ(ListAt(program, list), before);
    }
    if (std::filesystem::is_directory(std::filesystem::path(program.Work(list)).parent_path())) {
      EXPECT_EQ(ScratchBeside(program, list), std::vector<std::string>{});
    }
    disk.reset();
    std::filesystem::remove_all(program.Work("disk"));
    program.scratch().MakeDir("work/disk");
  }
}

// A list kept elsewhere behind a link is updated where it lives.
TEST(UpdateCli, AListBehindALinkIsUpdatedWhereItLives) {
  InstalledProgram program;
  program.WriteWork("hotbird.ini", "[SATTYPE]\n1=0130\n2=Hot Bird\n[DVB]\n0=1\n1=10719,V,27500,34\n");
  program.WriteWork("west.ini", "[SATTYPE]\n1=3550\n2=West Sat\n[DVB]\n0=1\n1=12000,H,27500,78\n");
  program.scratch().MakeDir("work/box");
  ASSERT_EQ(program.Run({program.Work("hotbird.ini"), "/Format=e", "-q", "--update=box/satellites.xml"}).exitCode, 0);
  std::filesystem::create_symlink("box/satellites.xml", program.Work("list.xml"));
  ProgramResult result = program.Run({program.Work("west.ini"), "-q", "--update=list.xml"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(std::filesystem::is_symlink(program.Work("list.xml")));
  std::string list = program.ReadWork("box/satellites.xml");
  EXPECT_NE(list.find("position=\"130\""), std::string::npos) << list;
  EXPECT_NE(list.find("position=\"-50\""), std::string::npos) << list;
}

// The satellites no input brings stay as they were listed, even where this
// run's options would not admit them: a Ka-band satellite, transponders
// 1 MHz apart, a symbol rate below /MinSR, circular polarization that
// /Circular- refuses.
TEST(UpdateCli, SatellitesNoInputBringsStayAsListed) {
  InstalledProgram program;
  const std::string kept =
      "\t<sat name=\"9.0E Ka\" flags=\"0\" position=\"90\">\n"
      "\t\t<transponder frequency=\"19700000\" symbol_rate=\"27500000\" polarization=\"0\" fec_inner=\"3\" "
      "system=\"1\" modulation=\"2\" />\n"
      "\t</sat>\n"
      "\t<sat name=\"13.0E Hot Bird\" flags=\"1\" position=\"130\">\n"
      "\t\t<transponder frequency=\"11000000\" symbol_rate=\"1000000\" polarization=\"0\" fec_inner=\"3\" "
      "system=\"0\" modulation=\"1\" />\n"
      "\t\t<transponder frequency=\"11001000\" symbol_rate=\"27500000\" polarization=\"0\" fec_inner=\"3\" "
      "system=\"0\" modulation=\"1\" />\n"
      "\t\t<transponder frequency=\"11100000\" symbol_rate=\"27500000\" polarization=\"2\" fec_inner=\"3\" "
      "system=\"0\" modulation=\"1\" />\n"
      "\t</sat>\n";
  program.WriteWork("list.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<satellites>\n" + kept + "</satellites>\n");
  program.WriteWork("west.ini", "[SATTYPE]\n1=3550\n2=West Sat\n[DVB]\n0=1\n1=12000,H,27500,78\n");
  ProgramResult result =
      program.Run({program.Work("west.ini"), "/MinSR=2000", "/Circular-", "--update=list.xml", "--changes"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, "5.0W West Sat: 1 added, 0 removed, 0 changed (0 -> 1 transponders)\n"
                        "  + 12000 H 27500 7/8 DVB-S\n");
  std::string list = program.ReadWork("list.xml");
  EXPECT_NE(list.find(kept), std::string::npos) << list;

  // A list none of whose transponders the options admit is a list all the same.
  // West Sat is Ku: nothing gained, and the list stays; the note counts
  // the input's refusal, not the list's.
  ProgramResult kaOnly = program.Run({program.Work("west.ini"), "/Ku-", "/C+", "--update=list.xml"});
  EXPECT_EQ(kaOnly.exitCode, 0) << kaOnly.err;
  EXPECT_EQ(program.ReadWork("list.xml"), list);
  EXPECT_EQ(kaOnly.err.find("holds no list"), std::string::npos) << kaOnly.err;
  EXPECT_NE(kaOnly.err.find("kavrel: 1 transponders were not admitted"), std::string::npos) << kaOnly.err;
  EXPECT_NE(kaOnly.out.find("9.0E Ka 1 transponders loaded\n"), std::string::npos) << kaOnly.out;
}

}  // namespace
}  // namespace kavrel::testing
