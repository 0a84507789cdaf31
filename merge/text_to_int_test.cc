#include "merge/text_to_int.h"

#include <gtest/gtest.h>

#include <string>

namespace segjoin {
namespace {

struct Case {
  const char* text;
  int32_t expected;
};

class TextToIntTest : public testing::TestWithParam<Case> {};

TEST_P(TextToIntTest, Converts) {
  EXPECT_EQ(TextToInt(GetParam().text), GetParam().expected)
      << "text: \"" << GetParam().text << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextToIntTest,
    testing::Values(Case{"", 0}, Case{"abc", 0}, Case{"  12abc", 12},
                    Case{"+5", 5}, Case{"-3", -3}, Case{"- 5", 0},
                    Case{"\t\n\v\f\r7", 7}, Case{"1 2", 1}, Case{"+-1", 0},
                    Case{"0012", 12},
                    // Full-width digits, signs and the ideographic space that
                    // Chinese input methods type.
                    Case{"１２", 12},
                    Case{"\xE3\x80\x80"
                         "7",
                         7},
                    Case{"－４", -4}, Case{"＋８", 8}, Case{"1２3", 123},
                    // Any other non-ASCII character ends the number or keeps it
                    // from starting.
                    Case{"12号", 12}, Case{"第3", 0},
                    Case{"\xC2\xA0"
                         "5",
                         0},
                    // Malformed UTF-8 is just another non-digit.
                    Case{"4\xFF"
                         "5",
                         4},
                    Case{"\xEF\xBC", 0},
                    // Digits wrap modulo 2^32 and are read as a signed number.
                    Case{"2147483647", 2147483647},
                    Case{"2147483648", INT32_MIN},
                    Case{"-2147483648", INT32_MIN}, Case{"4294967295", -1},
                    Case{"4294967296", 0}, Case{"4294967297", 1},
                    Case{"99999999999", 1215752191}));

}  // namespace
}  // namespace segjoin
