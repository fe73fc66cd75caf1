#include "tests/support/fake_catalog.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <sstream>
#include <tuple>
#include <utility>

#include <gtest/gtest.h>

namespace kalvynex {

namespace {

auto order_key(const ChannelCodes& c) { return std::tie(c.network, c.sta, c.location, c.chan); }

// A time as a number that orders times, fractions included.
std::pair<double, uint32_t> when(const Timestamp& t) { return {timestamp_seconds(t), t.fraction}; }

// "*" any run of bytes, "?" one byte, "--" the empty code; bytes compared.
bool glob_matches(const char* pattern, const char* code) {
  for (; *pattern != '\0'; ++pattern, ++code) {
    if (*pattern == '*') {
      for (const char* rest = code;; ++rest) {
        if (glob_matches(pattern + 1, rest)) return true;
        if (*rest == '\0') return false;
      }
    }
    if (*code == '\0' || (*pattern != '?' && *pattern != *code)) return false;
  }
  return *code == '\0';
}

bool code_matches(const std::string& pattern, const std::string& code) {
  return pattern == "--" ? code.empty() : glob_matches(pattern.c_str(), code.c_str());
}

bool list_matches(const std::vector<std::string>& patterns, const std::string& code) {
  return patterns.empty() ||
         std::any_of(patterns.begin(), patterns.end(),
                     [&code](const std::string& p) { return code_matches(p, code); });
}

// As the database reads an end: NULL and the last second of 9999 are open.
bool open_end(const Timestamp& end) {
  return is_open_end(end) || when(end) >= when(Timestamp::at(9999, 12, 31, 23, 59, 59));
}

// The period overlaps [start, end].
bool overlaps(const CatalogPeriod& p, const std::optional<Timestamp>& start,
              const std::optional<Timestamp>& end) {
  return (!start || open_end(p.enddate) || when(p.enddate) >= when(*start)) &&
         (!end || when(p.startdate) <= when(*end));
}

// The semantics of CalibrationSelection, as the catalog's query has them.
bool selected(const CatalogPeriod& p, const CalibrationSelection& s) {
  const ChannelCodes& c = p.codes;
  if (!list_matches(s.networks, c.network) || !list_matches(s.stations, c.sta) ||
      !list_matches(s.locations, c.location) || !list_matches(s.channels, c.chan)) {
    return false;
  }
  if (s.valid_at && !overlaps(p, s.valid_at, s.valid_at)) return false;
  if (!overlaps(p, s.window_start, s.window_end)) return false;
  if (s.start_before && !(when(p.startdate) < when(*s.start_before))) return false;
  if (s.start_after && !(when(p.startdate) > when(*s.start_after))) return false;
  const bool open = open_end(p.enddate);
  if (s.end_before && (open || !(when(p.enddate) < when(*s.end_before)))) return false;
  if (s.end_after && !open && !(when(p.enddate) > when(*s.end_after))) return false;
  return s.rows.empty() ||
         std::any_of(s.rows.begin(), s.rows.end(), [&p, &c](const SelectionRow& r) {
           return code_matches(r.network, c.network) && code_matches(r.station, c.sta) &&
                  code_matches(r.location, c.location) && code_matches(r.channel, c.chan) &&
                  overlaps(p, r.start, r.end);
         });
}

}  // namespace

FakePeriod fake_period(const std::string& channel, const Timestamp& start, const Timestamp& end,
                       const std::string& sac, const std::string& fap) {
  FakePeriod p;
  std::istringstream in(channel);
  std::getline(in, p.period.codes.network, '.');
  std::getline(in, p.period.codes.sta, '.');
  std::getline(in, p.period.codes.location, '.');
  std::getline(in, p.period.codes.chan, '\0');
  p.period.startdate = start;
  p.period.enddate = end;
  p.sac = sac;
  p.fap = fap;
  p.period.has_sac = !sac.empty();
  p.period.has_fap = !fap.empty();
  return p;
}

FakeCatalog::FakeCatalog(std::vector<FakePeriod> periods) : periods_(std::move(periods)) {}

void FakeCatalog::fail(CatalogCall call, Status status, int nth) {
  failures_[call] = Failure{std::move(status), nth};
}

int FakeCatalog::calls(CatalogCall call) const {
  const auto found = calls_.find(call);
  return found == calls_.end() ? 0 : found->second;
}

Status FakeCatalog::count(CatalogCall call) {
  const int n = ++calls_[call];
  const auto found = failures_.find(call);
  if (found != failures_.end() && n >= found->second.nth) return found->second.status;
  return Status();
}

Status FakeCatalog::connect(const ConnectionParameters&) { return count(CatalogCall::kConnect); }

Status FakeCatalog::check_table() { return count(CatalogCall::kCheckTable); }

Status FakeCatalog::find_channels(const CalibrationSelection& selection,
                                  std::vector<ChannelCodes>* channels) {
  channels->clear();
  for (const FakePeriod& p : periods_) {
    if (selected(p.period, selection) &&
        std::find(channels->begin(), channels->end(), p.period.codes) == channels->end()) {
      channels->push_back(p.period.codes);
    }
  }
  std::sort(channels->begin(), channels->end(), [](const ChannelCodes& a, const ChannelCodes& b) {
    return order_key(a) < order_key(b);
  });
  return count(CatalogCall::kFindChannels);
}

Status FakeCatalog::find_channel_spans(const CalibrationSelection& selection,
                                       std::vector<ChannelSpan>* spans) {
  spans->clear();
  auto time_key = [](const Timestamp& t) {
    return std::tie(t.year, t.month, t.day, t.hour, t.minute, t.second);
  };
  for (const FakePeriod& fake : periods_) {
    const CatalogPeriod& p = fake.period;
    if (!selected(p, selection)) continue;
    auto span = std::find_if(spans->begin(), spans->end(),
                             [&p](const ChannelSpan& s) { return s.codes == p.codes; });
    if (span == spans->end()) {
      ChannelSpan first;
      first.codes = p.codes;
      first.last_end = Timestamp{-1};
      span = spans->insert(spans->end(), first);
    }
    // As the database query: starts of the years 1 to 9999 only.
    if (is_calendar_time(p.startdate) &&
        (!is_calendar_time(span->first_start) ||
         time_key(p.startdate) < time_key(span->first_start))) {
      span->first_start = p.startdate;
    }
    if (is_open_end(p.enddate)) {
      span->any_open = true;
    } else if (is_open_end(span->last_end) || time_key(span->last_end) < time_key(p.enddate)) {
      span->last_end = p.enddate;
    }
  }
  return count(CatalogCall::kFindChannelSpans);
}

Status FakeCatalog::open_periods(const ChannelCodes& codes, const CalibrationSelection& selection,
                                 bool with_texts) {
  open_.clear();
  next_ = 0;
  with_texts_ = with_texts;
  for (const FakePeriod& p : periods_) {
    if (p.period.codes == codes && selected(p.period, selection)) open_.push_back(&p);
  }
  return count(CatalogCall::kOpenPeriods);
}

Status FakeCatalog::next_period(CatalogPeriod* period, bool* found) {
  const Status status = count(CatalogCall::kNextPeriod);
  if (!status.ok()) return status;
  *found = next_ < open_.size();
  if (*found) *period = open_[next_++]->period;
  texts_read_ = false;
  return status;
}

Status FakeCatalog::read_texts(std::string* sac, std::string* fap) {
  // The real catalog reads each period's texts at most once, and only from
  // a query opened with them.
  EXPECT_TRUE(with_texts_) << "read_texts after open_periods without texts";
  EXPECT_FALSE(texts_read_) << "read_texts twice for one period";
  texts_read_ = true;
  const Status status = count(CatalogCall::kReadTexts);
  if (!status.ok() || next_ == 0) return status;
  *sac = open_[next_ - 1]->sac;
  *fap = open_[next_ - 1]->fap;
  return status;
}

}  // namespace kalvynex
