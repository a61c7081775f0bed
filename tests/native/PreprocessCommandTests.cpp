#include <gtest/gtest.h>

#include "provider/PreprocessCommand.h"

using corvisk::ExpandPreprocessCommand;
using corvisk::IsValidPreprocessTemplate;
using corvisk::PreprocessTargetName;

TEST(PreprocessTemplate, NeedsTwoPlacesWithPercentS) {
  EXPECT_TRUE(IsValidPreprocessTemplate("convert %s %s"));
  EXPECT_TRUE(IsValidPreprocessTemplate("%s%s"));
  EXPECT_FALSE(IsValidPreprocessTemplate("convert %s"));
  EXPECT_FALSE(IsValidPreprocessTemplate("convert"));
  EXPECT_FALSE(IsValidPreprocessTemplate(""));
}

TEST(PreprocessTemplate, ExpandsInputThenTarget) {
  EXPECT_EQ(ExpandPreprocessCommand("convert %s %s", "C:\\t\\CorA1.Tif", "C:\\t\\CorA12.tif"),
            "convert C:\\t\\CorA1.Tif C:\\t\\CorA12.tif");
  EXPECT_EQ(ExpandPreprocessCommand("cmd /c 100%% %s>%s", "a", "b"), "cmd /c 100% a>b");
}

TEST(PreprocessTemplate, RefusesConversionsWithoutArguments) {
  // Regression: a third "%s" or a "%d" would read past the two arguments.
  EXPECT_EQ(ExpandPreprocessCommand("x %s %s %s", "a", "b"), std::nullopt);
  EXPECT_EQ(ExpandPreprocessCommand("x %d %s %s", "a", "b"), std::nullopt);
  EXPECT_EQ(ExpandPreprocessCommand("x %s %s %", "a", "b"), std::nullopt);
  EXPECT_EQ(ExpandPreprocessCommand("x %n %s %s", "a", "b"), std::nullopt);
}

TEST(PreprocessTemplate, RefusesCommandLinesOverTheLimit) {
  const std::string input(291, 'p'), target(290, 'q');
  ASSERT_TRUE(ExpandPreprocessCommand("%s %s", input, target).has_value());
  EXPECT_EQ(ExpandPreprocessCommand("%s %s", input, target)->size(), 582u);
  EXPECT_EQ(ExpandPreprocessCommand("%s  %s", input, target)->size(), 583u);
  EXPECT_EQ(ExpandPreprocessCommand("%s   %s", input, target), std::nullopt);
}

TEST(PreprocessTemplate, TargetReplacesTheExtensionWithTwoDotTif) {
  EXPECT_EQ(PreprocessTargetName("C:\\Temp\\CorB2.Tif"), "C:\\Temp\\CorB22.tif");
  EXPECT_EQ(PreprocessTargetName("ab"), "2.tif");
}
