// Codes stored as an attacker would store them, end to end on each backend
// (a byte a backend cannot store is tried where it can be): nothing is
// written outside the output directory, no line of a code is taken as a
// line of a document, the StationXML document is valid, the JSON parses,
// every row is reported once and found by check as `code`.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <type_traits>
#include <string>
#include <vector>

#include "tests/e2e/e2e_fixture.h"
#include "tests/support/inventory_run.h"
#include "tests/support/stationxml.h"

namespace kalvynex {
namespace {

// Every file below `dir`, as paths relative to it.
void files_below(const std::string& dir, const std::string& prefix, std::vector<std::string>* out) {
  for (const std::string& name : directory_entries(dir)) {
    const std::string path = dir + "/" + name;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      files_below(path, prefix + name + "/", out);
    } else {
      out->push_back(prefix + name);
    }
  }
}

// True when `text` holds a byte below 0x20 other than LF and CR, or DEL.
bool has_raw_control(const std::string& text) {
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if ((b < 0x20 && b != '\n' && b != '\r') || b == 0x7F) return true;
  }
  return false;
}

class InventoryHostileCodesTest : public E2eTest {
 protected:
  ProcessResult inventory(std::vector<std::string> arguments) {
    return run_inventory(std::move(arguments));
  }

  // Whether `text` parses as JSON, read by node.
  bool parses_as_json(const std::string& text) {
    const std::string path = dir().write_file("doc.json", text);
    const ProcessResult node = run_process(
        "/usr/bin/node", {"-e", "JSON.parse(require('fs').readFileSync(process.argv[1], 'utf8'))",
                          path});
    return node.exit_status == 0;
  }

  // The pieces joined, as an SQL expression of this backend.
  std::string cat(const std::vector<std::string>& pieces) {
    const bool mariadb = database().backend() == Backend::MariaDB;
    std::string sql = mariadb ? "CONCAT(" : "(";
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      if (i > 0) sql += mariadb ? ", " : " || ";
      sql += pieces[i];
    }
    return sql + ")";
  }

  // The byte `n` as an SQL expression of this backend.
  std::string byte(int n) {
    return std::string(database().backend() == Backend::PostgreSQL ? "chr(" : "char(") +
           std::to_string(n) + ")";
  }
};

