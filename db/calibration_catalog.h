// The calibration table seen as a catalog of channels and their periods
// (db/period_catalog.h): which channels and periods match a selection,
// streamed one channel at a time, with the response texts read only when a
// caller asks for them.
//
// Every driver may hold a whole result in memory (psqlODBC and MariaDB
// always do; the SQLite3 driver does for a statement with parameters), so the
// periods are queried per channel: memory follows the longest history of one
// channel, never the number of periods selected.
//
// Time limits: the connection's QUERY_TIMEOUT holds for each call on its
// own: check_table, find_channels (the query and all its rows), open_periods
// (the period query), and each next_period and read_texts. A call that
// outlasts it is cancelled, and when the server or the network does not
// answer the cancel, the connection's sockets are shut down a second later:
// the call ends with the driver's text as a failure of its stage, and the
// connection is lost. The time between calls (writing files, say) never
// counts.
#ifndef KALVYNEX_DB_CALIBRATION_CATALOG_H_
#define KALVYNEX_DB_CALIBRATION_CATALOG_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/channel_codes.h"
#include "core/status.h"
#include "core/timestamp.h"
#include "db/calibration_source.h"
#include "db/period_catalog.h"

namespace kalvynex {

// The pattern as the operand of LIKE ... ESCAPE '!': "*" becomes "%", "?"
// becomes "_", and "%", "_" and "!" stand for themselves. "--" becomes the
// empty text.
std::string like_pattern(const std::string& code_pattern);

class CalibrationCatalog : public PeriodCatalog {
 public:
  CalibrationCatalog();
  ~CalibrationCatalog() override;
  CalibrationCatalog(const CalibrationCatalog&) = delete;
  CalibrationCatalog& operator=(const CalibrationCatalog&) = delete;

  // Failures are of stage kConnect.
  Status connect(const ConnectionParameters& parameters) override;

  // As kalvynex checks it: a base table CALIBRATION with every column.
  Status check_table() override;

  // The channels that have at least one matching period, ordered by network,
  // station, location and channel (bytes compared). Failures are of stage
  // kLoad.
  Status find_channels(const CalibrationSelection& selection,
                       std::vector<ChannelCodes>* channels) override;

  // One span per channel with a matching period, from one query grouped by
  // the four codes. Failures are of stage kLoad.
  Status find_channel_spans(const CalibrationSelection& selection,
                            std::vector<ChannelSpan>* spans) override;

  // Starts reading the matching periods of `codes`, ordered by STARTDATE.
  // With `with_texts` the SAC and FAP columns are selected too, to be read
  // with read_texts. A period query still open is closed first.
  Status open_periods(const ChannelCodes& codes, const CalibrationSelection& selection,
                      bool with_texts) override;

  // The next period in *period; *found is false after the last one.
  Status next_period(CatalogPeriod* period, bool* found) override;

  // The SAC and FAP texts of the period that next_period gave last (NULL
  // gives the empty text). Only after open_periods with `with_texts`, and at
  // most once per period.
  Status read_texts(std::string* sac, std::string* fap) override;

 private:
  // The connection, the open period query and its bound buffers; kept out of
  // this header so that no ODBC type reaches the front end.
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kalvynex

#endif  // KALVYNEX_DB_CALIBRATION_CATALOG_H_
