// Reading a text column of the current row with SQLGetData, whole whatever
// its length.
#ifndef KALVYNEX_DB_COLUMN_READ_H_
#define KALVYNEX_DB_COLUMN_READ_H_

#include <sql.h>
#include <sqlext.h>

#include <string>

#include "core/status.h"
#include "db/odbc_handle.h"

namespace kalvynex {

// Reads a text column of the current row, whole whatever its length. A NULL
// gives the empty text. The text ends at its first NUL byte, if any. A
// failure of the driver is a kLoad failure with its diagnostic; running out
// of memory is a kLoad failure that names the column `name` in plain words.
Status read_text_column(const OdbcHandle& statement, SQLUSMALLINT column, const char* name,
                        std::string* out);

}  // namespace kalvynex

#endif  // KALVYNEX_DB_COLUMN_READ_H_
