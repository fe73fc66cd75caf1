#include "tests/support/selection_cases.h"

#include <algorithm>
#include <optional>
#include <tuple>

#include "core/string_printf.h"
#include "inventory/selection_time.h"

namespace kalvynex {

namespace {

struct CasePeriod {
  const char* network;
  const char* sta;
  const char* location;
  const char* chan;
  const char* start;
  const char* end;  // nullptr: NULL
};

constexpr CasePeriod kPeriods[] = {
    {"XX", "A", "00", "BHZ", "2001-01-01 00:00:00", "2005-01-01 00:00:00"},
    {"XX", "A", "00", "BHZ", "2005-01-01 00:00:01", nullptr},
    {"XX", "B", "", "HHZ", "2010-06-01 12:00:00", "9999-12-31 23:59:59"},
    {"YY", "C", "10", "LHN", "2003-03-03 03:03:03", "2004-04-04 04:04:04"},
};

Timestamp at(const char* text) {
  Timestamp t;
  parse_selection_time(text, &t);
  return t;
}

SelectionRow row(const char* network, const char* sta, const char* location, const char* chan,
                 const char* start, const char* end) {
  SelectionRow r{network, sta, location, chan, std::nullopt, std::nullopt};
  if (start != nullptr) r.start = at(start);
  if (end != nullptr) r.end = at(end);
  return r;
}

auto time_key(const Timestamp& t) {
  return std::make_tuple(t.year, t.month, t.day, t.hour, t.minute, t.second);
}

}  // namespace

std::vector<std::string> selection_case_inserts() {
  std::vector<std::string> inserts;
  for (const CasePeriod& p : kPeriods) {
    inserts.push_back(string_printf(
        "INSERT INTO CALIBRATION VALUES ('%s', '%s', '%s', '%s', '%s', %s, 1, 1, 1, 1, "
        "'ZEROS 0|POLES 0|CONSTANT 1|', NULL, NULL)",
        p.network, p.location, p.sta, p.chan, p.start,
        p.end == nullptr ? "NULL" : ("'" + std::string(p.end) + "'").c_str()));
  }
  return inserts;
}

std::vector<FakePeriod> selection_case_periods() {
  std::vector<FakePeriod> periods;
  for (const CasePeriod& p : kPeriods) {
    const std::string channel =
        std::string(p.network) + "." + p.sta + "." + p.location + "." + p.chan;
    periods.push_back(fake_period(channel, at(p.start), p.end == nullptr ? Timestamp{-1} : at(p.end),
                                  "ZEROS 0|POLES 0|CONSTANT 1|", ""));
  }
  return periods;
}

std::vector<SelectionCase> selection_cases() {
  std::vector<SelectionCase> cases;
  auto add = [&cases](const std::string& name, const std::string& periods, auto fill) {
    SelectionCase c;
    c.name = name;
    fill(&c.selection);
    c.periods = periods;
    cases.push_back(std::move(c));
  };
  using S = CalibrationSelection*;
  add("everything", "1,2,3,4", [](S) {});
  // Strict bounds; a fraction rounds neither way.
  add("start before a start", "1,4", [](S s) { s->start_before = at("2005-01-01T00:00:01"); });
  add("start before a fraction", "1,4",
      [](S s) { s->start_before = at("2005-01-01T00:00:00.5"); });
  add("start before just after", "1,2,4",
      [](S s) { s->start_before = at("2005-01-01T00:00:01.000001"); });
  add("start after a start", "3", [](S s) { s->start_after = at("2005-01-01T00:00:01"); });
  add("start after just before", "2,3",
      [](S s) { s->start_after = at("2005-01-01T00:00:00.999999"); });
  // An open end is before no time and after every time, stored either way.
  add("end before an end", "4", [](S s) { s->end_before = at("2005-01-01T00:00:00"); });
  add("end before just after", "1,4",
      [](S s) { s->end_before = at("2005-01-01T00:00:00.000001"); });
  add("end before the last second", "1,4",
      [](S s) { s->end_before = at("9999-12-31T23:59:59.5"); });
  add("end after an end", "2,3", [](S s) { s->end_after = at("2005-01-01T00:00:00"); });
  add("end after just before", "1,2,3",
      [](S s) { s->end_after = at("2004-12-31T23:59:59.999999"); });
  add("end after the last second", "2,3",
      [](S s) { s->end_after = at("9999-12-31T23:59:59"); });
  add("start after and end before", "4", [](S s) {
    s->start_after = at("2002-01-01");
    s->end_before = at("2006-01-01");
  });
  // Selection lines: each with its own codes and window, any one matching.
  add("line window", "2", [](S s) { s->rows = {row("XX", "A", "00", "BHZ", "2006-01-01", nullptr)}; });
  add("line window ends", "1", [](S s) {
    s->rows = {row("XX", "A", "00", "BHZ", "2005-01-01T00:00:00", "2005-01-01T00:00:00.5")};
  });
  add("lines, one matching", "4", [](S s) {
    s->rows = {row("YY", "*", "*", "*", nullptr, nullptr),
               row("XX", "B", "--", "*", nullptr, "2010-06-01T11:59:59")};
  });
  add("empty location line", "3",
      [](S s) { s->rows = {row("XX", "?", "--", "HHZ", nullptr, "2010-06-01T12:00:00")}; });
  add("lines and lists", "4", [](S s) {
    s->networks = {"YY"};
    s->rows = {row("*", "*", "*", "*", nullptr, nullptr)};
  });
  add("lines and bounds", "1", [](S s) {
    s->start_before = at("2005-01-01");
    s->rows = {row("XX", "*", "*", "*", nullptr, nullptr)};
  });
  add("a thousand lines", "2,4", [](S s) {
    for (int i = 0; i < 998; ++i) {
      s->rows.push_back(row("ZZ", string_printf("S%d", i).c_str(), "00", "BHZ", nullptr, nullptr));
    }
    s->rows.push_back(row("XX", "A", "00", "BH?", "2005-01-01T00:00:00.5", nullptr));
    s->rows.push_back(row("YY", "C", "10", "LHN", "2004-04-04T04:04:04", nullptr));
  });
  return cases;
}

std::string selected_periods(PeriodCatalog* catalog, const CalibrationSelection& selection) {
  std::vector<ChannelCodes> channels;
  Status status = catalog->find_channels(selection, &channels);
  if (!status.ok()) return "find_channels: " + status.text();
  std::vector<ChannelSpan> spans;
  status = catalog->find_channel_spans(selection, &spans);
  if (!status.ok()) return "find_channel_spans: " + status.text();
  std::vector<std::string> channel_names, span_names;
  for (const ChannelCodes& c : channels) channel_names.push_back(c.selector_text());
  for (const ChannelSpan& s : spans) span_names.push_back(s.codes.selector_text());
  std::sort(span_names.begin(), span_names.end());
  std::sort(channel_names.begin(), channel_names.end());
  if (span_names != channel_names) return "find_channel_spans names other channels";
  std::vector<int> found;
  for (const ChannelCodes& codes : channels) {
    status = catalog->open_periods(codes, selection, false);
    if (!status.ok()) return "open_periods: " + status.text();
    for (;;) {
      CatalogPeriod period;
      bool more = false;
      status = catalog->next_period(&period, &more);
      if (!status.ok()) return "next_period: " + status.text();
      if (!more) break;
      int number = 0;
      for (std::size_t i = 0; i < std::size(kPeriods); ++i) {
        const CasePeriod& p = kPeriods[i];
        if (period.codes.network == p.network && period.codes.sta == p.sta &&
            period.codes.location == p.location && period.codes.chan == p.chan &&
            time_key(period.startdate) == time_key(at(p.start))) {
          number = static_cast<int>(i + 1);
        }
      }
      found.push_back(number);
    }
  }
  std::sort(found.begin(), found.end());
  std::string text;
  for (const int n : found) text += (text.empty() ? "" : ",") + std::to_string(n);
  return text;
}

}  // namespace kalvynex
