#include <gtest/gtest.h>

#include <string>

#include "common/TextFormat.h"

using corvisk::FormatBounded;
using corvisk::FormatText;

TEST(FormatText, FormatsLikePrintfWithoutLengthLimit) {
  EXPECT_EQ(FormatText("0x%lx ", 0x8000FFFFul), "0x8000ffff ");
  EXPECT_EQ(FormatText("\r\nOnError=0X%lx\r\n", 995ul), "\r\nOnError=0X3e3\r\n");
  const std::string long_text(5000, 'x');
  EXPECT_EQ(FormatText("%s!", long_text.c_str()), long_text + "!");
  EXPECT_EQ(FormatText("%s", ""), "");
}

TEST(FormatBounded, CutsLongTextsAndNeverWritesPastTheBuffer) {
  // Regression: event texts longer than the 256-byte buffer must be cut, not overrun it.
  char buffer[256 + 8];
  std::fill(std::begin(buffer), std::end(buffer), '#');
  const std::string long_text(1000, 'y');
  FormatBounded(buffer, 256, "%s", long_text.c_str());
  EXPECT_EQ(std::string(buffer), std::string(255, 'y'));
  for (size_t i = 256; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], '#');
}

TEST(FormatBounded, ShortTextIsCopiedWhole) {
  char buffer[256];
  FormatBounded(buffer, sizeof buffer, "%s%s", "CorviskFSP", " is not configured");
  EXPECT_STREQ(buffer, "CorviskFSP is not configured");
}

TEST(FormatBounded, PercentSequencesInArgumentsAreNotInterpreted) {
  char buffer[64];
  FormatBounded(buffer, sizeof buffer, "%s", "100%s done %n");
  EXPECT_STREQ(buffer, "100%s done %n");
}
