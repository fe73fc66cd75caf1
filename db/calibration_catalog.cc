#include "db/calibration_catalog.h"

#include <algorithm>
#include <tuple>
#include <utility>

#include "core/string_printf.h"
#include "db/column_read.h"
#include "db/odbc_connection.h"
#include "db/table_check.h"

namespace kalvynex {

namespace {

// The parameters of one statement, bound in the order they were added. The
// values are kept here until the statement has run.
class Parameters {
 public:
  void add_text(std::string text) {
    texts_.push_back(std::move(text));
    kinds_.push_back(Kind::kText);
  }
  // A time goes in as the text "YYYY-MM-DD HH:MM:SS" of SQL type
  // TIMESTAMP: the SQLite3 driver would write a bound timestamp structure
  // with a fraction (".000"), which compares after the same second stored
  // as text; the server drivers convert the text into a timestamp.
  void add_time(const Timestamp& t) {
    texts_.push_back(string_printf("%04d-%02u-%02u %02u:%02u:%02u", t.year, t.month, t.day,
                                   t.hour, t.minute, t.second));
    kinds_.push_back(Kind::kTime);
  }

  Status bind(const OdbcHandle& statement, Stage stage) {
    lengths_.assign(kinds_.size(), 0);
    for (std::size_t i = 0; i < kinds_.size(); ++i) {
      const auto number = static_cast<SQLUSMALLINT>(i + 1);
      std::string& value = texts_[i];
      lengths_[i] = static_cast<SQLLEN>(value.size());
      const bool time = kinds_[i] == Kind::kTime;
      const SQLRETURN rc = SQLBindParameter(
          statement.get(), number, SQL_PARAM_INPUT, SQL_C_CHAR,
          time ? SQL_TYPE_TIMESTAMP : SQL_VARCHAR, value.empty() ? 1 : value.size(), 0,
          value.data(), lengths_[i], &lengths_[i]);
      Status status = check_odbc(rc, statement, stage);
      if (!status.ok()) return status;
    }
    return Status();
  }

