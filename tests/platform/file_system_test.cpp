#include "platform/file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/fatal_error.h"
#include "platform/line_reader.h"
#include "support/scratch_dir.h"

namespace kavrel {
namespace {

TEST(FileMasks, StarAndQuestionMarkOnly) {
  EXPECT_TRUE(MaskMatches("*.ini", "0130.ini"));
  EXPECT_TRUE(MaskMatches("*.ini", ".ini"));
  EXPECT_FALSE(MaskMatches("*.ini", "0130.INI"));  // letter case counts
  EXPECT_TRUE(MaskMatches("01?0.*", "0130.xml"));
  EXPECT_FALSE(MaskMatches("01?0.*", "010.xml"));
  EXPECT_TRUE(MaskMatches("[a].ini", "[a].ini"));  // brackets are plain bytes
  EXPECT_FALSE(MaskMatches("[a].ini", "a.ini"));
  EXPECT_TRUE(MaskMatches("*a*b*c", "xxaxxbxxbxc"));
  EXPECT_FALSE(MaskMatches("", "a"));
  // A hostile mask stays fast.
  EXPECT_FALSE(MaskMatches(std::string(50, '*') + "b", std::string(100000, 'a')));
}

TEST(FileMasks, FindsFilesInByteOrder) {
  testing::ScratchDir dir;
  for (const char* name : {"b.ini", "a.ini", ".hidden.ini", "B.ini", "c.txt"}) dir.Write(name, "");
  dir.MakeDir("d.ini");
  ASSERT_EQ(::mkfifo(dir.At("fifo.ini").c_str(), 0600), 0);
  EXPECT_EQ(FindMatchingNames(dir.path(), "*.ini"),
            (std::vector<std::string>{".hidden.ini", "B.ini", "a.ini", "b.ini"}));
  EXPECT_EQ(FindMatchingNames(dir.path() + "/", "a.ini"), std::vector<std::string>{"a.ini"});
  EXPECT_TRUE(FindMatchingNames(dir.At("missing"), "*").empty());
}

TEST(Paths, DirectoryAndNameParts) {
  EXPECT_EQ(DirectoryPart("saved/pages/a.html"), "saved/pages/");
  EXPECT_EQ(NamePart("saved/pages/a.html"), "a.html");
  EXPECT_EQ(DirectoryPart("a.html"), "");
  EXPECT_EQ(DirectoryPart("/a"), "/");
}

TEST(OutputFile, CreatesExclusivelyAndTakesTheNextFreeName) {
  testing::ScratchDir dir;
  dir.Write("out.dat", "user data");
  auto nameFor = [&dir](int64_t i) { return dir.At(i == 0 ? "out.dat" : "out(" + std::to_string(i) + ").dat"); };
  OutputFile first = OutputFile::CreateUnique(nameFor);
  first.Write("abc");
  first.Close();
  EXPECT_EQ(dir.Read("out.dat"), "user data");
  EXPECT_EQ(dir.Read("out(1).dat"), "abc");
  EXPECT_THROW(OutputFile::CreateExclusive(dir.At("out.dat")), FatalError);
  {
    OutputFile abandoned = OutputFile::CreateExclusive(dir.At("half.dat"));
    abandoned.Write("partial");
  }  // never closed: the half-written file is ours and goes
  EXPECT_FALSE(dir.Exists("half.dat"));
}

TEST(ReplaceFileAtomically, ReplacesOrLeavesTheOldFile) {
  testing::ScratchDir dir;
  dir.Write("c.ini", "old");
  ReplaceFileAtomically(dir.At("c.ini"), "new");
  EXPECT_EQ(dir.Read("c.ini"), "new");
  EXPECT_THROW(ReplaceFileAtomically(dir.At("no/c.ini"), "x"), FatalError);
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"c.ini"});
  // Behind a link, the file it points at is replaced and the link stays.
  std::filesystem::create_symlink(dir.At("c.ini"), dir.At("link.ini"));
  ReplaceFileAtomically(dir.At("link.ini"), "through the link");
  EXPECT_TRUE(std::filesystem::is_symlink(dir.At("link.ini")));
  EXPECT_EQ(dir.Read("c.ini"), "through the link");

  // A configuration may hold a password: a new one is its owner's alone,
  // an existing one keeps the mode its owner gave it.
  namespace fs = std::filesystem;
  ReplaceFileAtomically(dir.At("new.ini"), "ProxyPassword=x");
  EXPECT_EQ(fs::status(dir.At("new.ini")).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  fs::permissions(dir.At("c.ini"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ReplaceFileAtomically(dir.At("c.ini"), "again");
  EXPECT_EQ(fs::status(dir.At("c.ini")).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(LineReader, PageLinesTextLinesAndWholeLines) {
  std::string_view bytes = "ab\r\ncd\na\rb\n\nlast";
  LineReader page(bytes);
  std::vector<std::string> lines;
  while (!page.AtEnd()) lines.push_back(page.ReadPageLine());
  EXPECT_EQ(lines, (std::vector<std::string>{"ab", "cd", "ab", "", "last"}));
  EXPECT_EQ(page.ReadPageLine(), "");  // past the end: empty lines

  LineReader text(bytes);
  lines.clear();
  while (!text.AtEnd()) lines.push_back(text.ReadTextLine());
  EXPECT_EQ(lines, (std::vector<std::string>{"ab", "cd", "a\rb", "", "last"}));

  // Only lines that end in LF are whole; the rest of the text goes with
  // the line that is not.
  LineReader whole(bytes);
  lines.clear();
  while (std::optional<std::string> line = whole.ReadWholeLine()) lines.push_back(*line);
  EXPECT_EQ(lines, (std::vector<std::string>{"ab", "cd", "ab", ""}));
  EXPECT_TRUE(whole.AtEnd());
  LineReader raw(bytes);
  EXPECT_EQ(raw.Take(3), "ab\r");
  EXPECT_EQ(raw.ReadTextLine(), "");
  EXPECT_EQ(raw.Take(100), "cd\na\rb\n\nlast");
  EXPECT_TRUE(raw.AtEnd());
}

}  // namespace
}  // namespace kavrel
