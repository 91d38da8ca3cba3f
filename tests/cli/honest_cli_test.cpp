// What a run says about itself: every input that gives nothing is named on
// standard error with its cause and the exit status tells, while standard
// output keeps its lines; --help and --version answer and end.
#include <gtest/gtest.h>

#include "support/memory_run.h"
#include "support/program.h"

namespace kavrel::testing {
namespace {

TEST(HonestCli, InputsThatGiveNothingAreNamedAndTheStatusTells) {
  InstalledProgram program;
  program.scratch().MakeDir("work/folder");
  program.scratch().MakeDir("work/p");
  program.WriteWork("notes.txt", "nothing a reader knows\n");
  program.WriteWork("a.ini", "[SATTYPE]\n1=0130\n2=A\n[DVB]\n0=1\n1=11000,H,27500,34\n");
  program.WriteWork("b.ini", "[SATTYPE]\n1=0192\n2=B\n[DVB]\n0=1\n1=11000,H,27500,34\n");
  // Four lines of one position in two files: a duplicate, a frequency in
  // no band, and a second file that replaces the first.
  program.WriteWork("p/x0130.ini",
                    "[SATTYPE]\n1=0130\n2=X\n[DVB]\n0=3\n1=11000,H,27500,34\n2=11001,H,27500,34\n3=20000,H,27500,34\n");
  program.WriteWork("p/y0130.ini", "[SATTYPE]\n1=0130\n2=Y\n[DVB]\n0=1\n1=12000,V,27500,34\n");
  program.WriteWork("opts.txt", "a.ini /Fromat=e\n");
  program.WriteConfig("[Common]\nPageDelay=0\n[lyngsat]\n0200=http://127.0.0.1:9/unused.html\n");
  // Pages of known sites that give no transponder, and pages whose every
  // way of writing a no-break space reads the same.
  program.WriteWork("kingofsat.html", "<html><head><title>KingOfSat - Astra 19.2E</title></head>\n"
                                      "<body>No frequency table today</body></html>\n");
  program.WriteWork("unreadable.html", ReadFile(TestDataPath("pages/lyngsat/unreadable.html")));
  program.WriteWork("oneline.html", ReadFile(TestDataPath("pages/lyngsat/today-oneline.html")));
  const std::string realPages = "/work/shared/real-data/html/";
  const std::string flysat2020 = ReadFile(realPages + "flysat/satrtv2020_amos.html");
  const std::string lyngsat2020 = ReadFile(realPages + "lyngsat/satrtv2020_Amos-3-7.html");
  auto replaced = [](std::string text, const std::string& what, const std::string& by) {
    for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += by.size()) text.replace(at, what.size(), by);
    return text;
  };
  program.WriteWork("flysat2020.html", flysat2020);
  program.WriteWork("a0-latin1.html", replaced(lyngsat2020, "&nbsp;", "\xA0"));
  program.WriteWork("a0-utf8.html", replaced(lyngsat2020, "&nbsp;", "\xC2\xA0"));
  const std::string unreadable = ", but no transponder could be read from it (its layout may have changed)";
  const std::string work = program.WorkDir();
  const std::string merged = "kavrel: 1 transponders were merged into one already listed within 2 MHz of them";
  const std::string unknown = ": unknown option (kavrel --help lists the options)";
  const std::string notAnOption = ": is not an option; quote a mask such as '*.ini' so that kavrel expands it";
  const std::string badPosition =
      ": cannot read the position: give it in tenths of a degree, east positive and west negative "
      "(such as !l!130 for 13.0E, !l!192 for 19.2E, !l!-50 for 5.0W), or a range such as !l![300w-970e]";
  const std::string badRange =
      ": malformed position range: give [<from>-<to>], each end in tenths of a degree followed by E or W "
      "(such as [130e-282e] or [300w-970e])";
  struct Case {
    std::vector<std::string> arguments;
    std::vector<std::string> errors;
    int exitCode;
    std::string loaded = {};  // the count line, where it matters
  };
  const Case cases[] = {
      {{"a.ini"}, {}, 0},
      {{"typo.ini"}, {"kavrel: typo.ini: no such file"}, 3},
      {{"*.xyz"}, {"kavrel: *.xyz: no file matches"}, 3},
      {{"folder"}, {"kavrel: folder: is a directory"}, 3},
      {{"notes.txt"}, {"kavrel: " + work + "/notes.txt: neither a transponder file nor a page of a known site"}, 3},
      {{"!z!130"}, {"kavrel: !z!130: unknown site letter 'z'"}, 3},
      {{"!l![30x-40e]"}, {"kavrel: !l![30x-40e]" + badRange}, 3},
      {{"!k![130-282]"}, {"kavrel: !k![130-282]" + badRange}, 3},
      {{"!l!13E"}, {"kavrel: !l!13E" + badPosition}, 3},
      {{"!l!19.2"}, {"kavrel: !l!19.2" + badPosition}, 3},
      {{"!l!130"},
       {"kavrel: !l!130: no page address for this position in section [lyngsat] of " + program.ConfigPath()},
       3},
      // Positions without a page are normal in a range: only the summary.
      {{"!l![10e-20e]"}, {"kavrel: !l![10e-20e]: fetched 0 of 0 pages listed for the range"}, 0},
      {{"@list.txt"}, {"kavrel: @list.txt: no such list file"}, 3},
      {{"+a.ini", "/Format=x", "/DVBS2+"}, {}, 0},
      {{"kingofsat.html"}, {"kavrel: " + work + "/kingofsat.html: a page of KingOfSat" + unreadable}, 3},
      {{"unreadable.html"}, {"kavrel: " + work + "/unreadable.html: a page of LyngSat" + unreadable}, 3,
       "0 transponders loaded"},
      {{"flysat2020.html"}, {"kavrel: " + work + "/flysat2020.html: a page of FlySat" + unreadable}, 3},
      // Rows read but all refused by the options are no failure.
      {{"oneline.html", "/MinSR=40000"}, {}, 0, "0 transponders loaded"},
      {{"a0-latin1.html", "/DVBS2+", "/DSS+", "/Format=e"}, {merged}, 0, "46 transponders loaded"},
      {{"a0-utf8.html", "/DVBS2+", "/DSS+", "/Format=e"}, {merged}, 0, "46 transponders loaded"},
      // Arguments that cannot be read are named in the order given; the
      // run goes on without them.
      {{"a.ini", "/Fromat=e", "-f", "/MinSR=abc", "b.ini"},
       {"kavrel: /Fromat=e" + unknown, "kavrel: -f" + unknown,
        "kavrel: /MinSR=abc: the symbol rate is not a whole number (such as /MinSR=27500)",
        "kavrel: b.ini" + notAnOption},
       2},
      {{"a.ini", work + "/b.ini"}, {"kavrel: " + work + "/b.ini" + notAnOption}, 2},
      {{"a.ini", "--format=e"}, {"kavrel: --format=e: unknown option; options begin with \"/\", such as /format=e"}, 2},
      {{"a.ini", "Format=e"}, {"kavrel: Format=e: is not an option; options begin with \"/\", such as /Format=e"}, 2},
      {{"a.ini", "/Format=z"}, {"kavrel: /Format=z: unknown format; /Format= takes one of x, d, i1, i2, i3, t, k, e, v"}, 2},
      {{"a.ini", "/Ku-", "/C-", "/Fromat=e"}, {"kavrel: /Fromat=e" + unknown}, 2},
      {{"a.ini", "--help"}, {"kavrel: --help: is only understood as the one argument"}, 2},
      {{"a.ini", "/DVBS2"}, {"kavrel: /DVBS2: takes + or - (such as /DVBS2+)"}, 2},
      {{"typo.ini", "/Fromat=e"}, {"kavrel: /Fromat=e" + unknown, "kavrel: typo.ini: no such file"}, 3},
      {{"@opts.txt"}, {"kavrel: @opts.txt: /Fromat=e" + unknown}, 2},
      // Notes change no status.
      {{"p/*.ini"},
       {"kavrel: 1 transponders were not admitted: their band or polarization is not accepted "
        "(Ku 10700-12750 MHz and C 3400-4199 MHz by /Ku and /C, /Linear, /Circular)",
        "kavrel: 1 transponders were merged into one already listed within 2 MHz of them",
        "kavrel: 13.0E: the list read before was replaced by the later input p/y0130.ini; "
        "a leading \"+\" on the input merges them"},
       0},
      {{"--help", "a.ini"}, {"kavrel: --help takes no other arguments"}, 1},
      {{"--version=2"}, {"kavrel: --version takes no value"}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments[0] + (c.arguments.size() > 1 ? " " + c.arguments[1] : ""));
    ProgramResult result = program.Run(c.arguments);
    EXPECT_EQ(Lines(result.err), c.errors);
    EXPECT_EQ(result.exitCode, c.exitCode);
    // Standard output ends as it always has, whatever went wrong.
    if (c.exitCode != 1) {
      std::string last = Lines(result.out).back();
      EXPECT_TRUE(last == "All done" || last == "Nothing to do") << last;
    }
    if (!c.loaded.empty()) {
      EXPECT_EQ(Lines(result.out).at(2), c.loaded);
    }
    // A format it cannot read stays a parameter error on standard output.
    EXPECT_EQ(result.out.find("Error in parameters - /Format=z\n") != std::string::npos,
              c.arguments.back() == "/Format=z");
    for (const std::string& name : program.WorkNames()) {
      if (name.ends_with(".xml") || name == "0130.ini" || name == "0192.ini") std::remove(program.Work(name).c_str());
    }
  }
  std::remove(program.ConfigPath().c_str());
  for (const char* input : {"!l!130", "!l![10e-20e]"}) {
    ProgramResult unconfigured = program.Run({input});
    EXPECT_EQ(unconfigured.err, "kavrel: " + std::string(input) + ": no configuration file at " +
                                    program.ConfigPath() + "\n");
    EXPECT_EQ(unconfigured.exitCode, 3);
  }