 private:
  enum class Kind { kText, kTime };
  // Filled completely before bind() takes their addresses, so they never
  // move afterwards.
  std::vector<std::string> texts_;  // every parameter, in order
  std::vector<Kind> kinds_;
  std::vector<SQLLEN> lengths_;
};

// " and (COLUMN like ? escape '!' or ...)" for a non-empty pattern list.
void add_code_condition(const char* column, const std::vector<std::string>& patterns,
                        std::string* sql, Parameters* parameters) {
  if (patterns.empty()) return;
  *sql += " and (";
  for (std::size_t i = 0; i < patterns.size(); ++i) {
    if (i > 0) *sql += " or ";
    *sql += column;
    *sql += " like ? escape '!'";
    parameters->add_text(like_pattern(patterns[i]));
  }
  *sql += ")";
}

void add_time_conditions(const CalibrationSelection& selection, std::string* sql,
                         Parameters* parameters) {
  if (selection.valid_at) {
    *sql += " and STARTDATE <= ? and (ENDDATE is null or ENDDATE >= ?)";
    parameters->add_time(*selection.valid_at);
    parameters->add_time(*selection.valid_at);
  }
  if (selection.window_start) {
    *sql += " and (ENDDATE is null or ENDDATE >= ?)";
    parameters->add_time(*selection.window_start);
  }
  if (selection.window_end) {
    *sql += " and STARTDATE <= ?";
    parameters->add_time(*selection.window_end);
  }
}

// Bound buffers of the period query. The catalog's state never moves, so
// their addresses stay put while the statement is open.
struct PeriodRow {
  SQL_TIMESTAMP_STRUCT start{}, end{}, lddate{};
  double sens = 0.0, freq = 0.0;
  SQLSMALLINT id_sens = 0, id_freq = 0;
  SQLINTEGER has_sac = 0, has_fap = 0;
  SQLLEN start_ind = 0, end_ind = 0, lddate_ind = 0, sens_ind = 0, freq_ind = 0,
         id_sens_ind = 0, id_freq_ind = 0, has_sac_ind = 0, has_fap_ind = 0;
};

}  // namespace

struct CalibrationCatalog::Impl {
  OdbcConnection connection;
  OdbcHandle periods;  // the open period query
  ChannelCodes period_codes;
  bool period_texts = false;
  PeriodRow row;
};

CalibrationCatalog::CalibrationCatalog() : impl_(std::make_unique<Impl>()) {}
CalibrationCatalog::~CalibrationCatalog() = default;

std::string like_pattern(const std::string& code_pattern) {
  if (code_pattern == "--") return std::string();
  std::string pattern;
  pattern.reserve(code_pattern.size());
  for (const char c : code_pattern) {
    switch (c) {
      case '*': pattern += '%'; break;
      case '?': pattern += '_'; break;
      case '%': case '_': case '!':
        pattern += '!';
        pattern += c;
        break;
      default: pattern += c;
    }
  }
  return pattern;
}

Status CalibrationCatalog::connect(const ConnectionParameters& parameters) {
  impl_->periods.reset();
  return impl_->connection.open(parameters);
}

Status CalibrationCatalog::check_table() { return check_calibration_table(impl_->connection); }

Status CalibrationCatalog::find_channels(const CalibrationSelection& selection,
                                         std::vector<ChannelCodes>* channels) {
  channels->clear();
  std::string sql = "select distinct NETWORK,STA,LOCATION,CHAN from CALIBRATION where 1=1";
  Parameters parameters;
  add_code_condition("NETWORK", selection.networks, &sql, &parameters);
  add_code_condition("STA", selection.stations, &sql, &parameters);
  add_code_condition("LOCATION", selection.locations, &sql, &parameters);
  add_code_condition("CHAN", selection.channels, &sql, &parameters);
  add_time_conditions(selection, &sql, &parameters);

  OdbcHandle statement;
  Status status = impl_->connection.new_statement(Stage::kLoad, &statement);
  if (!status.ok()) return status;
  status = parameters.bind(statement, Stage::kLoad);
  if (!status.ok()) return status;
  status = check_odbc(SQLExecDirect(statement.get(), sql_text(sql), SQL_NTS), statement,
                      Stage::kLoad);
  if (!status.ok()) return status;
  for (;;) {
    const SQLRETURN rc = SQLFetch(statement.get());
    if (rc == SQL_NO_DATA) break;
    status = check_odbc(rc, statement, Stage::kLoad);
    if (!status.ok()) return status;
    ChannelCodes codes;
    status = read_text_column(statement, 1, "NETWORK", &codes.network);
    if (status.ok()) status = read_text_column(statement, 2, "STA", &codes.sta);
    if (status.ok()) status = read_text_column(statement, 3, "LOCATION", &codes.location);
    if (status.ok()) status = read_text_column(statement, 4, "CHAN", &codes.chan);
    if (!status.ok()) return status;
    channels->push_back(std::move(codes));
  }
  std::sort(channels->begin(), channels->end(), [](const ChannelCodes& a, const ChannelCodes& b) {
    return std::tie(a.network, a.sta, a.location, a.chan) <
           std::tie(b.network, b.sta, b.location, b.chan);
  });
  return Status();
}

Status CalibrationCatalog::open_periods(const ChannelCodes& codes,
                                        const CalibrationSelection& selection, bool with_texts) {
  impl_->periods.reset();
  impl_->period_codes = codes;
  impl_->period_texts = with_texts;

  std::string sql =
      "select STARTDATE,ENDDATE,SENS,ID_SENS,FREQ,ID_FREQ,LDDATE,"
      "case when SAC is null or SAC = '' then 0 else 1 end,"
      "case when FAP is null or FAP = '' then 0 else 1 end";
  if (with_texts) sql += ",SAC,FAP";
  sql += " from CALIBRATION where NETWORK=? and STA=? and LOCATION=? and CHAN=?";
  Parameters parameters;
  parameters.add_text(codes.network);
  parameters.add_text(codes.sta);
  parameters.add_text(codes.location);
  parameters.add_text(codes.chan);
  add_time_conditions(selection, &sql, &parameters);
  sql += " order by STARTDATE";

  Status status = impl_->connection.new_statement(Stage::kLoad, &impl_->periods);
  if (!status.ok()) return status;
  status = parameters.bind(impl_->periods, Stage::kLoad);
  if (!status.ok()) return status;
  status = check_odbc(SQLExecDirect(impl_->periods.get(), sql_text(sql), SQL_NTS), impl_->periods,
                      Stage::kLoad);
  if (!status.ok()) return status;

  struct Binding {
    SQLSMALLINT c_type;
    SQLPOINTER target;
    SQLLEN length;
    SQLLEN* indicator;
  };
  PeriodRow& r = impl_->row;
  const Binding bindings[] = {
      {SQL_C_TYPE_TIMESTAMP, &r.start, sizeof r.start, &r.start_ind},
      {SQL_C_TYPE_TIMESTAMP, &r.end, sizeof r.end, &r.end_ind},
      {SQL_C_DOUBLE, &r.sens, 0, &r.sens_ind},
      {SQL_C_SSHORT, &r.id_sens, 0, &r.id_sens_ind},
      {SQL_C_DOUBLE, &r.freq, 0, &r.freq_ind},
      {SQL_C_SSHORT, &r.id_freq, 0, &r.id_freq_ind},
      {SQL_C_TYPE_TIMESTAMP, &r.lddate, sizeof r.lddate, &r.lddate_ind},
      {SQL_C_SLONG, &r.has_sac, 0, &r.has_sac_ind},
      {SQL_C_SLONG, &r.has_fap, 0, &r.has_fap_ind},
  };
  SQLUSMALLINT column = 1;
  for (const Binding& b : bindings) {
    status = check_odbc(SQLBindCol(impl_->periods.get(), column++, b.c_type, b.target, b.length,
                                   b.indicator),
                        impl_->periods, Stage::kLoad);
    if (!status.ok()) return status;
  }
  return Status();
}

Status CalibrationCatalog::next_period(CatalogPeriod* period, bool* found) {
  *found = false;
  if (!impl_->periods) return Status();
  // A NULL leaves a bound buffer as it was; every row starts from zero.
  impl_->row = PeriodRow{};
  const SQLRETURN rc = SQLFetch(impl_->periods.get());
  if (rc == SQL_NO_DATA) {
    impl_->periods.reset();
    return Status();
  }
  Status status = check_odbc(rc, impl_->periods, Stage::kLoad);
  if (!status.ok()) return status;

  period->codes = impl_->period_codes;
  // A NULL start is all zero, as kalvynex reads it; the buffer of a NULL
  // column is never read (the SQLite driver leaves partial numbers there
  // for a stored date it cannot convert).
  period->startdate =
      impl_->row.start_ind == SQL_NULL_DATA ? Timestamp() : to_timestamp(impl_->row.start);
  period->enddate = impl_->row.end_ind == SQL_NULL_DATA ? null_date() : to_timestamp(impl_->row.end);
  period->sens = impl_->row.sens_ind == SQL_NULL_DATA ? -1.0 : impl_->row.sens;
  period->id_sens = impl_->row.id_sens;
  period->freq = impl_->row.freq_ind == SQL_NULL_DATA ? -1.0 : impl_->row.freq;
  period->id_freq = impl_->row.id_freq;
  period->lddate = impl_->row.lddate_ind == SQL_NULL_DATA ? null_date() : to_timestamp(impl_->row.lddate);
  period->has_sac = impl_->row.has_sac_ind != SQL_NULL_DATA && impl_->row.has_sac != 0;
  period->has_fap = impl_->row.has_fap_ind != SQL_NULL_DATA && impl_->row.has_fap != 0;
  *found = true;
  return Status();
}

Status CalibrationCatalog::read_texts(std::string* sac, std::string* fap) {
  sac->clear();
  fap->clear();
  if (!impl_->periods || !impl_->period_texts) {
    return Status::failure(Stage::kLoad, "the period query does not select the texts");
  }
  Status status = read_text_column(impl_->periods, 10, "SAC", sac);
  if (!status.ok()) return status;
  return read_text_column(impl_->periods, 11, "FAP", fap);
}

}  // namespace kalvynex
