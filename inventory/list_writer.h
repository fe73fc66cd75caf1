// The texts of the list command: a header and one line per period as text
// columns, CSV (RFC 4180, CRLF line ends) or a JSON array of objects. The
// codes are shown as a terminal shows data (terminal_text) in text and CSV,
// by json_string's rule in JSON, so no code can start a line of its own.
#ifndef KALVYNEX_INVENTORY_LIST_WRITER_H_
#define KALVYNEX_INVENTORY_LIST_WRITER_H_

#include <string>

#include "db/period_catalog.h"
#include "inventory/options.h"

namespace kalvynex {

// `value` as one CSV field: as it is, or in double quotes with each quote
// doubled when it holds a comma, a quote, CR or LF.
std::string csv_field(const std::string& value);

// The listing, piece by piece: row per period (the first with the header),
// end after the last. Text and CSV write nothing for an empty selection,
// JSON an empty array.
class ListWriter {
 public:
  explicit ListWriter(ListFormat format) : format_(format) {}

  // The header (text and CSV; JSON's "[") with the first row, then the row.
  std::string row(const CatalogPeriod& p);

  // What closes the listing: JSON's "]" after at least one row, "[]" when
  // there was none; nothing for text and CSV.
  std::string end() const;

 private:
  std::string header() const;
  std::string line(const CatalogPeriod& p, bool first) const;

  ListFormat format_;
  bool begun_ = false;
};

}  // namespace kalvynex

#endif  // KALVYNEX_INVENTORY_LIST_WRITER_H_
