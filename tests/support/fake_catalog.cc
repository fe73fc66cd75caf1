#include "tests/support/fake_catalog.h"

#include <algorithm>
#include <sstream>
#include <tuple>
#include <utility>

#include <gtest/gtest.h>

namespace kalvynex {

namespace {

auto order_key(const ChannelCodes& c) { return std::tie(c.network, c.sta, c.location, c.chan); }

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

Status FakeCatalog::find_channels(const CalibrationSelection&,
                                  std::vector<ChannelCodes>* channels) {
  channels->clear();
  for (const FakePeriod& p : periods_) {
    if (std::find(channels->begin(), channels->end(), p.period.codes) == channels->end()) {
      channels->push_back(p.period.codes);
    }
  }
  std::sort(channels->begin(), channels->end(), [](const ChannelCodes& a, const ChannelCodes& b) {
    return order_key(a) < order_key(b);
  });
  return count(CatalogCall::kFindChannels);
}

Status FakeCatalog::find_channel_spans(const CalibrationSelection&,
                                       std::vector<ChannelSpan>* spans) {
  spans->clear();
  auto time_key = [](const Timestamp& t) {
    return std::tie(t.year, t.month, t.day, t.hour, t.minute, t.second);
  };
  for (const FakePeriod& fake : periods_) {
    const CatalogPeriod& p = fake.period;
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

Status FakeCatalog::open_periods(const ChannelCodes& codes, const CalibrationSelection&,
                                 bool with_texts) {
  open_.clear();
  next_ = 0;
  with_texts_ = with_texts;
  for (const FakePeriod& p : periods_) {
    if (p.period.codes == codes) open_.push_back(&p);
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
