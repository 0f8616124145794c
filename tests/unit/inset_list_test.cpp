#include "run/inset_list.h"

#include <gtest/gtest.h>

#include "support/fake_platform.h"
#include "text/ascii_text.h"
#include "text/comma_fields.h"
#include "text/join_path.h"

namespace tessarin::testing {
namespace {

TEST(InsetPatterns, TheListGivesSixPatternsWithoutTheBlanks) {
  EXPECT_EQ(run::ParsePatternList(kInsetPatterns),
            (std::vector<std::string>{"*.jpg", "*.jpeg", "*.gif", "*.bmp", "*.ico", "*.wmf"}));
}

TEST(InsetPatterns, MatchWithoutRegardToLetterCase) {
  EXPECT_TRUE(run::MatchesPattern("PHOTO.JPG", "*.jpg"));
  EXPECT_TRUE(run::MatchesPattern("a.b.Jpeg", "*.jpeg"));
  EXPECT_TRUE(run::MatchesPattern(".jpg", "*.jpg"));
  EXPECT_FALSE(run::MatchesPattern("photo.png", "*.jpg"));
  EXPECT_FALSE(run::MatchesPattern("photo.jpg.txt", "*.jpg"));
  EXPECT_FALSE(run::MatchesPattern("photojpg", "*.jpg"));
  EXPECT_TRUE(run::MatchesPattern("a1c", "a?c"));
  EXPECT_FALSE(run::MatchesPattern("ac", "a?c"));
  EXPECT_TRUE(run::MatchesPattern("anything", "*"));
  // Many stars against a long name stay fast: no backtracking explosion.
  EXPECT_FALSE(run::MatchesPattern(std::string(5000, 'a'), "*a*a*a*a*a*a*a*a*b"));
}

TEST(ListInsets, KeepsOnlyTheMatchingNames) {
  FakeFiles files;
  files.folders["/p"] = {"notes.txt", "photo.png", "PHOTO.JPG", "b.gif", "c.Bmp",
                         "d.ico",     "e.WMF",     "f.jpeg",    "g.jpe"};
  EXPECT_EQ(run::ListInsets(files, "/p"),
            (std::vector<std::string>{"PHOTO.JPG", "b.gif", "c.Bmp", "d.ico", "e.WMF", "f.jpeg"}));
  EXPECT_THROW(run::ListInsets(files, "/missing"), Failure);
}

TEST(TextFields, TrimRemovesSpacesOnly) {
  EXPECT_EQ(text::TrimSpaces("  a b  "), "a b");
  EXPECT_EQ(text::TrimSpaces("\ta\t"), "\ta\t");
  EXPECT_EQ(text::TrimSpaces("    "), "");
}

TEST(AsciiText, EachBlankSetTrimsItsOwnBlanksOnly) {
  EXPECT_EQ(text::Trim(" \t a \t ", text::kSpacesAndTabs), "a");
  EXPECT_EQ(text::Trim(" \ra\n", text::kSpacesAndTabs), "\ra\n");
  EXPECT_EQ(text::TrimEnd(" a \t\r\n", text::kLineBlanks), " a");
  EXPECT_EQ(text::TrimStart("\t a ", text::kSpacesAndTabs), "a ");
  EXPECT_EQ(text::Trim(" \t", text::kSpacesAndTabs), "");
}

TEST(AsciiText, LowerCasesAsciiLettersOnlyAndQuotesWithBackslashes) {
  EXPECT_EQ(text::AsciiLower("AZaz09-\xC3\x84"),
            "azaz09-\xC3\x84");  // the UTF-8 of a capital umlaut stays
  EXPECT_EQ(text::BackslashQuoted("a'b\"c\\d", '\''), "'a\\'b\"c\\\\d'");
  EXPECT_EQ(text::BackslashQuoted("a'b\"c", '"'), "\"a'b\\\"c\"");
}

TEST(TextFields, EveryCommaSeparates) {
  EXPECT_EQ(text::SplitAtCommas("a,,b,"), (std::vector<std::string>{"a", "", "b", ""}));
  EXPECT_EQ(text::SplitAtCommas(""), (std::vector<std::string>{""}));
  EXPECT_EQ(text::SplitAtCommas(" x y "), (std::vector<std::string>{" x y "}));
}

TEST(TextFields, JoinPathPutsExactlyOneSeparator) {
  EXPECT_EQ(text::JoinPath("/pics", "a.jpg", '/'), "/pics/a.jpg");
  EXPECT_EQ(text::JoinPath("/pics/", "a.jpg", '/'), "/pics/a.jpg");
  EXPECT_EQ(text::JoinPath("/", "a.jpg", '/'), "/a.jpg");
  EXPECT_EQ(text::JoinPath("C:\\", "a.jpg", '\\'), "C:\\a.jpg");
}

}  // namespace
}  // namespace tessarin::testing
