#include "inventory/element_dates.h"

#include <tuple>

namespace kalvynex {

namespace {

bool earlier(const Timestamp& a, const Timestamp& b) {
  return std::tie(a.year, a.month, a.day, a.hour, a.minute, a.second) <
         std::tie(b.year, b.month, b.day, b.hour, b.minute, b.second);
}

}  // namespace

void ElementDateIndex::Fold::add(const ChannelSpan& span) {
  if (is_calendar_time(span.first_start) && (!has_start || earlier(span.first_start, start))) {
    has_start = true;
    start = span.first_start;
  }
  // An end that is no calendar time is read as open, as the exports read it.
  if (span.any_open || is_open_end(span.last_end) || !is_calendar_time(span.last_end)) {
    open = true;
  } else if (!has_end || earlier(end, span.last_end)) {
    has_end = true;
    end = span.last_end;
  }
}

ElementDates ElementDateIndex::Fold::dates() const {
  ElementDates d;
  if (has_start) d.start = start;
  if (!open && has_end) d.end = end;
  return d;
}

ElementDateIndex::ElementDateIndex(const std::vector<ChannelSpan>& spans) {
  for (const ChannelSpan& span : spans) {
    if (!has_usable_codes(span.codes)) continue;
    networks_[span.codes.network].add(span);
    stations_[{span.codes.network, span.codes.sta}].add(span);
  }
}

ElementDates ElementDateIndex::network(const std::string& network) const {
  const auto found = networks_.find(network);
  return found == networks_.end() ? ElementDates() : found->second.dates();
}

ElementDates ElementDateIndex::station(const std::string& network,
                                       const std::string& station) const {
  const auto found = stations_.find({network, station});
  return found == stations_.end() ? ElementDates() : found->second.dates();
}

}  // namespace kalvynex