TEST_P(InventoryHostileCodesTest, UnusableCodesAreSkippedShownEscapedAndFound) {
  database().create_calibration_table(false);
  const bool sqlite = database().backend() == Backend::SQLite;
  const struct {
    const char* what;
    // NETWORK, LOCATION, STA, CHAN as SQL expressions
    std::string net, loc, sta, chan;
    std::string shown;  // the unusable code as messages show it
    const char* backends;  // where the bytes can be stored: S SQLite, P PostgreSQL, M MariaDB
  } all_rows[] = {
      {"a path up", "'XX'", "'00'", "'../../PW'", "'BHZ'", "../../PW", "SPM"},
      {"a slash", "'X/Y'", "'00'", "'SL'", "'BHZ'", "X/Y", "SPM"},
      {"dot dot", "'XX'", "'00'", "'..'", "'BHZ'", "..", "SPM"},
      {"a line feed", "'XX'", "'00'", cat({byte(10), "'POLES 1'"}), "'BHZ'",
       "\\x0aPOLES 1", "SPM"},
      {"0x01", "'XX'", "'00'", cat({"'A'", byte(1)}), "'BHZ'", "A\\x01", "SPM"},
      {"ESC and BEL", "'XX'", "'00'", cat({"'E'", byte(27), "']0;x'", byte(7)}), "'BHZ'",
       "E\\x1b]0;x\\x07", "SPM"},
      {"BEL in the location", "'XX'", cat({"'B'", byte(7)}), "'BEL'", "'BHZ'", "B\\x07", "SPM"},
      {"0xFF", "'XX'", "'00'", "'FF'", "CAST(X'4248FF' AS TEXT)", "BH\\xff", "S"},
      {"NUL", "'XX'", "'00'", cat({"'N'", byte(0), "'UL'"}), "'BHZ'", "N\\x00UL", "SM"},
  };
  std::vector<std::remove_reference_t<decltype(all_rows[0])>*> rows;
  for (const auto& row : all_rows) {
    const char letter = backend_name(database().backend())[0];
    if (std::string(row.backends).find(letter) != std::string::npos) rows.push_back(&row);
  }
  // The SQLite driver ends a text at a NUL: the code comes back cut short,
  // finds no period, and the channel is reported as such by every command.
  const std::string cut_short = "XX.N.00.BHZ: no period is found";
  auto needle = [&](const std::string& shown) {
    return sqlite && shown == "N\\x00UL" ? cut_short : shown + "\" ";
  };
  auto insert = [this](const std::string& net, const std::string& loc, const std::string& sta,
                       const std::string& chan) {
    database().execute("INSERT INTO CALIBRATION VALUES (" + net + ", " + loc + ", " + sta + ", " +
                       chan + ", '2003-01-01 00:00:00', NULL, 1.0e9, 1, 1.0, 1, '" + kSoundSac +
                       "', '" + kSoundFap + "', '2020-01-01 00:00:00')");
  };
  insert("'XX'", "'00'", "'GOOD'", "'BHZ'");
  for (const auto* row : rows) insert(row->net, row->loc, row->sta, row->chan);
  const std::string stations = dir().write_file("stations", "XX,GOOD,1,2,3\n");

  // Each export: status 1, one report per hostile channel with its code
  // escaped, only the sound channel written.
  dir().write_file("out/a/b/.keep", "");
  const struct {
    std::vector<std::string> args;
  } exports[] = {
      {{"export", "-f", "fap", "-o", "out/a/b"}},
      {{"export", "-f", "sac", "-o", "out/a/b"}},
      {{"export", "-f", "sacpz", "-o", "out/a/b"}},
      {{"export", "-f", "sacpz"}},
      {{"export", "-f", "stationxml", "-o", "out/n.xml", "--stations", stations}},
  };
  for (const auto& e : exports) {
    SCOPED_TRACE(e.args[2] + (e.args.size() > 3 ? " " + e.args[4] : std::string()));
    const ProcessResult r = inventory(e.args);
    EXPECT_EQ(r.exit_status, 1) << r.err;
    EXPECT_FALSE(has_raw_control(r.err)) << r.err;
    for (const auto* row : rows) {
      SCOPED_TRACE(row->what);
      const std::size_t at = r.err.find(needle(row->shown));
      ASSERT_NE(at, std::string::npos) << r.err;
      EXPECT_EQ(r.err.find(needle(row->shown), at + 1), std::string::npos) << r.err;
    }
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), static_cast<long>(rows.size()))
        << r.err;
    if (e.args.size() == 3) {  // the sacpz stream: the sound channel's POLES line only
      EXPECT_EQ(r.out.find("\nPOLES"), r.out.rfind("\nPOLES")) << r.out;
      EXPECT_NE(r.out.find("* STATION    (KSTNM): GOOD\n"), std::string::npos) << r.out;
    }
  }
  std::vector<std::string> files;
  files_below(dir().path() + "/out", "", &files);
  const std::vector<std::string> expected = {
      ".keep",
      "a/b/.keep",
      "a/b/GOOD_BHZ_XX_00_20030101.fap",
      "a/b/GOOD_BHZ_XX_00_20030101.sac",
      "a/b/SAC_PZs_XX_GOOD_BHZ_00_2003.001.00.00.00.0000_2599.365.23.59.59.99999",
      "n.xml",
  };
  EXPECT_EQ(files, expected);
  for (const std::string& name : directory_entries(dir().path())) {
    EXPECT_EQ(name.find("PW"), std::string::npos) << name;  // nothing above out/
  }
  EXPECT_EQ(stationxml_schema_errors(read_file_bytes(out_dir() + "/n.xml")), "");

  // list: every row, escaped; JSON that parses.
  for (const char* format : {"text", "csv", "json"}) {
    SCOPED_TRACE(format);
    const ProcessResult r = inventory({"list", "-f", format});
    EXPECT_EQ(r.exit_status, sqlite ? 1 : 0) << r.err;
    EXPECT_EQ(r.err, sqlite ? "kalvynex-inventory: " + cut_short +
                                  " by these codes as the driver gave them (a code cut short at "
                                  "a NUL byte?); channel skipped\n"
                            : "");
    EXPECT_FALSE(has_raw_control(r.out)) << r.out;
    if (std::string(format) == "json") {
      EXPECT_TRUE(parses_as_json(r.out)) << r.out;
    } else {
      EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'),
                static_cast<long>(rows.size() + (sqlite ? 1 : 2)))
          << r.out;
    }
  }

  // check: one `code` finding per hostile row, nothing raw; JSON that parses.
  const ProcessResult check = inventory({"check"});
  EXPECT_EQ(check.exit_status, 1) << check.err;
  EXPECT_FALSE(has_raw_control(check.out + check.err)) << check.out;
  for (const auto* row : rows) {
    SCOPED_TRACE(row->what);
    const std::string where = needle(row->shown) == cut_short ? check.err : check.out;
    const std::size_t found = where.find(needle(row->shown));
    ASSERT_NE(found, std::string::npos) << where;
    EXPECT_EQ(where.find(needle(row->shown), found + 1), std::string::npos) << where;
  }
  std::size_t code_findings = 0;
  for (std::size_t at = 0; (at = check.out.find(" code: ", at)) != std::string::npos; ++at) {
    ++code_findings;
  }
  EXPECT_EQ(code_findings, rows.size() - (sqlite ? 1 : 0)) << check.out;
  const ProcessResult json = inventory({"check", "-f", "json"});
  EXPECT_EQ(json.exit_status, 1) << json.err;
  EXPECT_TRUE(parses_as_json(json.out)) << json.out;
}

INSTANTIATE_TEST_SUITE_P(Backends, InventoryHostileCodesTest,
                         ::testing::ValuesIn(available_backends()), backend_test_name);

}  // namespace
}  // namespace kalvynex
