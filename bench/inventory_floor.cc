// Baseline for the kalvynex-inventory benchmark: the database work and the
// writing that any program exporting every period of the table has to do,
// and nothing else. It runs the same selects as kalvynex-inventory (the
// matching channels, then each channel's periods with the four codes bound
// as parameters), fetches every row with both texts read whole, and writes
// the same number of bytes in the same way:
//
//   inventory_floor DSN stream FILE BYTES_PER_PERIOD
//       one file: BYTES_PER_PERIOD bytes per period into a temporary file
//       beside FILE, synced and renamed over FILE at the end;
//   inventory_floor DSN files DIR BYTES_PER_PERIOD
//       one file of BYTES_PER_PERIOD bytes per period in DIR, each written
//       into a temporary file and sent to the disk (sync_file_range); every
//       256 files they are synced (fdatasync) and renamed over their names.
//
// Prints "periods=N text_bytes=T written=W"; exits 0 on success, 2 on any
// ODBC or file failure, 1 on a usage error.
#include <fcntl.h>
#include <sql.h>
#include <sqlext.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr char kChannels[] =
    "select distinct NETWORK,STA,LOCATION,CHAN from CALIBRATION where 1=1";
constexpr char kPeriods[] =
    "select STARTDATE,ENDDATE,SENS,ID_SENS,FREQ,ID_FREQ,LDDATE,"
    "case when SAC is null or SAC = '' then 0 else 1 end,"
    "case when FAP is null or FAP = '' then 0 else 1 end,SAC,FAP from CALIBRATION "
    "where NETWORK=? and STA=? and LOCATION=? and CHAN=? order by STARTDATE";
constexpr SQLLEN kChunk = 65536;

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
  std::fprintf(stderr, "inventory_floor: %s failed: %s %s\n", what,
               reinterpret_cast<char*>(state), reinterpret_cast<char*>(message.data()));
  std::exit(2);
}

[[noreturn]] void fail_file(const char* what, const std::string& path) {
  std::perror(("inventory_floor: " + std::string(what) + " " + path).c_str());
  std::exit(2);
}

SQLCHAR* text(const char* s) { return reinterpret_cast<SQLCHAR*>(const_cast<char*>(s)); }

std::string read_text(SQLHSTMT stmt, SQLUSMALLINT column) {
  std::string out;
  const std::unique_ptr<char[]> chunk(new char[kChunk]);
  for (;;) {
    SQLLEN ind = 0;
    const SQLRETURN rc = SQLGetData(stmt, column, SQL_C_CHAR, chunk.get(), kChunk, &ind);
    if (rc == SQL_NO_DATA) break;
    if (!ok(rc)) fail("SQLGetData", SQL_HANDLE_STMT, stmt);
    if (ind == SQL_NULL_DATA) break;
    const SQLLEN got = (ind == SQL_NO_TOTAL || ind >= kChunk) ? kChunk - 1 : ind;
    out.append(chunk.get(), static_cast<std::size_t>(got));
    if (rc == SQL_SUCCESS) break;
  }
  return out;
}

void write_all(int fd, const std::string& bytes, const std::string& path) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) fail_file("write", path);
    done += static_cast<std::size_t>(n);
  }
}

// The files of the "files" mode, put in place 256 at a time.
struct Batch {
  std::string dir;
  struct Pending {
    std::string temporary, name;
    int fd;
  };
  std::vector<Pending> pending;

