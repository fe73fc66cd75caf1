// The list command's bytes: CSV fields, the text columns and the JSON
// array, each pinned whole.
#include "inventory/list_writer.h"

#include <string>

#include <gtest/gtest.h>

#include "tests/support/fake_catalog.h"
#include "tests/support/inventory_run.h"

namespace kalvynex {
namespace {

TEST(ListWriterTest, CsvFieldsQuoteAndDoubleQuotes) {
  const struct {
    std::string in;
    std::string out;
  } rows[] = {
      {"", ""},
      {"BHZ", "BHZ"},
      {"a b;c'", "a b;c'"},
      {"a\"b", "\"a\"\"b\""},
      {"\"", "\"\"\"\""},
      {"a,b", "\"a,b\""},
      {"a\rb", "\"a\rb\""},
      {"a\nb", "\"a\nb\""},
      {"\"x\",\r\n", "\"\"\"x\"\",\r\n\""},
  };
  for (const auto& row : rows) EXPECT_EQ(csv_field(row.in), row.out) << row.in;
}

std::vector<FakePeriod> listed_periods() {
  Timestamp open;
  open.year = -1;
  return {fake_period("XX.A\"B.00.BHZ", Timestamp::at(2008, 1, 1),
                      Timestamp::at(2009, 6, 30, 23, 59, 59), "ZEROS 0|", ""),
          fake_period("XX.A\"B.00.BHZ", Timestamp::at(2009, 7, 1), open, "", "1 1 0|"),
          fake_period("YY.C,D..B\nZ", Timestamp::at(2010, 1, 2, 3, 4, 5), open, "", "")};
}

TEST(ListWriterTest, EachFormatByteForByte) {
  const struct {
    const char* format;
    std::string out;
  } rows[] = {
      {"text",
       "NETWORK STATION LOCATION CHANNEL START               END                 SAC FAP\n"
       "XX      A\"B     00       BHZ     2008-01-01T00:00:00 2009-06-30T23:59:59 yes no\n"
       "XX      A\"B     00       BHZ     2009-07-01T00:00:00                     no  yes\n"
       "YY      C,D              B\\x0aZ  2010-01-02T03:04:05                     no  no\n"},
      {"csv",
       "NETWORK,STATION,LOCATION,CHANNEL,START,END,SAC,FAP\r\n"
       "XX,\"A\"\"B\",00,BHZ,2008-01-01T00:00:00,2009-06-30T23:59:59,yes,no\r\n"
       "XX,\"A\"\"B\",00,BHZ,2009-07-01T00:00:00,,no,yes\r\n"
       "YY,\"C,D\",,B\\x0aZ,2010-01-02T03:04:05,,no,no\r\n"},
      {"json",
       "[\n"
       "  {\"network\": \"XX\", \"station\": \"A\\\"B\", \"location\": \"00\", \"channel\": "
       "\"BHZ\", "
       "\"start\": \"2008-01-01T00:00:00\", \"end\": \"2009-06-30T23:59:59\", \"sac\": true, "
       "\"fap\": false},\n"
       "  {\"network\": \"XX\", \"station\": \"A\\\"B\", \"location\": \"00\", \"channel\": "
       "\"BHZ\", "
       "\"start\": \"2009-07-01T00:00:00\", \"end\": null, \"sac\": false, \"fap\": true},\n"
       "  {\"network\": \"YY\", \"station\": \"C,D\", \"location\": \"\", \"channel\": \"B\\nZ\", "
       "\"start\": \"2010-01-02T03:04:05\", \"end\": null, \"sac\": false, \"fap\": false}\n"
       "]\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.format);
    FakeCatalog catalog(listed_periods());
    const SessionRun run = run_session_on(catalog, {"list", "-f", row.format});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, row.out);
    EXPECT_EQ(run.err, "");
    // Nothing matched: no header; JSON still one (empty) array.
    FakeCatalog empty({});
    const SessionRun none = run_session_on(empty, {"list", "-f", row.format});
    EXPECT_EQ(none.status, 3);
    EXPECT_EQ(none.out, std::string(row.format) == "json" ? "[]\n" : "");
  }
}

TEST(ListWriterTest, CheckWritesAnArrayOnceAPeriodWasChecked) {
  Timestamp open;
  open.year = -1;
  const struct {
    FakePeriod period;
    int status;
    std::string out;
  } rows[] = {
      {fake_period("XX.ABC.00.BHZ", Timestamp::at(2008, 1, 1), open, kSoundSac, ""), 0, "[]\n"},
      {fake_period("XX.ABC.00.BHZ", Timestamp::at(2008, 1, 1), open, "", ""), 1,
       "[\n  {\"network\": \"XX\", \"station\": \"ABC\", \"location\": \"00\", \"channel\": "
       "\"BHZ\", \"start\": \"2008-01-01T00:00:00\", \"kind\": \"empty\", \"detail\": \"neither "
       "a SAC nor a FAP text\"}\n]\n"},
  };
  for (const auto& row : rows) {
    FakeCatalog catalog({row.period});
    const SessionRun run = run_session_on(catalog, {"check", "-f", "json"});
    EXPECT_EQ(run.status, row.status);
    EXPECT_EQ(run.out, row.out);
    EXPECT_EQ(run.err, "kalvynex-inventory: " + std::to_string(row.status) + " finding" +
                           (row.status == 1 ? "" : "s") + " in 1 period\n");
  }
}

}  // namespace
}  // namespace kalvynex
