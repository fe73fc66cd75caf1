// The outcome of an operation that can fail: success, or the stage that
// failed with the SQLSTATE and the text that explain why. Callers decide what
// to print; nothing that returns a Status prints.
#ifndef KALVYNEX_CORE_STATUS_H_
#define KALVYNEX_CORE_STATUS_H_

#include <string>
#include <utility>

namespace kalvynex {

// Where a database operation failed. Each stage has its own message prefix
// in the front end that reports it.
enum class Stage {
  kNone,            // no failure
  kConnect,         // opening the environment or the connection
  kFindTable,       // asking the catalog for the table
  kReadColumns,     // reading the catalog's answer, or the table is absent
  kMissingColumns,  // the table lacks columns; the text lists them
  kLoad,            // the channel's query, its rows or its texts
};

class Status {
 public:
  // Success.
  Status() = default;

  static Status failure(Stage stage, std::string text, std::string sqlstate = std::string()) {
    return Status(stage, std::move(text), std::move(sqlstate));
  }

  bool ok() const { return stage_ == Stage::kNone; }
  Stage stage() const { return stage_; }
  // Five characters from the driver or the driver manager; empty when the
  // failure did not come from ODBC.
  const std::string& sqlstate() const { return sqlstate_; }
  // The driver's message, or a reason of this program's own.
  const std::string& text() const { return text_; }

 private:
  Status(Stage stage, std::string text, std::string sqlstate)
      : stage_(stage), sqlstate_(std::move(sqlstate)), text_(std::move(text)) {}

  Stage stage_ = Stage::kNone;
  std::string sqlstate_;
  std::string text_;
};

}  // namespace kalvynex

#endif  // KALVYNEX_CORE_STATUS_H_
