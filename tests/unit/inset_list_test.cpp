#include "run/inset_list.h"

#include <gtest/gtest.h>

#include "support/fake_platform.h"
#include "text/ascii_text.h"
#include "text/comma_fields.h"
#include "text/join_path.h"

namespace tessarin::testing {
namespace {

TEST(InsetPatterns, TheListGivesSixPatternsWithoutTheBlanks) {
  EXPECT_EQ(ParsePatternList(kInsetPatterns),
            (std::vector<std::string>{"*.jpg", "*.jpeg", "*.gif", "*.bmp", "*.ico", "*.wmf"}));
}

TEST(InsetPatterns, MatchWithoutRegardToLetterCase) {
  EXPECT_TRUE(MatchesPattern("PHOTO.JPG", "*.jpg"));
  EXPECT_TRUE(MatchesPattern("a.b.Jpeg", "*.jpeg"));
  EXPECT_TRUE(MatchesPattern(".jpg", "*.jpg"));
  EXPECT_FALSE(MatchesPattern("photo.png", "*.jpg"));
  EXPECT_FALSE(MatchesPattern("photo.jpg.txt", "*.jpg"));
  EXPECT_FALSE(MatchesPattern("photojpg", "*.jpg"));
  EXPECT_TRUE(MatchesPattern("a1c", "a?c"));
  EXPECT_FALSE(MatchesPattern("ac", "a?c"));
  EXPECT_TRUE(MatchesPattern("anything", "*"));
  // Many stars against a long name stay fast: no backtracking explosion.
  EXPECT_FALSE(MatchesPattern(std::string(5000, 'a'), "*a*a*a*a*a*a*a*a*b"));
}

TEST(ListInsets, KeepsOnlyTheMatchingNames) {
  FakeFiles files;
  files.folders["/p"] = {"notes.txt", "photo.png", "PHOTO.JPG", "b.gif", "c.Bmp",
                         "d.ico",     "e.WMF",     "f.jpeg",    "g.jpe"};
  EXPECT_EQ(ListInsets(files, "/p"),
            (std::vector<std::string>{"PHOTO.JPG", "b.gif", "c.Bmp", "d.ico", "e.WMF", "f.jpeg"}));
  EXPECT_THROW(ListInsets(files, "/missing"), Failure);
}

TEST(TextFields, TrimRemovesSpacesOnly) {
  EXPECT_EQ(TrimSpaces("  a b  "), "a b");
  EXPECT_EQ(TrimSpaces("\ta\t"), "\ta\t");
  EXPECT_EQ(TrimSpaces("    "), "");
}

TEST(AsciiText, EachBlankSetTrimsItsOwnBlanksOnly) {
  EXPECT_EQ(Trim(" \t a \t ", kSpacesAndTabs), "a");
  EXPECT_EQ(Trim(" \ra\n", kSpacesAndTabs), "\ra\n");
  EXPECT_EQ(TrimEnd(" a \t\r\n", kLineBlanks), " a");
  EXPECT_EQ(TrimStart("\t a ", kSpacesAndTabs), "a ");
  EXPECT_EQ(Trim(" \t", kSpacesAndTabs), "");
}

TEST(AsciiText, LowerCasesAsciiLettersOnlyAndQuotesWithBackslashes) {
  EXPECT_EQ(AsciiLower("AZaz09-\xC3\x84"),
            "azaz09-\xC3\x84");  // the UTF-8 of a capital umlaut stays
  EXPECT_EQ(BackslashQuoted("a'b\"c\\d", '\''), "'a\\'b\"c\\\\d'");
  EXPECT_EQ(BackslashQuoted("a'b\"c", '"'), "\"a'b\\\"c\"");
}

TEST(TextFields, EveryCommaSeparates) {
  EXPECT_EQ(SplitAtCommas("a,,b,"), (std::vector<std::string>{"a", "", "b", ""}));
  EXPECT_EQ(SplitAtCommas(""), (std::vector<std::string>{""}));
  EXPECT_EQ(SplitAtCommas(" x y "), (std::vector<std::string>{" x y "}));
}

TEST(TextFields, JoinPathPutsExactlyOneSeparator) {
  EXPECT_EQ(JoinPath("/pics", "a.jpg", '/'), "/pics/a.jpg");
  EXPECT_EQ(JoinPath("/pics/", "a.jpg", '/'), "/pics/a.jpg");
  EXPECT_EQ(JoinPath("/", "a.jpg", '/'), "/a.jpg");
  EXPECT_EQ(JoinPath("C:\\", "a.jpg", '\\'), "C:\\a.jpg");
}

}  // namespace
}  // namespace tessarin::testing
