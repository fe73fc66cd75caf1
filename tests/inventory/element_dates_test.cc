// The Network and Station dates folded from the channels' spans.
#include "inventory/element_dates.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kalvynex {
namespace {

ChannelSpan span(const char* net, const char* sta, const char* chan, Timestamp first,
                 Timestamp last, bool any_open = false) {
  ChannelSpan s;
  s.codes.network = net;
  s.codes.sta = sta;
  s.codes.location = "00";
  s.codes.chan = chan;
  s.first_start = first;
  s.last_end = last;
  s.any_open = any_open;
  return s;
}

std::string text(const ElementDates& d) {
  return (d.start ? xml_date_time(*d.start) : std::string("-")) + " " +
         (d.end ? xml_date_time(*d.end) : std::string("-"));
}

TEST(ElementDatesTest, EarliestStartAndLatestEndOfWhatTheExportWrites) {
  const Timestamp open{-1};
  Timestamp no_date;  // what a NULL start reads as: all zero
  Timestamp bad = Timestamp::at(2009, 2, 28);
  bad.day = 29;  // 2009 has no leap day
  const std::vector<ChannelSpan> spans = {
      // AAA: the earliest start and the latest end come from different channels.
      span("XX", "AAA", "BHZ", Timestamp::at(2005, 1, 1), Timestamp::at(2006, 1, 1)),
      span("XX", "AAA", "BHN", Timestamp::at(2004, 12, 31, 23, 59, 59),
           Timestamp::at(2005, 6, 1)),
      span("XX", "AAA", "BHE", Timestamp::at(2005, 1, 1), Timestamp::at(2006, 1, 1, 0, 0, 1)),
      // BBB: one open period keeps the end out.
      span("XX", "BBB", "BHZ", Timestamp::at(2010, 1, 1), Timestamp::at(2011, 1, 1), true),
      // CCC: an end read as open (NULL, the end of time) keeps it out too.
      span("XX", "CCC", "BHZ", Timestamp::at(2012, 1, 1), open),
      // DDD: a channel whose codes the export refuses adds nothing; nor does
      // a start that is no calendar time; an end that is none reads as open.
      span("XX", "DDD", "BHZ", Timestamp::at(2013, 1, 1), Timestamp::at(2014, 1, 1)),
      span("XX", "DDD", "B/Z", Timestamp::at(1990, 1, 1), Timestamp::at(2020, 1, 1)),
      span("XX", "DDD", "BHN", no_date, Timestamp::at(2013, 6, 1)),
      span("XX", "DDD", "BHE", bad, Timestamp::at(2013, 7, 1)),
      span("YY", "EEE", "BHZ", Timestamp::at(2001, 1, 1), bad),
      // A network code the export refuses: no element at all.
      span("Z/", "FFF", "BHZ", Timestamp::at(2001, 1, 1), Timestamp::at(2002, 1, 1)),
  };
  const ElementDateIndex index(spans);
  const struct {
    const char* net;
    const char* sta;  // nullptr: the network
    std::string dates;
  } rows[] = {
      {"XX", "AAA", "2004-12-31T23:59:59Z 2006-01-01T00:00:01Z"},
      {"XX", "BBB", "2010-01-01T00:00:00Z -"},
      {"XX", "CCC", "2012-01-01T00:00:00Z -"},
      {"XX", "DDD", "2013-01-01T00:00:00Z 2014-01-01T00:00:00Z"},
      {"XX", nullptr, "2004-12-31T23:59:59Z -"},
      {"YY", "EEE", "2001-01-01T00:00:00Z -"},
      {"Z/", "FFF", "- -"},
      {"Z/", nullptr, "- -"},
      {"XX", "ZZZ", "- -"},
  };
  for (const auto& row : rows) {
    const ElementDates d =
        row.sta == nullptr ? index.network(row.net) : index.station(row.net, row.sta);
    EXPECT_EQ(text(d), row.dates) << row.net << "." << (row.sta ? row.sta : "");
  }
}

}  // namespace
}  // namespace kalvynex
