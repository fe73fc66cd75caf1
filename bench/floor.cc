// Baseline for the benchmark: the database and conversion work that any
// program producing kalvynex's output has to do, and nothing else. It runs the
// same select as kalvynex, with the channel codes bound the same way, so that
// its run time is the floor against which kalvynex's run time is compared.
//
//   floor fetch-all DSN NETWORK LOCATION STA CHAN
//       every row, all nine columns; the two texts bound to 131072-byte
//       buffers, which hold every text of the 2,000-row channel whole.
//   floor fetch-one DSN NETWORK LOCATION STA CHAN
//       the first row only, all nine columns, both texts read whole with
//       SQLGetData.
//   floor convert DSN NETWORK LOCATION STA CHAN
//       fetch-one, then every line of the whole FAP text scanned with
//       "%lg%*c%lg%*c%lg" and written with one snprintf into a buffer that
//       was allocated beforehand.
//
// Prints one summary line on standard output; exits 0 on success, 2 on any
// ODBC failure, 1 on a usage error.
#include <sql.h>
#include <sqlext.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char kSelect[] =
    "select STARTDATE,ENDDATE,SENS,ID_SENS,FREQ,ID_FREQ,SAC,FAP,LDDATE "
    "from CALIBRATION where NETWORK=? and LOCATION=? and STA=? and CHAN=? "
    "order by STARTDATE desc";

constexpr SQLLEN kBoundTextBuffer = 131072;
constexpr SQLLEN kGetDataChunk = 1 << 20;

bool ok(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

[[noreturn]] void fail(const char* what, SQLSMALLINT type, SQLHANDLE handle) {
  std::vector<SQLCHAR> message(1024, 0);
  SQLCHAR state[6] = {0};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  if (handle != SQL_NULL_HANDLE) {
    SQLGetDiagRec(type, handle, 1, state, &native, message.data(),
                  static_cast<SQLSMALLINT>(message.size()), &length);
  }
  message.back() = 0;
  std::fprintf(stderr, "floor: %s failed: %s %s\n", what, reinterpret_cast<char*>(state),
               reinterpret_cast<char*>(message.data()));
  std::exit(2);
}

SQLCHAR* text(const std::string& s) {
  return reinterpret_cast<SQLCHAR*>(const_cast<char*>(s.c_str()));
}

struct Connection {
  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  SQLHSTMT stmt = SQL_NULL_HSTMT;
};

// Connects, binds the four codes as parameters and executes the select.
// `codes` must outlive the statement: the driver reads the bound buffers.
Connection execute(const std::string& dsn, const std::vector<std::string>& codes,
                   std::vector<SQLLEN>& lengths) {
  Connection c;
  if (!ok(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &c.env))) fail("env", 0, nullptr);
  SQLSetEnvAttr(c.env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3),
                SQL_IS_INTEGER);
  if (!ok(SQLAllocHandle(SQL_HANDLE_DBC, c.env, &c.dbc))) fail("dbc", SQL_HANDLE_ENV, c.env);
  const std::string empty;
  if (!ok(SQLConnect(c.dbc, text(dsn), SQL_NTS, text(empty), SQL_NTS, text(empty), SQL_NTS))) {
    fail("SQLConnect", SQL_HANDLE_DBC, c.dbc);
  }
  if (!ok(SQLAllocHandle(SQL_HANDLE_STMT, c.dbc, &c.stmt))) fail("stmt", SQL_HANDLE_DBC, c.dbc);
  lengths.assign(codes.size(), 0);
  for (std::size_t i = 0; i < codes.size(); ++i) {
    lengths[i] = static_cast<SQLLEN>(codes[i].size());
    const SQLULEN size = codes[i].empty() ? 1 : codes[i].size();
    if (!ok(SQLBindParameter(c.stmt, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT,
                             SQL_C_CHAR, SQL_VARCHAR, size, 0,
                             const_cast<char*>(codes[i].data()), lengths[i], &lengths[i]))) {
      fail("SQLBindParameter", SQL_HANDLE_STMT, c.stmt);
    }
  }
  if (!ok(SQLExecDirect(c.stmt, text(kSelect), SQL_NTS))) {
    fail("SQLExecDirect", SQL_HANDLE_STMT, c.stmt);
  }
  return c;
}

void finish(Connection& c) {
  SQLCloseCursor(c.stmt);
  SQLFreeHandle(SQL_HANDLE_STMT, c.stmt);
  SQLDisconnect(c.dbc);
  SQLFreeHandle(SQL_HANDLE_DBC, c.dbc);
  SQLFreeHandle(SQL_HANDLE_ENV, c.env);
}

// The non-text columns, bound once for every fetch.
struct RowBuffer {
  SQL_TIMESTAMP_STRUCT start{}, end{}, loaded{};
  double sens = 0.0, freq = 0.0;
  SQLSMALLINT id_sens = 0, id_freq = 0;
  SQLLEN ind[9] = {0};

  void bind(SQLHSTMT stmt) {
    SQLBindCol(stmt, 1, SQL_C_TYPE_TIMESTAMP, &start, sizeof start, &ind[0]);
    SQLBindCol(stmt, 2, SQL_C_TYPE_TIMESTAMP, &end, sizeof end, &ind[1]);
    SQLBindCol(stmt, 3, SQL_C_DOUBLE, &sens, 0, &ind[2]);
    SQLBindCol(stmt, 4, SQL_C_SSHORT, &id_sens, 0, &ind[3]);
    SQLBindCol(stmt, 5, SQL_C_DOUBLE, &freq, 0, &ind[4]);
    SQLBindCol(stmt, 6, SQL_C_SSHORT, &id_freq, 0, &ind[5]);
    SQLBindCol(stmt, 9, SQL_C_TYPE_TIMESTAMP, &loaded, sizeof loaded, &ind[8]);
  }
};

