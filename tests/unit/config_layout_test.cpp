#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "config_window/layout.h"

namespace tessarin::config_window::layout {
namespace {

TEST(ConfigLayout, EveryVisibleControlLiesInsideTheClientAreaOnWholePixels) {
  EXPECT_EQ(ToPixels(kClientWidth), 360);
  EXPECT_EQ(ToPixels(kClientHeight), 244);
  for (const Control& c : kControls) {
    SCOPED_TRACE(std::string(c.name));
    for (int twips : {c.left, c.top, c.width, c.height}) EXPECT_EQ(twips % kTwipsPerPixel, 0);
    EXPECT_GE(c.left, 0);
    EXPECT_LE(c.left + c.width, kClientWidth);
    EXPECT_LE(c.top + c.height, kClientHeight);
  }
}

TEST(ConfigLayout, NamesAndTabIndexesAreUnique) {
  std::set<std::string_view> names;
  std::set<int> tabIndexes;
  for (const Control& c : kControls) {
    EXPECT_TRUE(names.insert(c.name).second) << c.name;
    EXPECT_TRUE(tabIndexes.insert(c.tabIndex).second) << c.name;
  }
}

TEST(ConfigLayout, EachBoxIsBoundOnceAndNamedAfterItsBox) {
  std::set<int> bound;
  for (const Control& c : kControls) {
    EXPECT_EQ(c.box.has_value(), c.kind == Kind::TextBox) << c.name;
    if (!c.box) continue;
    const int index = static_cast<int>(*c.box);
    EXPECT_EQ(c.name, "Text" + std::to_string(index + 1));
    EXPECT_TRUE(bound.insert(index).second);
  }
  EXPECT_EQ(bound.size(), static_cast<std::size_t>(config_window::kTextBoxCount));
}

TEST(ConfigLayout, TabVisitsTheFirstThreeBoxesThenOkThenTheArea) {
  std::vector<std::string_view> order;
  for (const Control* c : FocusOrder()) order.push_back(c->name);
  EXPECT_EQ(order, (std::vector<std::string_view>{"Text1", "Text2", "Text3", "Command1", "Text4",
                                                  "Text5", "Text6", "Text7"}));
}

TEST(ConfigLayout, ShortLabelsAreRightAlignedAndEndUnderTheirOwnBox) {
  const std::vector<std::pair<std::string_view, std::string_view>> labelAndBox = {
      {"X", "Text4"}, {"Y", "Text5"}, {"Height", "Text6"}, {"Width", "Text7"}};
  for (const auto& [caption, boxName] : labelAndBox) {
    const Control* label = nullptr;
    const Control* box = nullptr;
    for (const Control& c : kControls) {
      if (c.caption == caption) label = &c;
      if (c.name == boxName) box = &c;
    }
    ASSERT_NE(label, nullptr) << caption;
    ASSERT_NE(box, nullptr) << boxName;
    EXPECT_EQ(label->alignment, Alignment::Right) << caption;
    // The text ends left of its own box (it may reach under the box before it).
    EXPECT_LE(label->left + label->width, box->left) << caption;
    EXPECT_LT(box->left - (label->left + label->width), 20 * kTwipsPerPixel) << caption;
  }
}

// A box is named by the label above its left edge, or by the short label that
// ends just left of it on its line.
TEST(ConfigLayout, EachBoxIsNamedByTheLabelBesideIt) {
  const std::vector<std::string_view> names = {"Output/Wallpaper Filename:",
                                               "Canvas Filename:",
                                               "Dir with Insets:",
                                               "X",
                                               "Y",
                                               "Height",
                                               "Width"};
  for (const Control& box : kControls) {
    if (!box.box) continue;
    const auto index = static_cast<std::size_t>(*box.box);
    const Control& label = ControlNamed(kBoxLabels[index]);
    SCOPED_TRACE(std::string(box.name));
    EXPECT_EQ(label.kind, Kind::Label);
    EXPECT_EQ(BoxName(*box.box), names[index]);
    const bool above = label.left == box.left && label.top < box.top;
    const bool before = label.top > box.top && label.left + label.width <= box.left &&
                        box.left - (label.left + label.width) < 20 * kTwipsPerPixel;
    EXPECT_TRUE(above || before);
  }
}

}  // namespace
}  // namespace tessarin::config_window::layout
