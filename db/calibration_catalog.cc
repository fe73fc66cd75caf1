#include "db/calibration_catalog.h"

#include <algorithm>
#include <tuple>
#include <utility>

#include "db/calibration_row.h"
#include "db/cancel_timer.h"
#include "db/odbc_connection.h"
#include "db/statement.h"
#include "db/table_check.h"

namespace kalvynex {

namespace {

// " and (COLUMN like ? escape '!' or ...)" for a non-empty pattern list.
void add_code_condition(const char* column, const std::vector<std::string>& patterns,
                        std::string* sql, Statement* parameters) {
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

// The stored times are whole seconds and add_time writes whole seconds: a
// selection time with a fraction is taken as its second for "STARTDATE <= T"
// and "> T" (dropping the fraction) and as the next second for "ENDDATE >=
// T" and "< T". An ENDDATE that is NULL or the last second of 9999 is open.
void add_time_conditions(const CalibrationSelection& selection, std::string* sql,
                         Statement* parameters) {
  if (selection.valid_at) {
    *sql += " and STARTDATE <= ? and (ENDDATE is null or ENDDATE >= ?)";
    parameters->add_time(*selection.valid_at);
    parameters->add_time(ceiling_second(*selection.valid_at));
  }
  if (selection.window_start) {
    *sql += " and (ENDDATE is null or ENDDATE >= ?)";
    parameters->add_time(ceiling_second(*selection.window_start));
  }
  if (selection.window_end) {
    *sql += " and STARTDATE <= ?";
    parameters->add_time(*selection.window_end);
  }
  if (selection.start_before) {
    *sql += " and STARTDATE < ?";
    parameters->add_time(ceiling_second(*selection.start_before));
  }
  if (selection.start_after) {
    *sql += " and STARTDATE > ?";
    parameters->add_time(*selection.start_after);
  }
  // ceiling_second keeps the last second of 9999, so that an end stored as
  // that second is never before the bound.
  if (selection.end_before) {
    *sql += " and ENDDATE < ?";
    parameters->add_time(ceiling_second(*selection.end_before));
  }
  if (selection.end_after) {
    *sql += " and (ENDDATE is null or ENDDATE > ? or ENDDATE >= ?)";
    parameters->add_time(*selection.end_after);
    parameters->add_time(Timestamp::at(9999, 12, 31, 23, 59, 59));
  }
}

// The rows [first, last) joined by "or" as a balanced tree of parentheses:
// a chain of a thousand terms would be deeper than SQLite's parser takes.
void add_row_tree(const std::vector<SelectionRow>& rows, std::size_t first, std::size_t last,
                  std::string* sql, Statement* parameters) {
  if (last - first > 1) {
    const std::size_t middle = first + (last - first) / 2;
    *sql += "(";
    add_row_tree(rows, first, middle, sql, parameters);
    *sql += " or ";
    add_row_tree(rows, middle, last, sql, parameters);
    *sql += ")";
    return;
  }
  // The times of a row are bound as texts, which every database reads as
  // times when it compares them with a date column: psqlODBC writes a
  // timestamp parameter as "$N::timestamp" into a buffer that cuts it to
  // "$1000::timestam" from the thousandth parameter on, and a thousand lines
  // reach that far. (The other times come before the lines, within the
  // first few hundred parameters.)
  const SelectionRow& row = rows[first];
  *sql += "(NETWORK like ? escape '!' and STA like ? escape '!' and LOCATION like ? escape '!'"
          " and CHAN like ? escape '!'";
  parameters->add_text(like_pattern(row.network));
  parameters->add_text(like_pattern(row.station));
  parameters->add_text(like_pattern(row.location));
  parameters->add_text(like_pattern(row.channel));
  if (row.start) {
    *sql += " and (ENDDATE is null or ENDDATE >= ?)";
    parameters->add_text(timestamp_text(ceiling_second(*row.start)));
  }
  if (row.end) {
    *sql += " and STARTDATE <= ?";
    parameters->add_text(timestamp_text(*row.end));
  }
  *sql += ")";
}

// The conditions of the selection other than its code lists.
void add_period_conditions(const CalibrationSelection& selection, std::string* sql,
                           Statement* parameters) {
  add_time_conditions(selection, sql, parameters);
  if (selection.rows.empty()) return;
  *sql += " and ";
  add_row_tree(selection.rows, 0, selection.rows.size(), sql, parameters);
}

// Every condition of the selection.
void add_selection_conditions(const CalibrationSelection& selection, std::string* sql,
                              Statement* parameters) {
  add_code_condition("NETWORK", selection.networks, sql, parameters);
  add_code_condition("STA", selection.stations, sql, parameters);
  add_code_condition("LOCATION", selection.locations, sql, parameters);
  add_code_condition("CHAN", selection.channels, sql, parameters);
  add_period_conditions(selection, sql, parameters);
}

// The columns after the CalibrationRow in the period query: whether SAC and
// FAP hold a text, then (with the texts) SAC and FAP.
constexpr SQLUSMALLINT kHasSacColumn = kCalibrationRowColumnCount + 1;
constexpr SQLUSMALLINT kHasFapColumn = kCalibrationRowColumnCount + 2;
constexpr SQLUSMALLINT kSacColumn = kCalibrationRowColumnCount + 3;
constexpr SQLUSMALLINT kFapColumn = kCalibrationRowColumnCount + 4;

}  // namespace

// Members in this order: the statement is unwatched and freed before the
// timer stops, and the timer stops before the connection closes.
struct CalibrationCatalog::Impl {
  OdbcConnection connection;
  std::unique_ptr<CancelTimer> timer;  // armed for one call at a time
  Statement periods;                   // the open period query
  ChannelCodes period_codes;
  bool period_texts = false;
  // Bound buffers of the period query; the catalog's state never moves, so
  // their addresses stay put while the statement is open.
  CalibrationRow row;
  SQLINTEGER has_sac = 0, has_fap = 0;
  SQLLEN has_sac_ind = 0, has_fap_ind = 0;
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
  impl_->periods.close();
  impl_->timer.reset();
  Status status = impl_->connection.open(parameters);
  impl_->timer = impl_->connection.query_timer(/*started=*/false);
  return status;
}

Status CalibrationCatalog::check_table() {
  const TimedCall call(impl_->timer.get());
  return check_calibration_table(impl_->connection, impl_->timer.get());
}

Status CalibrationCatalog::find_channels(const CalibrationSelection& selection,
                                         std::vector<ChannelCodes>* channels) {
  channels->clear();
  const TimedCall call(impl_->timer.get());
  Statement statement;
  Status status = statement.open(impl_->connection, Stage::kLoad, impl_->timer.get());
  if (!status.ok()) return status;
  std::string sql = "select distinct NETWORK,STA,LOCATION,CHAN from CALIBRATION where 1=1";
  add_selection_conditions(selection, &sql, &statement);
  status = statement.execute(sql);
  if (!status.ok()) return status;
  for (;;) {
    bool found = false;
    status = statement.fetch(&found);
    if (!status.ok()) return status;
    if (!found) break;
    ChannelCodes codes;
    status = statement.read_code(1, "NETWORK", &codes.network);
    if (status.ok()) status = statement.read_code(2, "STA", &codes.sta);
    if (status.ok()) status = statement.read_code(3, "LOCATION", &codes.location);
    if (status.ok()) status = statement.read_code(4, "CHAN", &codes.chan);
    if (!status.ok()) return status;
    channels->push_back(std::move(codes));
  }
  std::sort(channels->begin(), channels->end(), [](const ChannelCodes& a, const ChannelCodes& b) {
    return std::tie(a.network, a.sta, a.location, a.chan) <
           std::tie(b.network, b.sta, b.location, b.chan);
  });
  return Status();
}

Status CalibrationCatalog::find_channel_spans(const CalibrationSelection& selection,
                                              std::vector<ChannelSpan>* spans) {
  spans->clear();
  const TimedCall call(impl_->timer.get());
  Statement statement;
  Status status = statement.open(impl_->connection, Stage::kLoad, impl_->timer.get());
  if (!status.ok()) return status;
  // Only dates of the years 1 to 9999 are taken, as the exports skip a
  // period that starts at another; an end outside them (NULL, PostgreSQL's
  // -infinity, a text SQLite cannot read as a date) is read as open by the
  // exports and is counted as open here. A start or an end at the end of
  // time is read as the rows read it.
  const Timestamp first_time = Timestamp::at(1, 1, 1);
  const Timestamp last_time = Timestamp::at(9999, 12, 31, 23, 59, 59);
  std::string sql =
      "select NETWORK,STA,LOCATION,CHAN,"
      "min(case when STARTDATE >= ? and STARTDATE <= ? then STARTDATE end),"
      "max(case when ENDDATE >= ? and ENDDATE <= ? then ENDDATE end),"
      "sum(case when ENDDATE >= ? and ENDDATE <= ? then 0 else 1 end) "
      "from CALIBRATION where 1=1";
  for (int i = 0; i < 3; ++i) {
    statement.add_time(first_time);
    statement.add_time(last_time);
  }
  add_selection_conditions(selection, &sql, &statement);
  sql += " group by NETWORK,STA,LOCATION,CHAN";
  status = statement.execute(sql);
  if (!status.ok()) return status;
  SQL_TIMESTAMP_STRUCT first{}, last{};
  SQLINTEGER open_count = 0;
  SQLLEN first_ind = 0, last_ind = 0, open_ind = 0;
  status = statement.bind_column(5, SQL_C_TYPE_TIMESTAMP, &first, sizeof first, &first_ind);
  if (status.ok()) {
    status = statement.bind_column(6, SQL_C_TYPE_TIMESTAMP, &last, sizeof last, &last_ind);
  }
  if (status.ok()) status = statement.bind_column(7, SQL_C_SLONG, &open_count, 0, &open_ind);
  if (!status.ok()) return status;
  for (;;) {
    first = SQL_TIMESTAMP_STRUCT{};
    last = SQL_TIMESTAMP_STRUCT{};
    open_count = 0;
    bool found = false;
    status = statement.fetch(&found);
    if (!status.ok()) return status;
    if (!found) break;
    ChannelSpan span;
    status = statement.read_code(1, "NETWORK", &span.codes.network);
    if (status.ok()) status = statement.read_code(2, "STA", &span.codes.sta);
    if (status.ok()) status = statement.read_code(3, "LOCATION", &span.codes.location);
    if (status.ok()) status = statement.read_code(4, "CHAN", &span.codes.chan);
    if (!status.ok()) return status;
    span.first_start = row_start_date(first, first_ind);
    span.last_end = row_end_date(last, last_ind);
    span.any_open = open_ind != SQL_NULL_DATA && open_count != 0;
    spans->push_back(std::move(span));
  }
  return Status();
}

Status CalibrationCatalog::open_periods(const ChannelCodes& codes,
                                        const CalibrationSelection& selection, bool with_texts) {
  const TimedCall call(impl_->timer.get());
  Statement& statement = impl_->periods;
  Status status = statement.open(impl_->connection, Stage::kLoad, impl_->timer.get());
  if (!status.ok()) return status;
  impl_->period_codes = codes;
  impl_->period_texts = with_texts;

  std::string sql = std::string("select ") + kCalibrationRowColumns +
                    ",case when SAC is null or SAC = '' then 0 else 1 end,"
                    "case when FAP is null or FAP = '' then 0 else 1 end";
  if (with_texts) sql += ",SAC,FAP";
  sql += " from CALIBRATION where NETWORK=? and STA=? and LOCATION=? and CHAN=?";
  statement.add_text(codes.network);
  statement.add_text(codes.sta);
  statement.add_text(codes.location);
  statement.add_text(codes.chan);
  add_period_conditions(selection, &sql, &statement);
  sql += " order by STARTDATE";
  status = statement.execute(sql);
  if (status.ok()) status = impl_->row.bind(&statement);
  if (status.ok()) {
    status = statement.bind_column(kHasSacColumn, SQL_C_SLONG, &impl_->has_sac, 0,
                                   &impl_->has_sac_ind);
  }
  if (status.ok()) {
    status = statement.bind_column(kHasFapColumn, SQL_C_SLONG, &impl_->has_fap, 0,
                                   &impl_->has_fap_ind);
  }
  if (!status.ok()) statement.close();
  return status;
}

Status CalibrationCatalog::next_period(CatalogPeriod* period, bool* found) {
  *found = false;
  Statement& statement = impl_->periods;
  if (!statement.is_open()) return Status();
  const TimedCall call(impl_->timer.get());
  impl_->row.clear();
  impl_->has_sac = impl_->has_fap = 0;
  bool fetched = false;
  Status status = statement.fetch(&fetched);
  if (!status.ok() || !fetched) {
    statement.close();
    return status;
  }
  const CalibrationRow& row = impl_->row;
  period->codes = impl_->period_codes;
  period->startdate = row.start();
  period->enddate = row.end();
  period->sens = row.sens();
  period->id_sens = row.id_sens();
  period->freq = row.freq();
  period->id_freq = row.id_freq();
  period->lddate = row.lddate();
  period->has_sac = impl_->has_sac_ind != SQL_NULL_DATA && impl_->has_sac != 0;
  period->has_fap = impl_->has_fap_ind != SQL_NULL_DATA && impl_->has_fap != 0;
  *found = true;
  return Status();
}

Status CalibrationCatalog::read_texts(std::string* sac, std::string* fap) {
  sac->clear();
  fap->clear();
  if (!impl_->periods.is_open() || !impl_->period_texts) {
    return Status::failure(Stage::kLoad, "the period query does not select the texts");
  }
  const TimedCall call(impl_->timer.get());
  Status status = impl_->periods.read_text(kSacColumn, "SAC", sac);
  if (!status.ok()) return status;
  return impl_->periods.read_text(kFapColumn, "FAP", fap);
}

}  // namespace kalvynex
