// The calibration source of a run over ODBC: the connection, the check of
// the table CALIBRATION and the choice of one channel's calibration.
#ifndef KALVYNEX_DB_CALIBRATION_DB_H_
#define KALVYNEX_DB_CALIBRATION_DB_H_

#include <functional>
#include <optional>

#include "db/calibration_source.h"
#include "db/odbc_connection.h"

namespace kalvynex {

class CalibrationDb final : public CalibrationSource {
 public:
  CalibrationDb() = default;

  Status connect(const ConnectionParameters& parameters) override;
  Status check_table() override;
  Status load_from_db(const ChannelCodes& codes, bool descending,
                      std::optional<CalibrationRecord>* chosen) override;
  Status load_for_date(const ChannelCodes& codes, const Timestamp& date,
                       std::optional<CalibrationRecord>* chosen) override;

 private:
  using RowFilter = std::function<bool(const Timestamp& start, const Timestamp& end)>;

  // Runs the channel's query and takes the first row that `accept` admits.
  // Rows after it are not fetched, and the texts of the rows before it are
  // never read.
  Status load_first_match(const ChannelCodes& codes, bool descending, const RowFilter& accept,
                          std::optional<CalibrationRecord>* chosen);

  OdbcConnection connection_;
};

}  // namespace kalvynex

#endif  // KALVYNEX_DB_CALIBRATION_DB_H_
