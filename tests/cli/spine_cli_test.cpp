// End-to-end runs of the built program: INI files in, filtered INI files
// out, with the options, list files and messages users see.
#include <gtest/gtest.h>

#include "app/main_program.h"
#include "support/program.h"

namespace kavrel::testing {
namespace {

const std::string kBannerLine = "---- Kavrel v2.45b ----";

std::string Ini(const std::string& position, const std::string& name, const std::vector<std::string>& lines) {
  std::string text = "[SATTYPE]\n1=" + position + "\n2=" + name + "\n[DVB]\n0=" + std::to_string(lines.size()) + "\n";
  for (size_t i = 0; i < lines.size(); ++i) text += std::to_string(i + 1) + "=" + lines[i] + "\n";
  return text;
}

TEST(Cli, UsageWithoutArguments) {
  InstalledProgram program;
  ProgramResult result = program.Run({});
  EXPECT_EQ(result.exitCode, 0);
  std::vector<std::string> lines = Lines(result.out);
  ASSERT_EQ(lines.size(), 69u);
  EXPECT_EQ(lines[0], kBannerLine);
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[2], "Usage1: kavrel [+]<html_file or filemask> [options]");
  EXPECT_TRUE(result.err.empty());
  EXPECT_TRUE(program.WorkNames().empty());
}

TEST(Cli, ConvertsAndFiltersIniFiles) {
  InstalledProgram program;
  program.WriteWork("hotbird.ini", Ini("0130", "Hot Bird 13E (13.0E)",
                                       {"10719,V,27500,56", "10758,V,27500,34,S2", "11747000,H,27500000,34",
                                        "3725,L,2170,34", "11000,H,1000,34"}));
  program.WriteWork("astra.INI", Ini("0192", "Astra 19.2E", {"11914,H,27500,910", "12000,V,22000"}));
  program.WriteWork("0130.ini", "the user's own file");
  ProgramResult result = program.Run({"*", "/Format=i2", "/MinSR=2000", "/C-"});
  // The user's own file is no transponder file: said, and the rest is written.
  ASSERT_EQ(result.exitCode, 2) << result.err;
  std::string work = program.WorkDir();
  EXPECT_EQ(Lines(result.out),
            (std::vector<std::string>{kBannerLine, "Loading INI file (" + work + "/0130.ini)...", " 0 transponders loaded",
                                      "Loading INI file (" + work + "/astra.INI)...", "Astra 19.2E 2 transponders loaded",
                                      "Loading INI file (" + work + "/hotbird.ini)...",
                                      "Hot Bird 13E 3 transponders loaded", "Writting INI file(s)...",
                                      "Creating " + work + "/0130(1).ini...", "Creating " + work + "/0192.ini...",
                                      "All done"}));
  EXPECT_EQ(program.ReadWork("0130.ini"), "the user's own file");
  EXPECT_EQ(program.ReadWork("0130(1).ini"),
            "[SATTYPE]\n1=0130\n2=Hot Bird 13E\n[DVB]\n0=3\n1=10719,V,27500,56\n2=10758,V,27500,34,S2\n"
            "3=11747,H,27500,12\n");
  EXPECT_EQ(program.ReadWork("0192.ini"),
            "[SATTYPE]\n1=0192\n2=Astra 19.2E\n[DVB]\n0=2\n1=11914,H,27500,910\n2=12000,V,22000,12\n");
  EXPECT_EQ(result.err, "kavrel: " + work + "/0130.ini: holds no satellite: the file is empty or not of its kind\n"
                        "kavrel: 1 transponders were not admitted: their band or polarization is not accepted "
                        "(Ku 10700-12750 MHz and C 3400-4199 MHz by /Ku and /C, /Linear, /Circular)\n");
}

TEST(Cli, MergingAndConversions) {
  InstalledProgram program;
  program.WriteWork("a.ini", Ini("0900", "Yamal", {"3725,L,27500,34", "11000,H,27500,34"}));
  program.WriteWork("b.ini", Ini("0900", "Yamal 201", {"11175,H,22000,34", "12000,R,27500,34"}));
  program.WriteWork("list.txt", "a.ini /ConvCBand+ /ConvCircular+\n+b.ini /ConvCircular+\n");
  ProgramResult result = program.Run({"@list.txt"});
  ASSERT_EQ(result.exitCode, 0);
  // 3725 L is stored as 11175 H and then updated by b.ini's 11175 H; 12000 R
  // is stored as V; the longer name wins under "+".
  EXPECT_EQ(program.ReadWork("0900.ini"),
            "[SATTYPE]\n1=0900\n2=Yamal 201\n[DVB]\n0=3\n1=11000,H,27500,34\n2=11175,H,22000,34\n"
            "3=12000,V,27500,34\n");
}

TEST(Cli, ListFileLastLineDecidesTheFormat) {
  InstalledProgram program;
  program.WriteWork("a.ini", Ini("0130", "A", {"11000,H,27500,34", "11100,V,27500,34,S2"}));
  program.WriteWork("list.txt", "a.ini /Format=i1\nmissing.ini /Format=i3\n");
  ProgramResult result = program.Run({"@list.txt", "/Format=i2"});
  ASSERT_EQ(result.exitCode, 2);
  EXPECT_EQ(result.err, "kavrel: missing.ini: no such file\n");
  EXPECT_EQ(program.ReadWork("0130.ini"),
            "[SATTYPE]\n1=0130\n2=A\n[DVB]\n0=1\n1=11000,H,27500,34\n[DVBS2]\n0=1\n1=11100,V,27500,34\n");
  // A missing list file leaves an empty catalogue, written as always, and
  // the exit status says that no input gave anything.
  ProgramResult none = program.Run({"@nothing.txt"});
  EXPECT_EQ(none.exitCode, 3);
  EXPECT_EQ(none.err, "kavrel: @nothing.txt: no such list file\n");
  EXPECT_EQ(Lines(none.out), (std::vector<std::string>{kBannerLine, "Writting INI file(s)...", "All done"}));
}

TEST(Cli, ParameterErrorsAndTheSanityCheck) {
  InstalledProgram program;
  ProgramResult errors = program.Run({"nothing.ini", "/Ku*", "/Format=q", "/Verbose"});
  EXPECT_EQ(errors.exitCode, 3);
  EXPECT_EQ(errors.err,
            "kavrel: /Ku*: takes + or - (such as /Ku+)\n"
            "kavrel: /Format=q: unknown format; /Format= takes one of x, d, i1, i2, i3, t, k, e, v\n"
            "kavrel: /Verbose: unknown option (kavrel --help lists the options)\n"
            "kavrel: nothing.ini: no such file\n");
  EXPECT_EQ(Lines(errors.out),
            (std::vector<std::string>{kBannerLine, "Error in parameters - /Format=q", "Error in parameters - /Ku*",
                                      "Writting INI file(s)...", "All done"}));

  program.WriteWork("a.ini", Ini("0130", "A", {"11000,H,27500,34"}));
  for (auto options : {std::vector<std::string>{"a.ini", "/Ku-", "/C-"},
                       std::vector<std::string>{"a.ini", "/Linear-", "/Circular-", "/S"}}) {
    ProgramResult refused = program.Run(options);
    EXPECT_EQ(refused.exitCode, 0);
    EXPECT_EQ(Lines(refused.out), (std::vector<std::string>{kBannerLine, "Incompartible parameters", "Nothing to do"}));
  }
  EXPECT_EQ(program.WorkNames(), std::vector<std::string>{"a.ini"});
  EXPECT_FALSE(program.scratch().Exists("bin/kavrel.ini"));

  // "/S" alone is the input, not an option.
  ProgramResult lone = program.Run({"/S"});
  EXPECT_EQ(Lines(lone.out), (std::vector<std::string>{kBannerLine, "Writting INI file(s)...", "All done"}));
}

TEST(Cli, UnwritableOutputEndsTheRunWithExitOne) {
  InstalledProgram program;
  program.WriteWork("a.ini", Ini("0130", "A", {"11000,H,27500,34"}));
  // Nobody, root included, can create files in /proc.
  ProgramResult result = RunProcess(program.BinaryPath(), {program.Work("a.ini")}, "/proc", 60);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.err, "Unable to write to /proc/0130.ini\n");
  EXPECT_EQ(Lines(result.out).back(), "Creating /proc/0130.ini...");
}

TEST(ConfigPath, BesideTheProgramWithItsFirstNamePart) {
  EXPECT_EQ(ConfigPathFor("/opt/kavrel/kavrel"), "/opt/kavrel/kavrel.ini");
  EXPECT_EQ(ConfigPathFor("/x/my.tool"), "/x/my.ini");
  EXPECT_EQ(ConfigPathFor("/x/a.b.c"), "/x/a.ini");
  EXPECT_EQ(ConfigPathFor("kavrel"), "kavrel.ini");
}

}  // namespace
}  // namespace kavrel::testing