  ProgramResult version = program.Run({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  std::vector<std::string> lines = Lines(version.out);
  ASSERT_EQ(lines.size(), 3u) << version.out;
  EXPECT_TRUE(lines[0].starts_with("kavrel ") && lines[1].starts_with("zlib ") && lines[2].starts_with("OpenSSL "))
      << version.out;
  for (const char* help : {"--help", "-h"}) {
    ProgramResult result = program.Run({help});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.out.find("Usage1: kavrel"), std::string::npos);
    EXPECT_NE(result.out.find("man kavrel"), std::string::npos);
    // Every format where the formats are listed; examples as a shell needs them.
    EXPECT_NE(result.out.find("/Format=<i1|i2|i3|x|d|t|k|e|v>"), std::string::npos);
    EXPECT_NE(result.out.find("    kavrel '!l!130'\n"), std::string::npos);
    EXPECT_EQ(result.out.find("http://"), std::string::npos);
    EXPECT_NE(result.out.find("3 no input gave anything"), std::string::npos);
  }
}

TEST(HonestCli, AnyKavrelTakesTheConfigurationKavrelConfigNames) {
  InstalledProgram program;
  program.WriteWork("a.ini", "[SATTYPE]\n1=0130\n2=A\n[DVB]\n0=1\n1=11000,H,27500,34\n");
  program.scratch().MakeDir("elsewhere");
  const std::string chosen = program.scratch().At("elsewhere/my.ini");
  ::setenv("KAVREL_CONFIG", chosen.c_str(), 1);
  ProgramResult saved = program.Run({"a.ini", "/Format=x", "/S"});
  ::setenv("KAVREL_CONFIG", program.scratch().At("elsewhere").c_str(), 1);
  ProgramResult directory = program.Run({"a.ini", "/S"});
  ::unsetenv("KAVREL_CONFIG");
  EXPECT_EQ(saved.exitCode, 0) << saved.err;
  EXPECT_NE(program.scratch().Read("elsewhere/my.ini").find("SaveFormat=xml\n"), std::string::npos);
  EXPECT_FALSE(program.scratch().Exists("bin/kavrel.ini"));
  EXPECT_EQ(directory.exitCode, 1);
  EXPECT_EQ(directory.err, "kavrel: KAVREL_CONFIG names a directory, not a configuration file: " +
                               program.scratch().At("elsewhere") + "\n");
  EXPECT_FALSE(program.WorkExists("0130.ini"));
}

}  // namespace
}  // namespace kavrel::testing
