#include "db/column_read.h"

#include <new>
#include <stdexcept>

namespace kalvynex {

namespace {

// Reads the rest of a text whose first piece has been read: the indicator
// of that piece counted what was left before it, so the rest fits a buffer
// of its size and a NUL and is read in one piece. A driver may walk the rest
// of the text at every piece (the SQLite driver does), which would make
// small pieces cost time quadratic in the length. Without a length (which
// no driver here gives), the buffer doubles.
Status read_rest(const OdbcHandle& statement, SQLUSMALLINT column, SQLLEN first_indicator,
                 std::string* out) {
  std::size_t rest = first_indicator == SQL_NO_TOTAL
                         ? out->size() + 1
                         : static_cast<std::size_t>(first_indicator) - out->size();
  for (;;) {
    const std::size_t filled = out->size();
    out->resize(filled + rest + 1);
    SQLLEN indicator = 0;
    const SQLRETURN rc = SQLGetData(statement.get(), column, SQL_C_CHAR, &(*out)[filled],
                                    static_cast<SQLLEN>(rest + 1), &indicator);
    if (rc == SQL_NO_DATA) {
      out->resize(filled);
      return Status();
    }
    if (!odbc_succeeded(rc)) return check_odbc(rc, statement, Stage::kLoad);
    // Trust the indicator, not a terminating NUL: a piece that filled the
    // buffer holds its size - 1 bytes and a NUL (or, with the MariaDB
    // driver, no NUL at all).
    const bool whole = indicator != SQL_NO_TOTAL && indicator != SQL_NULL_DATA &&
                       static_cast<std::size_t>(indicator) <= rest;
    const std::size_t received = whole ? static_cast<std::size_t>(indicator) : rest;
    out->resize(filled + received);
    if (rc == SQL_SUCCESS || whole || received == 0) return Status();
    rest = indicator == SQL_NO_TOTAL ? out->size() : static_cast<std::size_t>(indicator) - received;
  }
}

}  // namespace

Status read_text_column(const OdbcHandle& statement, SQLUSMALLINT column, const char* name,
                        std::string* out, NulByte nul) {
  constexpr SQLLEN kFirstPiece = 16384;
  out->clear();
  try {
    // The length first, with no room for data, then the text in one piece
    // into a buffer of its size: a text longer than the buffer of a call
    // makes psqlODBC copy the whole of it into a buffer of its own first. A
    // driver that cannot tell the length, or refuses the question, is read
    // piece by piece.
    char none = 0;
    SQLLEN length = 0;
    const SQLRETURN probe = SQLGetData(statement.get(), column, SQL_C_CHAR, &none, 0, &length);
    if (probe == SQL_NO_DATA || (odbc_succeeded(probe) && length == SQL_NULL_DATA)) {
      return Status();
    }
    if (odbc_succeeded(probe) && length != SQL_NO_TOTAL) {
      if (length > 0) {
        Status status = read_rest(statement, column, length, out);
        if (!status.ok()) return status;
      }
    } else {
      // The first piece on the stack: most texts fit, and then the only
      // allocation is the text's own.
      char piece[kFirstPiece];
      SQLLEN indicator = 0;
      const SQLRETURN rc =
          SQLGetData(statement.get(), column, SQL_C_CHAR, piece, kFirstPiece, &indicator);
      if (rc == SQL_NO_DATA || (odbc_succeeded(rc) && indicator == SQL_NULL_DATA)) return Status();
      if (!odbc_succeeded(rc)) return check_odbc(rc, statement, Stage::kLoad);
      const bool whole = indicator != SQL_NO_TOTAL && indicator < kFirstPiece;
      const std::size_t received = static_cast<std::size_t>(whole ? indicator : kFirstPiece - 1);
      out->assign(piece, received);
      if (!whole && rc != SQL_SUCCESS && received > 0) {
        Status status = read_rest(statement, column, indicator, out);
        if (!status.ok()) return status;
      }
    }
  } catch (const std::bad_alloc&) {
    std::string().swap(*out);
    return Status::failure(Stage::kLoad, std::string("not enough memory to read the ") + name +
                                             " text");
  } catch (const std::length_error&) {
    std::string().swap(*out);
    return Status::failure(Stage::kLoad,
                           std::string("the ") + name + " text is too long to be read");
  }
  if (nul == NulByte::kEndsText) {
    const std::size_t end = out->find('\0');
    if (end != std::string::npos) out->resize(end);
  }
  return Status();
}

}  // namespace kalvynex
