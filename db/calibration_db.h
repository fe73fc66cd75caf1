// The calibration source of a run over ODBC: the connection, the check of
// the table CALIBRATION and the choice of one channel's calibration. The
// ODBC types stay behind this header.
#ifndef KALVYNEX_DB_CALIBRATION_DB_H_
#define KALVYNEX_DB_CALIBRATION_DB_H_

#include <memory>

#include "db/calibration_source.h"

namespace kalvynex {

// A new, unconnected source. It owns its connection, which is closed
// properly when the source is destroyed.
std::unique_ptr<CalibrationSource> make_calibration_db();

}  // namespace kalvynex

#endif  // KALVYNEX_DB_CALIBRATION_DB_H_
