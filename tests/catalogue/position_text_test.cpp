#include "catalogue/position_text.h"

#include <gtest/gtest.h>

#include <vector>

namespace kavrel {
namespace {

TEST(PositionText, OnePosition) {
  struct Case {
    const char* text;
    std::optional<int32_t> key;
  };
  const Case cases[] = {
      {"13E", 130},       {"13.0E", 130},  {"19.2E", 192},  {"19.2e", 192},   {"5W", 3550},      {"0.8W", 3592},
      {"0.8w", 3592},     {"0E", 0},       {"0W", 0},       {"180W", 1800},   {"130E", 1300},    {" 28.2E ", 282},
      {"130", 130},       {"3300", 3300},  {"-300", 3300},  {"130e", 130},    {"300w", 3300},    {"0", 0},
      {"3599", 3599},     {"13.05E", {}},  {"13.E", {}},    {".5E", {}},      {"181E", {}},      {"1801e", {}},
      {"3600", {}},       {"-3600", {}},   {"13N", {}},     {"E", {}},        {"", {}},          {"1 3E", {}},
      {"-13E", {}},       {"+13E", {}},    {"13.xE", {}},   {"abc", {}},      {"99999999999E", {}}};
  for (const Case& c : cases) EXPECT_EQ(ParsePositionText(c.text), c.key) << c.text;
}

std::vector<int32_t> Keys(const char* text) {
  PositionSelection selection;
  std::string error;
  if (!ParsePositionList(text, selection, error)) return {-1};
  std::vector<int32_t> keys;
  for (int32_t k = 0; k < kFullCircle; ++k) {
    if (selection.Contains(k)) keys.push_back(k);
  }
  return keys;
}

TEST(PositionText, ListsAndRanges) {
  EXPECT_EQ(Keys("13E,19.2E,28.2E"), (std::vector<int32_t>{130, 192, 282}));
  EXPECT_EQ(Keys("28.2E, 13E ,13.0E"), (std::vector<int32_t>{130, 282}));
  EXPECT_EQ(Keys("[130e-132e]"), (std::vector<int32_t>{130, 131, 132}));
  EXPECT_EQ(Keys("[0.2W-0.1E]"), (std::vector<int32_t>{0, 1, 3598, 3599}));
  EXPECT_EQ(Keys("[-2-1],5W"), (std::vector<int32_t>{0, 1, 3550, 3598, 3599}));
  PositionSelection wide;
  std::string error;
  ASSERT_TRUE(ParsePositionList("[300w-450e]", wide, error));
  EXPECT_EQ(wide.size(), 751u);
  EXPECT_TRUE(wide.Contains(3300) && wide.Contains(0) && wide.Contains(450) && !wide.Contains(451));
  for (const char* bad : {"", " ", "13E,", ",13E", "13E,,19.2E", "[13E]", "[13E-]", "[-13E]", "[13E-200E]", "13X"}) {
    EXPECT_EQ(Keys(bad), std::vector<int32_t>{-1}) << bad;
  }
  ASSERT_FALSE(ParsePositionList("13E,13X", wide, error));
  EXPECT_NE(error.find("'13X'"), std::string::npos);
}

TEST(PositionText, NamesReadBack) {
  for (int32_t key : {0, 1, 130, 192, 1800, 1801, 3300, 3592, 3599}) {
    EXPECT_EQ(ParsePositionText(PositionName(key)), key) << key;
  }
  EXPECT_EQ(PositionName(130), "13.0E");
  EXPECT_EQ(PositionName(3592), "0.8W");
  EXPECT_EQ(PositionName(0), "0.0E");
}

}  // namespace
}  // namespace kavrel
