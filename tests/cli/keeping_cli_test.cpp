// Keeping a list with the GNU-style options: comparing two sources,
// choosing positions, quiet runs into another folder, and the answers to
// bad options.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include "support/program.h"

namespace kavrel::testing {
namespace {

const std::string kOld =
    "[SATTYPE]\n1=0130\n2=Hot Bird\n[DVB]\n0=3\n1=10719,V,27500,34\n2=10758,H,22000,34\n3=11000,H,27500,56\n";
const std::string kNew =
    "[SATTYPE]\n1=0130\n2=Hot Bird\n[DVB]\n0=3\n1=10720,V,27500,34\n2=10758,H,22000,56\n3=12000,V,27500,78\n";
const std::string kWest = "[SATTYPE]\n1=3550\n2=West Sat\n[DVB]\n0=1\n1=12000,H,27500,78\n";

class KeepingCli : public ::testing::Test {
 protected:
  void SetUp() override {
    program.WriteWork("old.ini", kOld);
    program.WriteWork("new.ini", kNew);
    program.WriteWork("west.ini", kWest);
    program.WriteWork("not-a-list.ini", "hello\n");
  }
  InstalledProgram program;
};

TEST_F(KeepingCli, TwoSourcesComparedWriteOnlyTheReport) {
  ProgramResult result = program.Run({program.Work("new.ini"), "--changes=old.ini"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out,
            "13.0E Hot Bird: 1 added, 1 removed, 2 changed (3 -> 3 transponders)\n"
            "  ~ 10719 V 27500 3/4 DVB-S -> 10720 V 27500 3/4 DVB-S\n"
            "  ~ 10758 H 22000 3/4 DVB-S -> 10758 H 22000 5/6 DVB-S\n"
            "  - 11000 H 27500 5/6 DVB-S\n"
            "  + 12000 V 27500 7/8 DVB-S\n");
  // Progress lines moved to standard error; no output file was asked for.
  EXPECT_NE(result.err.find("---- Kavrel v2.45b ----\n"), std::string::npos);
  EXPECT_NE(result.err.find("All done\n"), std::string::npos);
  EXPECT_EQ(program.WorkNames().size(), 4u);

  result = program.Run({program.Work("old.ini"), "--changes=old.ini", "--changes-format=json"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, "{\"satellites\":[]}\n");
}

TEST_F(KeepingCli, PositionsChosenQuietlyIntoAnotherFolder) {
  program.scratch().MakeDir("work/out");
  ProgramResult result =
      program.Run({program.Work("*.ini"), "-q", "-o", "out", "--positions=5W,[10e-14E]", "/Format=i1"});
  // Quiet keeps failures: the file that is not a list says so.
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err.find("kavrel: " + program.Work("not-a-list.ini") + ": "), 0u) << result.err;
  EXPECT_EQ(Lines(result.err).size(), 1u);
  EXPECT_EQ(program.ReadWork("out/0130.ini"),
            "[SATTYPE]\n1=0130\n2=Hot Bird\n[DVB]\n0=3\n1=10719,V,27500,34\n2=10758,H,22000,34\n"
            "3=11000,H,27500,56\n");
  EXPECT_TRUE(program.WorkExists("out/3550.ini"));
  EXPECT_FALSE(program.WorkExists("0130.ini"));

  result = program.Run({program.Work("west.ini"), "--positions=13E"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_FALSE(program.WorkExists("3550.ini"));
}

TEST_F(KeepingCli, BadOptionsAreRefusedClearly) {
  struct Case {
    std::vector<std::string> arguments;
    int exitCode;
    std::string message;
  };
  const Case cases[] = {
      {{"new.ini", "--positions=13X"}, 1, "kavrel: --positions: '13X' is not a position"},
      {{"new.ini", "--positions"}, 1, "kavrel: --positions needs a value"},
      {{"new.ini", "-o"}, 1, "kavrel: -o needs a folder"},
      {{"new.ini", "-o", "missing"}, 1, "kavrel: the output folder missing does not exist"},
      {{"new.ini", "--changes"}, 1, "kavrel: --changes without --update needs"},
      {{"new.ini", "--changes=x", "--changes-format=xml"}, 1, "kavrel: --changes-format takes json or text"},
      {{"new.ini", "--changes-format=json"}, 1, "kavrel: --changes-format needs --changes"},
      {{"new.ini", "--changes=missing.ini"}, 2, "kavrel: " },
      {{"new.ini", "--changes=not-a-list.ini"}, 2, "holds no list kavrel can read"},
      {{"new.ini", "--update=list.xml", "/Format=t"}, 1, "kavrel: --update: kavrel cannot read /Format=t or /Format=k"},
      {{"new.ini", "--update=list", "/Format=k"}, 1, "kavrel: --update: kavrel cannot read /Format=t or /Format=k"},
      {{"new.ini", "--update=new.xml"}, 1, "new.xml does not exist yet: a new list needs /Format="},
      {{"new.ini", "--update=not-a-list.ini"}, 1, "not-a-list.ini is not a list kavrel can read back"},
      {{"new.ini", "--update=junk.xml"}, 1, "junk.xml holds no list kavrel can read; it stays as it was"},
      {{"new.ini", "--update=new.ini", "/Format=i1"}, 1, "new.ini is a file; /Format=i1 keeps a folder"},
      {{"new.ini", "--update=locked.xml", "/Format=x"}, 1, "another kavrel run is updating"},
  };
  program.WriteWork("junk.xml", "<satellites>\n");
  int lock = ::open(program.Work("locked.xml.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_EQ(::flock(lock, LOCK_EX), 0);
  for (const Case& c : cases) {
    std::vector<std::string> arguments = c.arguments;
    arguments[0] = program.Work(arguments[0]);
    ProgramResult result = program.Run(arguments);
    SCOPED_TRACE(c.arguments.back());
    EXPECT_EQ(result.exitCode, c.exitCode);
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
  }
  ::close(lock);
  // A refused update touched nothing.
  EXPECT_EQ(program.ReadWork("junk.xml"), "<satellites>\n");
  EXPECT_EQ(program.ReadWork("not-a-list.ini"), "hello\n");
  EXPECT_FALSE(program.WorkExists("new.xml"));
  EXPECT_FALSE(program.WorkExists("locked.xml"));
}

}  // namespace
}  // namespace kavrel::testing