// Reads a text column of the current row whole with SQLGetData.
std::string read_text(SQLHSTMT stmt, SQLUSMALLINT column) {
  std::string out;
  std::vector<char> chunk(static_cast<std::size_t>(kGetDataChunk));
  for (;;) {
    const SQLLEN request = kGetDataChunk;
    SQLLEN ind = 0;
    const SQLRETURN rc = SQLGetData(stmt, column, SQL_C_CHAR, chunk.data(), request, &ind);
    if (rc == SQL_NO_DATA) break;
    if (!ok(rc)) fail("SQLGetData", SQL_HANDLE_STMT, stmt);
    if (ind == SQL_NULL_DATA) break;
    const SQLLEN got = (ind == SQL_NO_TOTAL || ind >= request) ? request - 1 : ind;
    out.append(chunk.data(), static_cast<std::size_t>(got));
    if (rc == SQL_SUCCESS) break;
  }
  return out;
}

int fetch_all(const std::string& dsn, const std::vector<std::string>& codes) {
  std::vector<SQLLEN> lengths;
  Connection c = execute(dsn, codes, lengths);
  RowBuffer row;
  row.bind(c.stmt);
  std::vector<char> sac(static_cast<std::size_t>(kBoundTextBuffer));
  std::vector<char> fap(static_cast<std::size_t>(kBoundTextBuffer));
  SQLBindCol(c.stmt, 7, SQL_C_CHAR, sac.data(), kBoundTextBuffer, &row.ind[6]);
  SQLBindCol(c.stmt, 8, SQL_C_CHAR, fap.data(), kBoundTextBuffer, &row.ind[7]);
  long rows = 0;
  long long text_bytes = 0;
  for (;;) {
    const SQLRETURN rc = SQLFetch(c.stmt);
    if (rc == SQL_NO_DATA) break;
    if (!ok(rc)) fail("SQLFetch", SQL_HANDLE_STMT, c.stmt);
    ++rows;
    for (int col : {6, 7}) {
      if (row.ind[col] > 0) {
        text_bytes += row.ind[col] < kBoundTextBuffer ? row.ind[col] : kBoundTextBuffer - 1;
      }
    }
  }
  finish(c);
  std::printf("fetch-all rows=%ld text_bytes=%lld\n", rows, text_bytes);
  return 0;
}

// Scans each "|"- or LF-separated line of `fap` and formats it into a
// buffer allocated before the loop. Returns the number of bytes written.
std::size_t convert(const std::string& fap, long* lines_out) {
  std::size_t separators = 1;
  for (const char ch : fap) separators += (ch == '|' || ch == '\n');
  // One formatted line of ordinary values takes about 40 bytes.
  std::vector<char> out(separators * 96 + 1);
  std::size_t used = 0;
  long lines = 0;
  std::string line;
  std::size_t start = 0;
  while (start < fap.size()) {
    std::size_t end = fap.find_first_of("|\n", start);
    if (end == std::string::npos) end = fap.size();
    if (end > start) {
      line.assign(fap, start, end - start);
      double f = -1.0, a = -1.0, p = 0.0;
      std::sscanf(line.c_str(), "%lg%*c%lg%*c%lg", &f, &a, &p);
      if (f > 0.0 && a > 0.0) {
        const std::size_t room = out.size() - used;
        const int n = std::snprintf(out.data() + used, room, "%12.7lf  %10.7le %10.7lf\n", f, a, p);
        if (n < 0 || static_cast<std::size_t>(n) >= room) {
          std::fprintf(stderr, "floor: output buffer too small\n");
          std::exit(2);
        }
        used += static_cast<std::size_t>(n);
        ++lines;
      }
    }
    start = end + 1;
  }
  *lines_out = lines;
  return used;
}

int fetch_one(const std::string& dsn, const std::vector<std::string>& codes, bool do_convert) {
  std::vector<SQLLEN> lengths;
  Connection c = execute(dsn, codes, lengths);
  RowBuffer row;
  row.bind(c.stmt);
  const SQLRETURN rc = SQLFetch(c.stmt);
  if (rc == SQL_NO_DATA) {
    std::fprintf(stderr, "floor: no row\n");
    return 2;
  }
  if (!ok(rc)) fail("SQLFetch", SQL_HANDLE_STMT, c.stmt);
  const std::string sac = read_text(c.stmt, 7);
  const std::string fap = read_text(c.stmt, 8);
  finish(c);
  if (!do_convert) {
    std::printf("fetch-one sac=%zu fap=%zu\n", sac.size(), fap.size());
    return 0;
  }
  long lines = 0;
  const std::size_t written = convert(fap, &lines);
  std::printf("convert fap=%zu lines=%ld out=%zu\n", fap.size(), lines, written);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr,
                 "usage: floor fetch-all|fetch-one|convert DSN NETWORK LOCATION STA CHAN\n");
    return 1;
  }
  const std::string mode = argv[1];
  const std::string dsn = argv[2];
  const std::vector<std::string> codes = {argv[3], argv[4], argv[5], argv[6]};
  if (mode == "fetch-all") return fetch_all(dsn, codes);
  if (mode == "fetch-one") return fetch_one(dsn, codes, false);
  if (mode == "convert") return fetch_one(dsn, codes, true);
  std::fprintf(stderr, "floor: unknown mode %s\n", mode.c_str());
  return 1;
}
