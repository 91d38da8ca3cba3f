#include "app/config_location.h"

#include <gtest/gtest.h>

#include <map>

#include "support/memory_run.h"
#include "support/scratch_dir.h"

namespace kavrel {
namespace {

TEST(ConfigLocation, BesideABuiltProgramPerUserForAnInstalledOne) {
  testing::ScratchDir dir;
  dir.MakeDir("build");
  for (const char* made : {"usr", "usr/bin", "usr/share", "usr/share/kavrel", "bare", "bare/bin", "bare/share",
                           "bare/share/kavrel", "home", "xdg", "kept", "kept/kavrel"}) {
    dir.MakeDir(made);
  }
  dir.Write("usr/share/kavrel/kavrel.ini", "[lyngsat]\n0130=https://x/130.html\n");
  dir.Write("kept/kavrel/kavrel.ini", "[Common]\nMine=1\n");
  dir.Write("plain", "a file where a directory should be");
  const std::string installed = dir.At("usr/bin/kavrel");
  struct Case {
    std::string label, program;
    std::map<std::string, std::string> environment;
    std::string path, error, note;  // "" where nothing is expected; path "*" = any
    std::string contents;          // of the file at `path` afterwards
  };
  const Case cases[] = {
      {"built", dir.At("build/kavrel"), {{"HOME", dir.At("home")}}, dir.At("build/kavrel.ini"), "", "", ""},
      {"chosen", installed, {{"KAVREL_CONFIG", dir.At("any.ini")}}, dir.At("any.ini"), "", "", ""},
      {"xdg", installed, {{"XDG_CONFIG_HOME", dir.At("xdg")}, {"HOME", dir.At("home")}},
       dir.At("xdg/kavrel/kavrel.ini"), "", "", "[lyngsat]\n0130=https://x/130.html\n"},
      {"relative xdg", installed, {{"XDG_CONFIG_HOME", "xdg"}, {"HOME", dir.At("home")}},
       dir.At("home/.config/kavrel/kavrel.ini"), "", "", "[lyngsat]\n0130=https://x/130.html\n"},
      {"kept", installed, {{"XDG_CONFIG_HOME", dir.At("kept")}}, dir.At("kept/kavrel/kavrel.ini"), "", "",
       "[Common]\nMine=1\n"},
      {"no home", installed, {}, "*", "neither XDG_CONFIG_HOME nor HOME", "", ""},
      {"no template", dir.At("bare/bin/kavrel"), {{"HOME", dir.At("xdg")}}, "*", "",
       "cannot read the configuration template", ""},
      {"unwritable", installed, {{"XDG_CONFIG_HOME", dir.At("plain")}}, "*", "", "cannot create", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ConfigLocation location = LocateConfiguration(c.program, [&](const char* name) -> const char* {
      auto found = c.environment.find(name);
      return found == c.environment.end() ? nullptr : found->second.c_str();
    });
    if (c.path != "*") {
      EXPECT_EQ(location.path, c.path);
    }
    // Empty where nothing is expected, else beginning with the expected words.
    EXPECT_TRUE(c.error.empty() ? location.error.empty() : location.error.starts_with(c.error)) << location.error;
    EXPECT_TRUE(c.note.empty() ? location.note.empty() : location.note.starts_with(c.note)) << location.note;
    if (!c.contents.empty()) {
      EXPECT_EQ(testing::ReadFile(location.path), c.contents);
    }
  }
}

TEST(ConfigLocation, PageCacheFollowsTheSameRule) {
  testing::ScratchDir dir;
  for (const char* made : {"usr", "usr/bin", "usr/share", "usr/share/kavrel"}) dir.MakeDir(made);
  const std::string installed = dir.At("usr/bin/kavrel"), built = dir.At("build/kavrel");
  struct Case {
    std::string program;
    std::map<std::string, std::string> environment;
    std::string folder;
  };
  const Case cases[] = {
      {built, {{"XDG_CACHE_HOME", "/x"}}, dir.At("build/cache/pages")},
      {installed, {{"XDG_CACHE_HOME", "/x/"}, {"HOME", "/h"}}, "/x/kavrel/pages"},
      {installed, {{"XDG_CACHE_HOME", "x"}, {"HOME", "/h"}}, "/h/.cache/kavrel/pages"},
      {installed, {{"KAVREL_CACHE", "/c/"}, {"HOME", "/h"}}, "/c/pages"},
      {built, {{"KAVREL_CACHE", "c"}}, "c/pages"},
      {installed, {}, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LocatePageCache(c.program,
                              [&](const char* name) -> const char* {
                                auto found = c.environment.find(name);
                                return found == c.environment.end() ? nullptr : found->second.c_str();
                              }),
              c.folder);
  }
}

}  // namespace
}  // namespace kavrel
