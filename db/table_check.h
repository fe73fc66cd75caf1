// The check that the connected database holds the table CALIBRATION with
// every column that a load reads.
#ifndef KALVYNEX_DB_TABLE_CHECK_H_
#define KALVYNEX_DB_TABLE_CHECK_H_

#include <array>

#include "core/status.h"
#include "db/cancel_timer.h"
#include "db/odbc_connection.h"

namespace kalvynex {

// The columns that a load reads, in the order of the missing-columns text.
constexpr std::array<const char*, 13> kCalibrationColumns = {
    "NETWORK", "LOCATION", "STA", "CHAN",    "STARTDATE", "ENDDATE", "SENS",
    "ID_SENS", "FREQ",     "ID_FREQ", "SAC", "FAP",       "LDDATE"};

// Success when CALIBRATION is a base table (views do not count) of the
// connection's own catalog with all of kCalibrationColumns, names compared
// without case. Failures: kFindTable when the catalog cannot be asked,
// kReadColumns when its answer cannot be read or names no table ("NOT
// FOUND"), kMissingColumns with the missing names joined by ",". When
// `timer` is given, its time up cancels the catalog calls.
Status check_calibration_table(const OdbcConnection& connection, CancelTimer* timer = nullptr);

}  // namespace kalvynex

#endif  // KALVYNEX_DB_TABLE_CHECK_H_
