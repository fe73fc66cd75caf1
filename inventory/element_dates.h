// The startDate and endDate of the Network and Station elements of a
// StationXML export, known before the first period is read: the channels'
// spans folded per network and per station, one entry each.
//
// They follow the periods the export can write: a channel whose codes no
// document may hold adds nothing, and neither does a period whose start is
// no calendar time (the database query leaves those out). An open end of
// any period leaves endDate out. A period the export skips later for its
// response numbers still counts: the element may then be wider than its
// channels, never narrower.
#ifndef KALVYNEX_INVENTORY_ELEMENT_DATES_H_
#define KALVYNEX_INVENTORY_ELEMENT_DATES_H_

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "db/period_catalog.h"
#include "response/stationxml_writer.h"

namespace kalvynex {

class ElementDateIndex {
 public:
  ElementDateIndex() = default;
  explicit ElementDateIndex(const std::vector<ChannelSpan>& spans);

  // Dates not known (no span of the element) are absent.
  ElementDates network(const std::string& network) const;
  ElementDates station(const std::string& network, const std::string& station) const;

 private:
  struct Fold {
    bool has_start = false;
    Timestamp start;
    bool open = false;
    bool has_end = false;
    Timestamp end;
    void add(const ChannelSpan& span);
    ElementDates dates() const;
  };
  std::map<std::string, Fold> networks_;
  std::map<std::pair<std::string, std::string>, Fold> stations_;
};

}  // namespace kalvynex

#endif  // KALVYNEX_INVENTORY_ELEMENT_DATES_H_
