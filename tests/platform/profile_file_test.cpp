#include "platform/profile_file.h"

#include <gtest/gtest.h>

#include "platform/fatal_error.h"
#include "support/scratch_dir.h"

namespace kavrel {
namespace {

TEST(ProfileDocument, ReadsLikeTheProfileFunctions) {
  ProfileDocument document(
      "; comment\r\n"
      "orphan=1\r\n"
      "[Common]\r\n"
      "  AcceptKu  =  off  \r\n"
      "Quoted=\"a b\"\r\n"
      "; Hidden=1\r\n"
      "noequals\r\n"
      "AcceptKu=on\r\n"
      "[ lyngsat ]\n"
      "0130=http://x/y.html\n"
      "[Common]\n"
      "Late=1\n");
  EXPECT_EQ(document.Find("COMMON", "acceptku"), "off");  // first occurrence counts
  EXPECT_EQ(document.Find("Common", "Quoted"), "\"a b\"");  // quotes stay
  EXPECT_FALSE(document.Find("Common", "Hidden"));
  EXPECT_FALSE(document.Find("Common", "orphan"));
  EXPECT_FALSE(document.Find("Common", "Late"));  // only the first section counts
  EXPECT_EQ(document.Find("LyngSat", "0130"), "http://x/y.html");
  EXPECT_FALSE(document.Find("lyngsat", "130"));

  ProfileDocument longValue("[s]\nk=" + std::string(3000, 'v') + "\n");
  EXPECT_EQ(longValue.Find("s", "k")->size(), 2047u);
}

TEST(ProfileDocument, WritesInPlaceAndInOrder) {
  ProfileDocument document("; keep me\n[A]\nx=1\n\n; note\n[B]\ny=2\n");
  document.Set("a", "X", "10");      // replaced in place
  document.Set("A", "z", "3");       // after the last key of its section
  document.Set("C", "w", "4");       // new section at the end
  document.Set("C", "w", "5");       // written twice: one line
  document.Set("B", "y", "");
  EXPECT_EQ(document.Text(), "; keep me\n[A]\nX=10\nz=3\n\n; note\n[B]\ny=\n[C]\nw=5\n");

  ProfileDocument fresh;
  fresh.Set("SATTYPE", "1", "0130");
  fresh.Set("SATTYPE", "2", "Example Sat");
  fresh.Set("DVB", "0", "0");
  fresh.Set("DVB", "1", "10719,V,27500,56");
  fresh.Set("DVB", "0", "1");
  EXPECT_EQ(fresh.Text(), "[SATTYPE]\n1=0130\n2=Example Sat\n[DVB]\n0=1\n1=10719,V,27500,56\n");
}

TEST(TIniFile, ReadsWritesAndNoticesChanges) {
  testing::ScratchDir dir;
  TIniFile file(dir.At("config.ini"));
  EXPECT_EQ(file.ReadString("Common", "MinSR", "dflt"), "dflt");
  EXPECT_FALSE(dir.Exists("config.ini"));  // reading creates nothing

  for (std::string_view value : {"-5", "0x1F"}) {
    ProfileDocument document = file.Load();
    document.Set("Common", "MinSR", value);
    file.Replace(document);
  }
  EXPECT_EQ(dir.Read("config.ini"), "[Common]\nMinSR=0x1F\n");
  EXPECT_EQ(file.ReadString("Common", "MinSR", ""), "0x1F");

  dir.Write("config.ini", "[Common]\nMinSR=12abc\nMaxSR=200\n");
  EXPECT_EQ(file.ReadString("Common", "MaxSR", ""), "200");
  dir.Write("config.ini", "[Common]\nMaxSR=300\n");  // a changed file is read again
  EXPECT_EQ(file.ReadString("Common", "MaxSR", ""), "300");
  // No temporary files are left beside it.
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"config.ini"});
}

TEST(TIniFile, RefusedWriteEndsTheRunAndKeepsTheFile) {
  testing::ScratchDir dir;
  TIniFile missingDirectory(dir.At("nowhere/config.ini"));
  try {
    missingDirectory.Replace(ProfileDocument("[Common]\nk=v\n"));
    FAIL() << "expected an error";
  } catch (const FatalError& error) {
    EXPECT_EQ(std::string(error.what()), "Unable to write to " + dir.At("nowhere/config.ini"));
  }
  // A directory in the file's place cannot be replaced either.
  dir.MakeDir("taken.ini");
  EXPECT_THROW(TIniFile(dir.At("taken.ini")).Replace(ProfileDocument("[A]\nb=c\n")), FatalError);
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"taken.ini"});
}

}  // namespace
}  // namespace kavrel
