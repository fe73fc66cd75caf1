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

// What a NUL byte in a text means: the end of the text (kalvynex's rule for
// the SAC and FAP texts), or a byte like any other, kept with the bytes
// after it as far as the driver's length reaches (the codes: a code holding
// a NUL is then seen, and refused, instead of being taken for a shorter one).
enum class NulByte { kEndsText, kKept };

// Reads a text column of the current row, whole whatever its length. A NULL
// gives the empty text. A NUL byte is read by the rule `nul`. A
// failure of the driver is a kLoad failure with its diagnostic; running out
// of memory is a kLoad failure that names the column `name` in plain words.
Status read_text_column(const OdbcHandle& statement, SQLUSMALLINT column, const char* name,
                        std::string* out, NulByte nul = NulByte::kEndsText);

}  // namespace kalvynex

#endif  // KALVYNEX_DB_COLUMN_READ_H_
