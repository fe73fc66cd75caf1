// What kalvynex-inventory needs of the calibration table: the channels and
// periods that match a selection, one channel's periods at a time, and a
// period's response texts on request. CalibrationCatalog reads them from the
// database; the tests serve them from memory.
#ifndef KALVYNEX_DB_PERIOD_CATALOG_H_
#define KALVYNEX_DB_PERIOD_CATALOG_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/channel_codes.h"
#include "core/connection_parameters.h"
#include "core/status.h"
#include "core/timestamp.h"

namespace kalvynex {

// One selection line of a request: a pattern for each code (as in the lists
// of CalibrationSelection, "--" for the empty location) and its own window:
// the periods of the matching channels that overlap [start, end], either
// end missing when open.
struct SelectionRow {
  std::string network;
  std::string station;
  std::string location;
  std::string channel;
  std::optional<Timestamp> start;
  std::optional<Timestamp> end;
};

// Which periods to take. Each list holds code patterns, "*" standing for any
// run of characters and "?" for one; an empty list takes every code, and the
// location pattern "--" names the empty location. Codes are compared as the
// database compares texts (SQLite and MariaDB's default collation ignore the
// case of Latin letters, PostgreSQL does not).
struct CalibrationSelection {
  std::vector<std::string> networks;
  std::vector<std::string> stations;
  std::vector<std::string> locations;
  std::vector<std::string> channels;
  // Periods valid at this time: STARTDATE <= T <= ENDDATE, an open end
  // counting as valid.
  std::optional<Timestamp> valid_at;
  // Periods that overlap the window [window_start, window_end]; either end
  // may be missing.
  std::optional<Timestamp> window_start;
  std::optional<Timestamp> window_end;
  // Bounds on the dates themselves, each strict: STARTDATE < start_before,
  // STARTDATE > start_after, ENDDATE < end_before (an open end is before no
  // time) and ENDDATE > end_after (an open end is after every time).
  std::optional<Timestamp> start_before;
  std::optional<Timestamp> start_after;
  std::optional<Timestamp> end_before;
  std::optional<Timestamp> end_after;
  // When not empty, a period must match at least one row besides every
  // condition above.
  std::vector<SelectionRow> rows;
};

// One period of a channel, without its texts.
struct CatalogPeriod {
  ChannelCodes codes;
  Timestamp startdate;
  Timestamp enddate;    // year -1 when open: NULL, or 9999-12-31 23:59:59
  double sens = -1.0;   // NULL: -1.0
  int16_t id_sens = 0;  // NULL: 0
  double freq = -1.0;   // NULL: -1.0
  int16_t id_freq = 0;  // NULL: 0
  Timestamp lddate;     // year -1 when NULL
  bool has_sac = false;  // a SAC text that is neither NULL nor empty
  bool has_fap = false;
};

// The dates of one channel's matching periods, as the database finds them:
// the least STARTDATE and the greatest ENDDATE, each read by the rules of a
// period's dates (an ENDDATE that is NULL or the end of time is open).
struct ChannelSpan {
  ChannelCodes codes;
  Timestamp first_start;  // all zero when the database gave NULL
  Timestamp last_end;     // year -1 when no closed end was found
  bool any_open = false;  // some period has an open end
};

class PeriodCatalog {
 public:
  PeriodCatalog() = default;
  virtual ~PeriodCatalog() = default;
  PeriodCatalog(const PeriodCatalog&) = delete;
  PeriodCatalog& operator=(const PeriodCatalog&) = delete;

  // Failures are of stage kConnect.
  virtual Status connect(const ConnectionParameters& parameters) = 0;

  // As kalvynex checks it: a base table CALIBRATION with every column.
  virtual Status check_table() = 0;

  // The channels that have at least one matching period, ordered by network,
  // station, location and channel (bytes compared). Failures are of stage
  // kLoad.
  virtual Status find_channels(const CalibrationSelection& selection,
                               std::vector<ChannelCodes>* channels) = 0;

  // One span per channel with a matching period, in no particular order:
  // a single grouped query, so that the dates of stations and networks are
  // known before their periods are read. Failures are of stage kLoad.
  virtual Status find_channel_spans(const CalibrationSelection& selection,
                                    std::vector<ChannelSpan>* spans) = 0;

  // Starts reading the matching periods of `codes`, ordered by STARTDATE.
  // With `with_texts` the SAC and FAP texts can be read with read_texts. A
  // period query still open is closed first.
  virtual Status open_periods(const ChannelCodes& codes, const CalibrationSelection& selection,
                              bool with_texts) = 0;

  // The next period in *period; *found is false after the last one.
  virtual Status next_period(CatalogPeriod* period, bool* found) = 0;

  // The SAC and FAP texts of the period that next_period gave last (NULL
  // gives the empty text). Only after open_periods with `with_texts`, and at
  // most once per period.
  virtual Status read_texts(std::string* sac, std::string* fap) = 0;
};

}  // namespace kalvynex

#endif  // KALVYNEX_DB_PERIOD_CATALOG_H_