  void add(std::size_t number, const std::string& bytes) {
    const std::string name = dir + "/" + std::to_string(number) + ".out";
    const std::string temporary = dir + "/." + std::to_string(number) + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) fail_file("create", temporary);
    write_all(fd, bytes, temporary);
    ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    pending.push_back({temporary, name, fd});
    if (pending.size() >= 256) flush();
  }
  void flush() {
    for (const Pending& p : pending) {
      if (::fdatasync(p.fd) != 0 || ::close(p.fd) != 0) fail_file("sync", p.temporary);
    }
    for (const Pending& p : pending) {
      if (::rename(p.temporary.c_str(), p.name.c_str()) != 0) fail_file("rename", p.name);
    }
    pending.clear();
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: inventory_floor DSN stream|files PATH BYTES_PER_PERIOD\n");
    return 1;
  }
  const std::string mode = argv[2];
  const std::string path = argv[3];
  const std::string period_bytes(static_cast<std::size_t>(std::atol(argv[4])), 'x');

  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  if (!ok(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) fail("env", 0, nullptr);
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3),
                SQL_IS_INTEGER);
  if (!ok(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc))) fail("dbc", SQL_HANDLE_ENV, env);
  if (!ok(SQLConnect(dbc, text(argv[1]), SQL_NTS, text(""), SQL_NTS, text(""), SQL_NTS))) {
    fail("SQLConnect", SQL_HANDLE_DBC, dbc);
  }

  // The channels, all of them, kept as four codes each.
  std::vector<std::vector<std::string>> channels;
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  if (!ok(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt))) fail("stmt", SQL_HANDLE_DBC, dbc);
  if (!ok(SQLExecDirect(stmt, text(kChannels), SQL_NTS))) fail("channels", SQL_HANDLE_STMT, stmt);
  for (;;) {
    const SQLRETURN rc = SQLFetch(stmt);
    if (rc == SQL_NO_DATA) break;
    if (!ok(rc)) fail("SQLFetch", SQL_HANDLE_STMT, stmt);
    channels.push_back({read_text(stmt, 1), read_text(stmt, 2), read_text(stmt, 3),
                        read_text(stmt, 4)});
  }
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);

  std::string stream_temporary = path + ".floor.tmp";
  int stream_fd = -1;
  std::string buffer;
  if (mode == "stream") {
    stream_fd = ::open(stream_temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (stream_fd < 0) fail_file("create", stream_temporary);
  }
  Batch batch{path, {}};

  std::size_t periods = 0;
  std::size_t text_bytes = 0;
  std::size_t written = 0;
  SQL_TIMESTAMP_STRUCT start{}, end{}, loaded{};
  double sens = 0, freq = 0;
  SQLSMALLINT id_sens = 0, id_freq = 0;
  SQLINTEGER has_sac = 0, has_fap = 0;
  SQLLEN ind[9] = {0};
  for (std::vector<std::string>& codes : channels) {
    if (!ok(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt))) fail("stmt", SQL_HANDLE_DBC, dbc);
    SQLLEN lengths[4];
    for (int i = 0; i < 4; ++i) {
      lengths[i] = static_cast<SQLLEN>(codes[i].size());
      SQLBindParameter(stmt, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, SQL_C_CHAR,
                       SQL_VARCHAR, codes[i].empty() ? 1 : codes[i].size(), 0, codes[i].data(),
                       lengths[i], &lengths[i]);
    }
    if (!ok(SQLExecDirect(stmt, text(kPeriods), SQL_NTS))) fail("periods", SQL_HANDLE_STMT, stmt);
    SQLBindCol(stmt, 1, SQL_C_TYPE_TIMESTAMP, &start, sizeof start, &ind[0]);
    SQLBindCol(stmt, 2, SQL_C_TYPE_TIMESTAMP, &end, sizeof end, &ind[1]);
    SQLBindCol(stmt, 3, SQL_C_DOUBLE, &sens, 0, &ind[2]);
    SQLBindCol(stmt, 4, SQL_C_SSHORT, &id_sens, 0, &ind[3]);
    SQLBindCol(stmt, 5, SQL_C_DOUBLE, &freq, 0, &ind[4]);
    SQLBindCol(stmt, 6, SQL_C_SSHORT, &id_freq, 0, &ind[5]);
    SQLBindCol(stmt, 7, SQL_C_TYPE_TIMESTAMP, &loaded, sizeof loaded, &ind[6]);
    SQLBindCol(stmt, 8, SQL_C_SLONG, &has_sac, 0, &ind[7]);
    SQLBindCol(stmt, 9, SQL_C_SLONG, &has_fap, 0, &ind[8]);
    for (;;) {
      const SQLRETURN rc = SQLFetch(stmt);
      if (rc == SQL_NO_DATA) break;
      if (!ok(rc)) fail("SQLFetch", SQL_HANDLE_STMT, stmt);
      text_bytes += read_text(stmt, 10).size() + read_text(stmt, 11).size();
      ++periods;
      if (stream_fd >= 0) {
        buffer += period_bytes;
        if (buffer.size() >= static_cast<std::size_t>(kChunk)) {
          write_all(stream_fd, buffer, stream_temporary);
          buffer.clear();
        }
      } else {
        batch.add(periods, period_bytes);
      }
      written += period_bytes.size();
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  }
  if (stream_fd >= 0) {
    write_all(stream_fd, buffer, stream_temporary);
    if (::fsync(stream_fd) != 0 || ::close(stream_fd) != 0) fail_file("sync", stream_temporary);
    if (::rename(stream_temporary.c_str(), path.c_str()) != 0) fail_file("rename", path);
  } else {
    batch.flush();
  }
  SQLDisconnect(dbc);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  std::printf("periods=%zu text_bytes=%zu written=%zu\n", periods, text_bytes, written);
  return 0;
}
