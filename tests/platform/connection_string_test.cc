#include "platform/common/connection_string.h"

#include <gtest/gtest.h>

#include "compaction/raised_error.h"

namespace vintrel {
namespace {

TEST(ConnectionStringTest, ReadsTheStringsThePassBuilds) {
  const auto source = ConnectionString::Parse(u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=lift.mdb");
  EXPECT_EQ(source.Get(u"provider"), u"Microsoft.Jet.OLEDB.4.0");
  EXPECT_EQ(source.Get(u"DATA SOURCE"), u"lift.mdb");
  EXPECT_EQ(source.Get(u"Jet OLEDB:Engine Type"), std::nullopt);

  const auto destination = ConnectionString::Parse(
      u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=lift1.mdb;Jet OLEDB:Engine Type=5");
  EXPECT_EQ(destination.Get(u"jet oledb:engine type"), u"5");
}

TEST(ConnectionStringTest, IgnoresSpacesAndEmptyPairsAndLetsTheLastKeyWin) {
  const auto parsed = ConnectionString::Parse(u"  Data Source = a b.mdb ;; data source=c.mdb ; ");
  EXPECT_EQ(parsed.Get(u"Data Source"), u"c.mdb");
  EXPECT_EQ(ConnectionString::Parse(u" Data Source = a b.mdb ").Get(u"data source"), u"a b.mdb");
}

TEST(ConnectionStringTest, QuotedValuesKeepSemicolonsSpacesAndDoubledQuotes) {
  const auto parsed = ConnectionString::Parse(
      u"Data Source=\" my;file.mdb \"; Password='it''s'; Provider = \"x\"\"y\"");
  EXPECT_EQ(parsed.Get(u"Data Source"), u" my;file.mdb ");
  EXPECT_EQ(parsed.Get(u"Password"), u"it's");
  EXPECT_EQ(parsed.Get(u"Provider"), u"x\"y");
}

TEST(ConnectionStringTest, RejectsMalformedStrings) {
  for (auto text : {u"Provider", u"Provider=x;Data Source", u"=x", u"Data Source=\"open",
                    u"Data Source=\"a\"b"}) {
    try {
      ConnectionString::Parse(text);
      ADD_FAILURE() << "accepted a malformed string";
    } catch (const RaisedError& failure) {
      EXPECT_EQ(failure.description(),
                u"The connection string is not a list of key=value pairs separated by semicolons.");
    }
  }
}

}  // namespace
}  // namespace vintrel
