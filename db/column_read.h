// Reading one column of the current row with SQLGetData: texts whole,
// whatever their length, and timestamps as the core value.
#ifndef KALVYNEX_DB_COLUMN_READ_H_
#define KALVYNEX_DB_COLUMN_READ_H_

#include <sql.h>
#include <sqlext.h>

#include <string>

#include "core/status.h"
#include "core/timestamp.h"
#include "db/odbc_handle.h"

namespace kalvynex {

// The core value of an ODBC timestamp; the fraction is dropped.
Timestamp to_timestamp(const SQL_TIMESTAMP_STRUCT& t);

// A NULL end or load date: year -1, nothing else.
Timestamp null_date();

// Reads a text column of the current row, whole whatever its length. A NULL
// gives the empty text. The text ends at its first NUL byte, if any. A
// failure of the driver is a kLoad failure with its diagnostic; running out
// of memory is a kLoad failure that names the column `name` in plain words.
Status read_text_column(const OdbcHandle& statement, SQLUSMALLINT column, const char* name,
                        std::string* out);

// Reads a timestamp column of the current row; a NULL gives null_date().
bool read_timestamp_column(SQLHSTMT statement, SQLUSMALLINT column, Timestamp* out);

}  // namespace kalvynex

#endif  // KALVYNEX_DB_COLUMN_READ_H_
