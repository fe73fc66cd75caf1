#include "db/column_read.h"


#include "db/odbc_handle.h"

namespace kalvynex {

Timestamp to_timestamp(const SQL_TIMESTAMP_STRUCT& t) {
  Timestamp result;
  result.year = t.year;
  result.month = t.month;
  result.day = t.day;
  result.hour = t.hour;
  result.minute = t.minute;
  result.second = t.second;
  result.fraction = 0;  // fractions of a second never take part in anything
  return result;
}

// A NULL end or load date: year -1, nothing else.
Timestamp null_date() {
  Timestamp result;
  result.year = -1;
  return result;
}

// Reads a text column of the current row with SQLGetData, piece by piece,
// whole whatever its length. A NULL gives the empty text. The text ends at its
// first NUL byte, if any.
bool read_text_column(SQLHSTMT statement, SQLUSMALLINT column, std::string* out) {
  constexpr SQLLEN kChunk = 16384;
  out->clear();
  // On the stack and uninitialized: only what the driver wrote is read, and
  // no allocation is made for a text that fits in one piece.
  char chunk[kChunk];
  for (bool first = true;; first = false) {
    SQLLEN indicator = 0;
    const SQLRETURN rc =
        SQLGetData(statement, column, SQL_C_CHAR, chunk, kChunk, &indicator);
    if (rc == SQL_NO_DATA) break;
    if (!odbc_succeeded(rc)) return false;
    if (indicator == SQL_NULL_DATA) break;
    // The first piece's indicator is the whole length where the driver knows it.
    if (first && indicator > kChunk) out->reserve(static_cast<std::size_t>(indicator));
    // Trust the indicator, not a terminating NUL: a piece that filled the
    // buffer holds kChunk - 1 bytes and its NUL.
    const SQLLEN received =
        (indicator == SQL_NO_TOTAL || indicator >= kChunk) ? kChunk - 1 : indicator;
    out->append(chunk, static_cast<std::size_t>(received));
    if (rc == SQL_SUCCESS || received == 0) break;  // the last piece
  }
  const std::size_t nul = out->find('\0');
  if (nul != std::string::npos) out->resize(nul);
  return true;
}

// Reads a timestamp column of the current row; a NULL gives year -1.
bool read_timestamp_column(SQLHSTMT statement, SQLUSMALLINT column, Timestamp* out) {
  SQL_TIMESTAMP_STRUCT value{};
  SQLLEN indicator = 0;
  const SQLRETURN rc =
      SQLGetData(statement, column, SQL_C_TYPE_TIMESTAMP, &value, sizeof value, &indicator);
  if (!odbc_succeeded(rc)) return false;
  *out = indicator == SQL_NULL_DATA ? null_date() : to_timestamp(value);
  return true;
}

}  // namespace kalvynex
