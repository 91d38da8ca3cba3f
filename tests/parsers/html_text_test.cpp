#include "parsers/html_text.h"

#include <gtest/gtest.h>

#include "acquisition/input_dispatch.h"
#include "page_test_support.h"
#include "parsers/page_common.h"
#include "platform/line_reader.h"
#include "support/memory_run.h"
#include "support/scratch_dir.h"

namespace kavrel::testing {
namespace {

TEST(HtmlText, EveryNoBreakSpaceIsOneBlankButOtherCharactersStay) {
  struct Case {
    std::string text;
    TextEncoding encoding;
    std::string blanked;
  };
  const Case cases[] = {
      {"10719&nbsp;V|&NBSP;|&#160;|&#xA0;|&#xa0;", TextEncoding::kLatin1, "10719 V| | | | "},
      {"a\xA0" "b\xC2\xA0" "c", TextEncoding::kLatin1, "a b c"},
      {"a\xA0" "b\xC2\xA0" "c", TextEncoding::kUtf8, "a\xA0" "b c"},
      // "à" is C3 A0 in UTF-8: its second byte is no blank.
      {"Voil\xC3\xA0 TV", TextEncoding::kUtf8, "Voil\xC3\xA0 TV"},
      {"&amp; &nb &#16; &#xA; &", TextEncoding::kLatin1, "&amp; &nb &#16; &#xA; &"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BlankNoBreakSpaces(c.text, c.encoding), c.blanked) << c.text;
  }
}

// The readers of every site, old markup and new, take each spelling of a
// no-break space where they split a field at a blank.
TEST(HtmlText, EveryPageReaderTakesEveryNoBreakSpaceAsABlank) {
  struct Case {
    SiteType site;
    std::string path;
    std::vector<std::string> blankedFields;  // written with a plain blank
  };
  const std::string examples = std::string(KAVREL_SOURCE_DIR) + "/examples/";
  const Case cases[] = {
      {kSiteLyngSat, examples + "lyngsat-sample.html", {"11229 V", "11244 H"}},
      {kSiteFlySat, examples + "flysat-sample.html", {"11034 V", "27500 3/4"}},
      {kSiteKingOfSat, examples + "kingofsat-sample.html", {"10972.00&nbsp;H"}},
      {kSiteLyngSat, PagePath("lyngsat", "today.html"), {"10719&nbsp;V", "11747<font size=1>.50</font>&nbsp;H"}},
      {kSiteKingOfSat, PagePath("kingofsat", "today.html"), {"Mb/s&nbsp;"}},
      {kSiteSatcoDX, PagePath("satcodx", "grouped.html"), {"11.229 V", "11.259 V"}},
  };
  for (const Case& c : cases) {
    std::string original = ReadFile(c.path);
    ASSERT_FALSE(original.empty()) << c.path;
    MemoryRun reference;
    reference.run.options.AcceptedKinds = KindSet{kKindDvbS, kKindDvbS2, kKindDss};
    (void)ParsePage(reference.run.sink, SourceText{"p", original}, c.site);
    ASSERT_GT(reference.run.sink.OfferedOnPage(), 0u) << c.path;
    std::vector<std::string> expected = Described(reference, 0);
    bool utf8 = PageTextEncoding(original) == TextEncoding::kUtf8;
    for (std::string blank : {"&nbsp;", "&#160;", "&#xA0;", "\xC2\xA0", "\xA0"}) {
      if (utf8 && blank == "\xA0") continue;
      std::string page = original;
      for (const std::string& field : c.blankedFields) {
        std::string respelled = field;
        size_t at = respelled.find("&nbsp;");
        if (at != std::string::npos) {
          respelled.replace(at, 6, blank);
        } else {
          respelled.replace(respelled.find(' '), 1, blank);
        }
        for (size_t p = 0; (p = page.find(field, p)) != std::string::npos; p += respelled.size()) {
          page.replace(p, field.size(), respelled);
        }
      }
      SCOPED_TRACE(c.path + " with " + blank);
      MemoryRun memory;
      memory.run.options.AcceptedKinds = KindSet{kKindDvbS, kKindDvbS2, kKindDss};
      EXPECT_EQ(ParsePage(memory.run.sink, SourceText{"p", page}, c.site), ProducerResult::kRead);
      EXPECT_EQ(Described(memory, 0), expected);
    }
  }
}

TEST(HtmlText, StripTagsDropsTagsAndStrayBrackets) {
  EXPECT_EQ(StripTags("a<b>c</b>d"), "acd");
  EXPECT_EQ(StripTags("x > y"), "x  y");
  EXPECT_EQ(StripTags("a<b"), "a");
  EXPECT_EQ(StripTags("&nbsp;"), "&nbsp;");
  EXPECT_EQ(StripTags("a<b<c>d"), "ad");  // a "<" inside a tag changes nothing
  EXPECT_EQ(StripTags(""), "");
  EXPECT_EQ(StripTags(std::string("a\0<x>b", 6)), std::string("a\0b", 3));
}

TEST(HtmlText, ParseTenthsReadsDegreesWithAPoint) {
  EXPECT_EQ(ParseTenths("19.2"), 192);
  EXPECT_EQ(ParseTenths("19"), 190);
  EXPECT_EQ(ParseTenths("0.8"), 8);
  EXPECT_EQ(ParseTenths(""), 0);
  EXPECT_EQ(ParseTenths("x.5"), 5);
  EXPECT_EQ(ParseTenths(" 13.0"), 130);
  EXPECT_EQ(ParseTenths("13.0 "), 130);  // "0 " is no number: the tenths count 0
  EXPECT_EQ(ParseTenths("7.25"), 95);    // the digits after the point are added as they stand
  // Absurd texts never overflow.
  EXPECT_EQ(ParseTenths("2147483647.0"), static_cast<int32_t>(21474836470LL));
}

TEST(HtmlText, ParseThousandthsNeedsTheDecimalComma) {
  EXPECT_EQ(ParseThousandths("11,727"), 11727);
  EXPECT_EQ(ParseThousandths("3,875"), 3875);
  EXPECT_EQ(ParseThousandths("11727"), 0);
  EXPECT_EQ(ParseThousandths("11,72x"), 11000);
  EXPECT_EQ(ParseThousandths(",5"), 5);
  EXPECT_EQ(ParseThousandths(""), 0);
}

TEST(HtmlText, CutToFirstCellAndTakeCellWalkARow) {
  std::string row = "lead <td a>V</td><td b>27500</td>";
  CutToFirstCell(row);
  EXPECT_EQ(row, "<td a>V</td><td b>27500</td>");
  std::string cell;
  TakeCell(row, cell);
  EXPECT_EQ(cell, "V");
  EXPECT_EQ(row, "<td b>27500</td>");
  TakeCell(row, cell);
  EXPECT_EQ(cell, "27500");
  EXPECT_EQ(row, "");
  TakeCell(row, cell);  // nothing left: neither changes
  EXPECT_EQ(cell, "27500");
  EXPECT_EQ(row, "");

  std::string noCell = "no cells here";
  CutToFirstCell(noCell);
  EXPECT_EQ(noCell, "no cells here");

  std::string noBlank = "<td>V</td>";
  cell = "before";
  TakeCell(noBlank, cell);
  EXPECT_EQ(noBlank, "<td>V</td>");
  EXPECT_EQ(cell, "before");

  // A "</td>" before the "<td " gives an empty cell and still moves on.
  std::string closedFirst = "x</td><td c>H</td>";
  TakeCell(closedFirst, cell);
  EXPECT_EQ(cell, "");
  EXPECT_EQ(closedFirst, "<td c>H</td>");
}

TEST(HtmlText, TransliterationCoversTheCyrillicAlphabet) {
  EXPECT_EQ(Transliterate("\xDF\xEC\xE0\xEB"), "Yamal");  // Windows-1251 bytes of the name
  EXPECT_EQ(Transliterate("ABC 123"), "ABC 123");
  EXPECT_EQ(Transliterate(""), "");
  std::string capitals, smalls;
  for (int code = 192; code < 224; ++code) {
    capitals += TransliterateChar(static_cast<unsigned char>(code));
    smalls += TransliterateChar(static_cast<unsigned char>(code + 32));
  }
  EXPECT_EQ(capitals, "ABVGDEZhZIJKLMNOPRSTUFHTsChShSch'Y'EYuYa");
  EXPECT_EQ(smalls, "abvgdezhzijklmnoprstufhtschshsch'y'eyuya");
  EXPECT_EQ(TransliterateChar(168), "Yo");
  EXPECT_EQ(TransliterateChar(184), "yo");
  // Signs and punctuation of the upper half stand for themselves.
  EXPECT_EQ(TransliterateChar(169), "\xA9");
  EXPECT_EQ(TransliterateChar(191), "\xBF");
  EXPECT_EQ(TransliterateChar(0), std::string(1, '\0'));
}

TEST(HtmlText, PageLinesDropEveryCarriageReturn) {
  ScratchDir dir;
  dir.Write("a", "ab\r\ncd");
  std::string aBytes = ReadFile(dir.At("a"));
  LineReader a(aBytes);
  EXPECT_EQ(a.ReadPageLine(), "ab");
  EXPECT_FALSE(a.AtEnd());
  EXPECT_EQ(a.ReadPageLine(), "cd");
  EXPECT_TRUE(a.AtEnd());

  dir.Write("b", "a\rb\n\r\r\nlast\r");
  std::string bBytes = ReadFile(dir.At("b"));
  LineReader b(bBytes);
  EXPECT_EQ(b.ReadPageLine(), "ab");
  EXPECT_EQ(b.ReadPageLine(), "");
  EXPECT_EQ(b.ReadPageLine(), "last");
  EXPECT_TRUE(b.AtEnd());
  EXPECT_EQ(b.ReadPageLine(), "");  // reading past the end gives empty lines

  // A line longer than the reader's buffer, with carriage returns in it.
  std::string longLine;
  for (int i = 0; i < 100000; ++i) longLine += "0123456789\r";
  dir.Write("c", longLine + "\nnext");
  std::string cBytes = ReadFile(dir.At("c"));
  LineReader c(cBytes);
  std::string expected;
  for (int i = 0; i < 100000; ++i) expected += "0123456789";
  EXPECT_EQ(c.ReadPageLine(), expected);
  EXPECT_EQ(c.ReadPageLine(), "next");
}

TEST(HtmlText, NextFontCellLineSkipsToTheNextFontCell) {
  ScratchDir dir;
  dir.Write("page", "<td>one</td>\r\n <TD><font size=-1>indented</TD>\n<td><font size=-1>x</td>\n"
                    "<TD><font size=-1>27500</font></TD>\r\nafter\n<TD><font size=-1>last");
  std::string readerBytes = ReadFile(dir.At("page"));
  LineReader reader(readerBytes);
  EXPECT_EQ(NextFontCellLine(reader), "<TD><font size=-1>27500</font></TD>");
  EXPECT_EQ(reader.ReadTextLine(), "after");
  EXPECT_EQ(NextFontCellLine(reader), "<TD><font size=-1>last");
  EXPECT_EQ(NextFontCellLine(reader), "");
  EXPECT_TRUE(reader.AtEnd());

  dir.Write("none", "<td>a</td>\n<td>b</td>\n");
  std::string noneBytes = ReadFile(dir.At("none"));
  LineReader none(noneBytes);
  EXPECT_EQ(NextFontCellLine(none), "");
  EXPECT_TRUE(none.AtEnd());
}

}  // namespace
}  // namespace kavrel::testing
