#include "platform/int_text.h"

#include <gtest/gtest.h>

namespace kavrel {
namespace {

TEST(IntegerText, DecimalAndHexadecimalForms) {
  EXPECT_EQ(ParseIntegerText("130"), 130);
  EXPECT_EQ(ParseIntegerText("  -5"), -5);
  EXPECT_EQ(ParseIntegerText("+7"), 7);
  EXPECT_EQ(ParseIntegerText("0x1F"), 31);
  EXPECT_EQ(ParseIntegerText("0X2710"), 10000);
  EXPECT_EQ(ParseIntegerText("$ff"), 255);
  EXPECT_EQ(ParseIntegerText("-$10"), -16);
  EXPECT_EQ(ParseIntegerText("$FFFFFFFF"), -1);
  EXPECT_EQ(ParseIntegerText("2147483647"), 2147483647);
  EXPECT_EQ(ParseIntegerText("-2147483648"), INT32_MIN);
  EXPECT_EQ(ParseIntegerText("0130"), 130);
}

TEST(IntegerText, EverythingElseIsNoInteger) {
  for (const char* text : {"", " ", "+", "-", "$", "0x", "12 ", "12a", "1.5", "abc", "2147483648",
                           "-2147483649", "$100000000", "0x1G", "1 2", "\t5"}) {
    EXPECT_FALSE(ParseIntegerText(text).has_value()) << '"' << text << '"';
  }
  EXPECT_EQ(IntegerTextOr("x", 65535), 65535);
}

TEST(WholeNumber, DecimalOnly) {
  EXPECT_EQ(ParseWholeNumber(" 3"), 3);
  EXPECT_EQ(ParseWholeNumber("-300"), -300);
  for (const char* text : {"3 ", "3/4", "", "$10", "0x10", "99999999999"}) {
    EXPECT_FALSE(ParseWholeNumber(text).has_value()) << text;
  }
  EXPECT_EQ(WholeNumberOrZero("27500x"), 0);
}

TEST(PaddedDecimal, FourDigits) {
  EXPECT_EQ(PaddedDecimalText(130, 4), "0130");
  EXPECT_EQ(PaddedDecimalText(3300, 4), "3300");
  EXPECT_EQ(PaddedDecimalText(0, 4), "0000");
  EXPECT_EQ(PaddedDecimalText(-5, 4), "-0005");
  EXPECT_EQ(PaddedDecimalText(123456, 4), "123456");
}

}  // namespace
}  // namespace kavrel
