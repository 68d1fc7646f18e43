#include "ui/qt/log_pane_text.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace vintrel {
namespace {

TEST(LogPaneText, EachLineBreakIsOnePanePosition) {
  LogPaneText log;
  EXPECT_EQ(log.Replace(0, 0, u"lift.mdb ok\r\n"), 12u);
  EXPECT_EQ(log.Replace(12, 12, u"log.mdb ok\r\n"), 23u);
  EXPECT_EQ(log.text(), u"lift.mdb ok\r\nlog.mdb ok\r\n");
  EXPECT_EQ(log.PaneText(), u"lift.mdb ok\nlog.mdb ok\n");
}

TEST(LogPaneText, PanePositionsAfterLineBreaksMapPastBothCodeUnits) {
  LogPaneText log;
  log.Replace(0, 0, u"ab\r\ncd\r\nef");
  // Pane "ab\ncd\nef": replace "b\nc" (positions 1..4) and insert at the start of "ef".
  EXPECT_EQ(log.Replace(1, 4, u"X"), 2u);
  EXPECT_EQ(log.text(), u"aXd\r\nef");
  EXPECT_EQ(log.Replace(4, 4, u"Y"), 5u);
  EXPECT_EQ(log.text(), u"aXd\r\nYef");
}

TEST(LogPaneText, LoneBreakCharactersKeepTheirOwnPositions) {
  LogPaneText log;
  log.Replace(0, 0, u"a\rb\nc");
  EXPECT_EQ(log.PaneText(), u"a\nb\nc");
  // A CR at the end of one entry and an LF at the start of the next become one line break.
  EXPECT_EQ(log.Replace(5, 5, u"\r"), 6u);
  EXPECT_EQ(log.Replace(6, 6, u"\nd"), 7u);
  EXPECT_EQ(log.text(), u"a\rb\nc\r\nd");
  EXPECT_EQ(log.PaneText(), u"a\nb\nc\nd");
}

TEST(LogPaneText, RejectsRangesOutsideTheText) {
  LogPaneText log;
  log.Replace(0, 0, u"ab\r\n");
  EXPECT_THROW(log.Replace(4, 4, u"x"), std::out_of_range);
  EXPECT_THROW(log.Replace(2, 1, u"x"), std::out_of_range);
  EXPECT_EQ(log.text(), u"ab\r\n");
}

}  // namespace
}  // namespace vintrel
