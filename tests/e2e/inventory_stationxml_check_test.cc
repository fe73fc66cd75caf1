// kalvynex-inventory's StationXML export and check command end to end on
// each backend: the document validated against the official schema and its
// responses evaluated against the stored texts, and the findings of check
// on a table prepared with every kind of problem, and on the demo data.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <complex>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/string_printf.h"
#include "response/pole_zero.h"
#include "tests/e2e/e2e_fixture.h"
#include "tests/support/files.h"
#include "tests/support/stationxml.h"

namespace kalvynex {
namespace {

class InventoryStationXmlCheckTest : public E2eTest {
 protected:
  ProcessResult inventory(std::vector<std::string> arguments) {
    return run_inventory(std::move(arguments));
  }

  void insert(const std::string& net, const std::string& loc, const std::string& sta,
              const std::string& chan, const std::string& start, const std::string& end,
              const std::string& freq, const std::string& sac, const std::string& fap) {
    auto text = [](const std::string& t) { return t.empty() ? std::string("NULL") : "'" + t + "'"; };
    database().execute("INSERT INTO CALIBRATION VALUES ('" + net + "', '" + loc + "', '" + sta +
                       "', '" + chan + "', '" + start + "', " + text(end) + ", NULL, NULL, " +
                       freq + ", 1, " + text(sac) + ", " + text(fap) +
                       ", '2020-01-01 00:00:00')");
  }
};

// The SAC and FAP texts of each period of the demo data, by channel (with
// its location as the document writes it) and start.
struct StoredTexts {
  std::string sac, fap;
};

std::map<std::string, StoredTexts> demo_texts() {
  // Read back from the demo file itself, so that the test follows the data.
  const std::string sql = read_file_bytes(demo_data_file());
  std::map<std::string, StoredTexts> texts;
  std::size_t at = 0;
  while ((at = sql.find("INSERT INTO CALIBRATION VALUES (", at)) != std::string::npos) {
    const std::size_t end = sql.find(");", at);
    std::vector<std::string> fields;  // quoted texts, "" for NULL
    std::size_t i = sql.find('(', at) + 1;
    while (i < end) {
      while (i < end && (sql[i] == ' ' || sql[i] == '\n' || sql[i] == ',')) ++i;
      if (sql[i] == '\'') {
        const std::size_t close = sql.find('\'', i + 1);
        fields.push_back(sql.substr(i + 1, close - i - 1));
        i = close + 1;
      } else {
        std::size_t stop = sql.find(',', i);
        if (stop == std::string::npos || stop > end) stop = end;
        const std::string word = sql.substr(i, stop - i);
        fields.push_back(word == "NULL" ? "" : word);
        i = stop;
      }
    }
    // NETWORK, LOCATION, STA, CHAN, STARTDATE, ENDDATE, SENS, ID_SENS, FREQ, ID_FREQ, SAC, FAP
    // The document writes the stored "??" (no location) as "".
    const std::string loc = fields[1] == "??" ? std::string() : fields[1];
    const std::string key = fields[0] + "." + fields[2] + "." + loc + "." + fields[3] +
                            " " + fields[4].substr(0, 10) + "T" + fields[4].substr(11);
    texts[key] = {fields[10], fields[11]};
    at = end;
  }
  return texts;
}

TEST_P(InventoryStationXmlCheckTest, StationXmlOfTheDemoDataValidatesAndEvaluatesToTheTexts) {
  database().create_calibration_table();
  const std::string stations = dir().write_file(
      "stations.csv", "network,station,latitude,longitude,elevation,site\n"
                      "XX,ABC,41.5,-12.25,1234.5,\"Hut, north\"\nXX,DEF,-33,151,20\n");
  const ProcessResult result =
      inventory({"export", "--format", "stationxml", "--stations", stations});
  // GHI has no station line and no response text: both are reported.
  EXPECT_EQ(result.exit_status, 1) << result.err;
  EXPECT_EQ(result.err,
            "kalvynex-inventory: station YY.GHI is not in the stations file; written at 0, 0, 0\n"
            "kalvynex-inventory: YY.GHI.10.BHZ 2012-01-01T00:00:00: written without a response\n");
  EXPECT_EQ(stationxml_schema_errors(result.out), "");
  EXPECT_EQ(stationxml_created(result.out), "2023-11-14T22:13:20Z");

  const std::map<std::string, StoredTexts> texts = demo_texts();
  const std::vector<DocumentChannel> channels = read_stationxml(result.out);
  ASSERT_EQ(channels.size(), texts.size());
  int pole_zero_channels = 0;
  int list_channels = 0;
  for (const DocumentChannel& c : channels) {
    const std::string start = c.start.substr(0, 19);
    const std::string key =
        c.network + "." + c.station + "." + c.location + "." + c.channel + " " + start;
    ASSERT_EQ(texts.count(key), 1u) << key;
    const StoredTexts& stored = texts.at(key);
    if (c.station == "ABC") {
      EXPECT_EQ(c.latitude, 41.5);
      EXPECT_EQ(c.site_name, "Hut, north");
    }
    if (c.station == "GHI") {
      EXPECT_NE(c.station_comment.find("Coordinates unknown"), std::string::npos);
    }
    if (!stored.sac.empty()) {
      ++pole_zero_channels;
      PoleZeroResponse pz;
      ASSERT_TRUE(parse_pole_zero(stored.sac, &pz, nullptr)) << key;
      ASSERT_TRUE(c.has_pole_zero) << key;
      for (const double f : {0.005, 0.05, 0.5, 1.0, 3.0, 15.0, 80.0}) {
        const std::complex<double> expected = evaluate_pole_zero(pz, f);
        EXPECT_LT(std::abs(c.evaluate(f) - expected) / std::abs(expected), 1e-6)
            << key << " at " << f << " Hz";
      }
    } else if (!stored.fap.empty()) {
      ++list_channels;
      ASSERT_FALSE(c.has_pole_zero);
      std::vector<std::vector<double>> triplets;
      std::string fap = stored.fap;
      std::size_t i = 0;
      while (i < fap.size()) {
        std::size_t bar = fap.find('|', i);
        if (bar == std::string::npos) bar = fap.size();
        double f = 0, a = 0, p = 0;
        if (std::sscanf(fap.substr(i, bar - i).c_str(), "%lf %lf %lf", &f, &a, &p) == 3) {
          triplets.push_back({f, a, p});
        }
        i = bar + 1;
      }
      ASSERT_EQ(c.list.size(), triplets.size()) << key;
      for (std::size_t k = 0; k < triplets.size(); ++k) {
        EXPECT_EQ(c.list[k][0], triplets[k][0]);
        EXPECT_NEAR(c.list[k][1], 1e6 / triplets[k][1], 1e-9 * c.list[k][1]);
        EXPECT_EQ(c.list[k][2], triplets[k][2]);
      }
    } else {
      EXPECT_FALSE(c.has_response) << key;
    }
  }
  EXPECT_EQ(pole_zero_channels, 6);
  EXPECT_EQ(list_channels, 1);

  // The same document into a file; nothing matched leaves no file.
  const std::string file = out_dir() + "/network.xml";
  const ProcessResult to_file =
      inventory({"export", "-f", "stationxml", "--stations", stations, "-o", file, "-q"});
  EXPECT_EQ(to_file.exit_status, 1);
  EXPECT_EQ(to_file.err, "");
  EXPECT_EQ(read_file_bytes(file), result.out);
  const std::string none = out_dir() + "/none.xml";
  EXPECT_EQ(inventory({"export", "-f", "stationxml", "-o", none, "-n", "ZZ"}).exit_status, 3);
  EXPECT_FALSE(std::ifstream(none).good());
  // A bad stations file is a usage error.
  const std::string bad = dir().write_file("bad.csv", "XX,ABC,91,0,0\n");
  const ProcessResult refused = inventory({"export", "-f", "stationxml", "--stations", bad});
  EXPECT_EQ(refused.exit_status, 2);
  EXPECT_EQ(refused.err, "kalvynex-inventory: stations file " + bad +
                             ": line 1: latitude 91 is outside -90 <= latitude < 90\n");
  EXPECT_EQ(refused.out, "");
}

// Every kind of finding once, on periods that are otherwise sound.
// The start tag of the Network or Station element `tag` of `document`.
std::string start_tag(const std::string& document, const std::string& tag) {
  const std::size_t at = document.find(tag);
  return at == std::string::npos ? std::string() : document.substr(at, document.find('>', at) - at);
}

// Network and Station dates, as each backend's driver reads the grouped
// earliest start and latest end: closed ends, NULL and the end of time read
// as open, a start the export skips, and a selection that narrows them.
TEST_P(InventoryStationXmlCheckTest, NetworkAndStationDatesSpanTheWrittenPeriods) {
  const Backend backend = database().backend();
  database().create_calibration_table(false);
  const std::string sac = "ZEROS 2|POLES 2|-4.443 4.443|-4.443 -4.443|CONSTANT 4e8|";
  insert("NN", "00", "AAA", "BHZ", "2001-01-01 00:00:00", "2002-01-01 00:00:00", "1", sac, "");
  insert("NN", "00", "AAA", "BHN", "2000-06-01 12:00:00", "2003-05-05 05:05:05", "1", sac, "");
  insert("NN", "00", "AAA", "BHN", "2003-05-05 05:05:06", "2003-06-01 00:00:00", "1", sac, "");
  insert("NN", "00", "BBB", "BHZ", "2004-01-01 00:00:00", "9999-12-31 23:59:59", "1", sac, "");
  insert("NN", "00", "BBB", "BHN", "2004-01-01 00:00:00", "2005-01-01 00:00:00", "1", sac, "");
  insert("NN", "00", "CCC", "BHZ", "2006-01-01 00:00:00", "", "1", sac, "");
  insert("NN", "00", "CCC", "BHN", "2005-01-01 00:00:00", "2006-01-01 00:00:00", "1", sac, "");
  // A start the driver reads as no calendar time: the period is skipped
  // and does not move the station's start.
  if (backend != Backend::MariaDB) {
    insert("NN", "00", "CCC", "BHE",
           backend == Backend::SQLite ? "0000-00-00 00:00:00" : "-infinity",
           "2005-06-01 00:00:00", "1", sac, "");
  }
  const ProcessResult all = inventory({"export", "--format", "stationxml", "-q"});
  ASSERT_EQ(stationxml_schema_errors(all.out), "") << all.err;
  EXPECT_EQ(start_tag(all.out, "<Network code=\"NN\""),
            "<Network code=\"NN\" startDate=\"2000-06-01T12:00:00Z\"");
  EXPECT_EQ(start_tag(all.out, "<Station code=\"AAA\""),
            "<Station code=\"AAA\" startDate=\"2000-06-01T12:00:00Z\" "
            "endDate=\"2003-06-01T00:00:00Z\"");
  EXPECT_EQ(start_tag(all.out, "<Station code=\"BBB\""),
            "<Station code=\"BBB\" startDate=\"2004-01-01T00:00:00Z\"");
  EXPECT_EQ(start_tag(all.out, "<Station code=\"CCC\""),
            "<Station code=\"CCC\" startDate=\"2005-01-01T00:00:00Z\"");

  // The other units change no date (and give the third-party reader's test
  // documents of pole zeros in each units).
  for (const char* units : {"velocity", "acceleration"}) {
    const ProcessResult other =
        inventory({"export", "--format", "stationxml", "-q", "--units", units});
    ASSERT_EQ(stationxml_schema_errors(other.out), "") << units;
    EXPECT_EQ(start_tag(other.out, "<Station code=\"AAA\""), start_tag(all.out, "<Station code=\"AAA\""));
  }

  const ProcessResult bhz =
      inventory({"export", "--format", "stationxml", "-c", "BHZ", "--end", "2003-01-01"});
  EXPECT_EQ(bhz.exit_status, 0) << bhz.err;
  EXPECT_EQ(start_tag(bhz.out, "<Network code=\"NN\""),
            "<Network code=\"NN\" startDate=\"2001-01-01T00:00:00Z\" "
            "endDate=\"2002-01-01T00:00:00Z\"");
}

// --units on the demo data: each document validates and names its units;
// the velocity and acceleration responses are the displacement ones divided
// by 2 pi i f once and twice, at several frequencies, and so are the lists.
TEST_P(InventoryStationXmlCheckTest, StationXmlInEachUnitsIsTheDisplacementDividedBy2PiIf) {
  database().create_calibration_table();
  const char* const units[] = {"displacement", "velocity", "acceleration"};
  const char* const names[] = {"<Name>m</Name>", "<Name>m/s</Name>", "<Name>m/s**2</Name>"};
  std::vector<std::vector<DocumentChannel>> documents;
  for (int k = 0; k < 3; ++k) {
    const ProcessResult result =
        inventory({"export", "--format", "stationxml", "-q", "--units", units[k]});
    EXPECT_EQ(result.exit_status, 1) << result.err;  // GHI: no response, as always
    EXPECT_EQ(stationxml_schema_errors(result.out), "") << units[k];
    for (int other = 0; other < 3; ++other) {
      EXPECT_EQ(result.out.find(names[other]) != std::string::npos, other == k) << units[k];
    }
    documents.push_back(read_stationxml(result.out));
  }
  const std::vector<DocumentChannel>& displacement = documents[0];
  int pole_zero = 0, lists = 0;
  for (int k = 1; k < 3; ++k) {
    ASSERT_EQ(documents[k].size(), displacement.size());
    for (std::size_t i = 0; i < displacement.size(); ++i) {
      const DocumentChannel& d = displacement[i];
      const DocumentChannel& c = documents[k][i];
      const std::string id = std::string(units[k]) + " " + c.station + "." + c.channel + " " + c.start;
      ASSERT_EQ(c.has_pole_zero, d.has_pole_zero) << id;
      if (d.has_pole_zero) {
        ++pole_zero;
        for (const double f : {0.01, 0.2, 1.0, 4.5, 30.0}) {
          const std::complex<double> expected =
              d.evaluate(f) / std::pow(std::complex<double>(0.0, 2.0 * M_PI * f), k);
          EXPECT_LT(std::abs(c.evaluate(f) - expected), 1e-9 * std::abs(expected))
              << id << " at " << f << " Hz";
        }
        const double fn = c.sensitivity_frequency;
        EXPECT_NEAR(std::fabs(c.sensitivity), std::abs(c.evaluate(fn)),
                    1e-9 * std::fabs(c.sensitivity)) << id;
      }
      ASSERT_EQ(c.list.size(), d.list.size()) << id;
      for (std::size_t j = 0; j < d.list.size(); ++j) {
        ++lists;
        const double f = d.list[j][0];
        EXPECT_EQ(c.list[j][0], f);
        const double amplitude = d.list[j][1] / std::pow(2.0 * M_PI * f, k);
        EXPECT_NEAR(c.list[j][1], amplitude, 1e-9 * amplitude) << id;
        double shift = std::fmod(c.list[j][2] - d.list[j][2] + 90.0 * k, 360.0);
        EXPECT_NEAR(std::fabs(shift) == 360.0 ? 0.0 : shift, 0.0, 1e-9) << id;
      }
    }
  }
  EXPECT_GT(pole_zero, 0);
  EXPECT_GT(lists, 0);
}

TEST_P(InventoryStationXmlCheckTest, CheckFindsEveryKindAndNothingElse) {
  database().create_calibration_table(false);
  const std::string sac =
      "ZEROS 2|POLES 4|-0.0370 0.0370|-0.0370 -0.0370|-222.1 222.1|-222.1 -222.1|"
      "CONSTANT 5.92e+13|";
  PoleZeroResponse pz;
  ASSERT_TRUE(parse_pole_zero(sac, &pz, nullptr));
  std::string good;
  std::string scaled;  // the same amplitudes taken as velocity: off by 2 pi f
  for (const double f : {0.01, 0.1, 1.0, 10.0}) {
    const std::complex<double> response = evaluate_pole_zero(pz, f);
    const double a = 1e6 / std::abs(response);
    const double phase = std::arg(response) * 180 / M_PI;
    good += string_printf("%g %.9g %.6f|", f, a, phase);
    scaled += string_printf("%g %.9g %.6f|", f, a / (2 * M_PI * f), phase);
  }
  // Sound: one after the other, both ends counting, an open last one.
  insert("XX", "00", "ABC", "BHZ", "2001-01-01 00:00:00", "2004-12-31 23:59:59", "1.0", sac, good);
  insert("XX", "00", "ABC", "BHZ", "2005-01-01 00:00:00", "2008-01-01 00:00:00", "-1", sac, "");
  insert("XX", "00", "ABC", "BHZ", "2008-01-01 00:00:01", "", "NULL", "", good);
  // overlap: inside the open period above.
  insert("XX", "00", "ABC", "BHZ", "2010-01-01 00:00:00", "2011-01-01 00:00:00", "1.0", sac, good);
  insert("XX", "00", "ABC", "BHN", "2001-01-01 00:00:00", "2000-01-01 00:00:00", "1.0", sac, good);
  insert("XX", "00", "ABC", "BHE", "2001-01-01 00:00:00", "", "1.0", "", "");
  insert("XX", "00", "ABC", "LHZ", "2001-01-01 00:00:00", "", "1.0",
         "ZEROS 2|POLES 1|-1 1|-2 2|CONSTANT 1|", "");
  insert("XX", "00", "ABC", "LHN", "2001-01-01 00:00:00", "", "1.0", "", "1 2 3|0 1 1|");
  insert("XX", "00", "ABC", "LHE", "2001-01-01 00:00:00", "", "1.0", sac, scaled);
  // date: what each server stores that is not a calendar time, as its driver
  // reads it: the SQLite driver gives a date it cannot convert as NULL, and
  // MariaDB's zero date comes as NULL (a NULL start is all zero, as kalvynex
  // reads it); PostgreSQL's first year before Christ comes as year -1.
  const char* bad_date = database().backend() == Backend::PostgreSQL ? "0001-01-01 00:00:00 BC"
                         : database().backend() == Backend::MariaDB  ? "0000-00-00 00:00:00"
                                                                     : "2016-02-30 00:00:00";
  insert("XX", "10", "DEF", "HHZ", bad_date, "", "1.0", sac, good);

  const ProcessResult result = inventory({"check"});
  EXPECT_EQ(result.exit_status, 1) << result.err;
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < result.out.size();) {
    const std::size_t lf = result.out.find('\n', i);
    lines.push_back(result.out.substr(i, lf - i));
    i = lf + 1;
  }
  // The findings in the order of the channels and periods, each with the
  // start of its period and its kind; the details of the pole-zero reader
  // are its own.
  const std::string date_start = database().backend() == Backend::PostgreSQL ? "-001-01-01T00:00:00"
                                                                            : "0000-00-00T00:00:00";
  const std::vector<std::string> expected = {
      "XX.ABC.00.BHE 2001-01-01T00:00:00 empty: neither a SAC nor a FAP text",
      "XX.ABC.00.BHN 2001-01-01T00:00:00 order: END 2000-01-01T00:00:00 is before START",
      "XX.ABC.00.BHZ 2010-01-01T00:00:00 overlap: valid at the same time as the period from "
      "2008-01-01T00:00:01 (open)",
      "XX.ABC.00.LHE 2001-01-01T00:00:00 mismatch: pole zeros and FAP differ by -15.96 dB at 1 "
      "Hz, the calibration frequency (FAP line 3): ",
      "XX.ABC.00.LHN 2001-01-01T00:00:00 fap: line 2 dropped: frequency 0 is not positive",
      "XX.ABC.00.LHN 2001-01-01T00:00:00 fap: 1 usable triplet, at least 2 needed",
      "XX.ABC.00.LHZ 2001-01-01T00:00:00 sac: line 4: ",
      "XX.DEF.10.HHZ " + date_start + " date: START " + date_start +
          " is not a calendar time",
  };
  ASSERT_EQ(lines.size(), expected.size()) << result.out;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(lines[i].substr(0, expected[i].size()), expected[i]);
  }
  EXPECT_EQ(result.err, "kalvynex-inventory: 8 findings in 10 periods\n");

  // JSON: the same findings as one array; a wide tolerance drops the mismatch.
  const ProcessResult json = inventory({"check", "--format", "json", "--tolerance", "40", "-q"});
  EXPECT_EQ(json.exit_status, 1);
  EXPECT_EQ(json.out.substr(0, 2), "[\n");
  EXPECT_EQ(json.out.substr(json.out.size() - 3), "\n]\n");
  std::size_t objects = 0;
  for (std::size_t i = 0; (i = json.out.find("{\"network\": ", i)) != std::string::npos; ++i) {
    ++objects;
  }
  EXPECT_EQ(objects, expected.size() - 1);
  EXPECT_EQ(json.out.find("mismatch"), std::string::npos);
  EXPECT_EQ(json.err, "");
  // Sound periods only: no finding, status 0, an empty array.
  const ProcessResult sound = inventory({"check", "-f", "json", "-c", "BHZ", "--end", "2009-01-01"});
  EXPECT_EQ(sound.exit_status, 0) << sound.out;
  EXPECT_EQ(sound.out, "[]\n");
}

// The hostile numbers and dates of a table, on each backend that can store
// them: no export writes NaN or INF, every document validates, each
// unusable period is skipped by each format that cannot write it (reported
// once), and check reports each once with its kind. MariaDB stores no
// infinity and no start that its driver misreads, and reads numbers as the
// others do: it has nothing of its own to show here.
TEST_P(InventoryStationXmlCheckTest, HostileNumbersAndDates) {
  const Backend backend = database().backend();
  if (backend == Backend::MariaDB) GTEST_SKIP() << "stores none of these rows";
  database().create_calibration_table(false);
  const std::string sac = "ZEROS 2|POLES 2|-4.443 4.443|-4.443 -4.443|CONSTANT 4e8|";
  const std::string fap = "0.1 1000 0|1 1000 0|";
  const std::string inf = backend == Backend::SQLite ? "9e999" : "'Infinity'::float8";
  // What each backend stores as a start and its driver reads as no calendar
  // time: SQLite's driver gives the zero date as NULL (all fields 0),
  // psqlODBC gives -infinity as the year -9999.
  const std::string bad_start =
      backend == Backend::SQLite ? "0000-00-00 00:00:00" : "-infinity";
  const std::string bad_label = backend == Backend::SQLite ? "XX.K.00.BHZ 0000-00-00T00:00:00"
                                                           : "XX.K.00.BHZ -9999-01-01T00:00:00";
  const std::string start = "2001-01-01 00:00:00";
  const struct {
    const char* sta;
    std::string freq, sac, fap;
    const char* kind;     // check's finding; null: none of sac, fap, date
    const char* skipped;  // formats that skip it, of "s" (sac), "f" (fap), "p" (sacpz), "x"
  } rows[] = {
      {"A", inf, sac, fap, nullptr, ""},
      // NaN only PostgreSQL stores; FREQ 0 counts as absent as well.
      {"L", backend == Backend::SQLite ? "0" : "'NaN'::float8", sac, fap, nullptr, ""},
      {"B", "1e300", sac, fap, nullptr, ""},
      {"C", "1e-300", sac, fap, nullptr, ""},
      {"D", "5", "ZEROS 0|POLES 2|0 31.41592653589793|0 -31.41592653589793|CONSTANT 1|", "",
       nullptr, "f"},
      {"E", "5", "ZEROS 1|0 31.41592653589793|POLES 1|-1 0|CONSTANT 1|", "", nullptr, "f"},
      {"F", "1", "ZEROS 0|POLES 1|nan 0|CONSTANT 1|", "", "sac", "sfpx"},
      {"G", "1", "", "0.1 4.9e-324 0|1 1000 0|", "fap", "sfpx"},
      {"H", "1", "", "0.1 1000 -450|1 1000 400|", nullptr, "sp"},
      {"I", "1", "", "0.1 1000 NaN|1 1000 0|", "fap", "sfpx"},
      {"J", "1", "", "0.1 1000 0|1 1000 INF|", "fap", "sfpx"},
      {"K", "1", sac, fap, "date", "sfpx"},
  };
  for (const auto& row : rows) {
    insert("XX", "00", row.sta, "BHZ", row.sta[0] == 'K' ? bad_start : start, "", row.freq,
           row.sac, row.fap);
  }
  auto label = [&](const char* sta) {
    return sta[0] == 'K' ? bad_label : "XX." + std::string(sta) + ".00.BHZ 2001-01-01T00:00:00";
  };
  // "nan" or "inf" as a word of its own, in any letter case ("infinite" is
  // a word of the messages).
  auto no_special_numbers = [](const std::string& what, const std::string& bytes) {
    std::string lower = bytes;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    auto letter = [&lower](std::size_t i) {
      return i < lower.size() && std::isalpha(static_cast<unsigned char>(lower[i])) != 0;
    };
    for (const char* word : {"nan", "inf"}) {
      for (std::size_t at = lower.find(word); at != std::string::npos;
           at = lower.find(word, at + 1)) {
        EXPECT_TRUE((at > 0 && letter(at - 1)) || letter(at + 3))
            << what << " holds " << bytes.substr(at, 3) << ": " << bytes;
      }
    }
  };

  const struct {
    char letter;
    const char* format;
  } formats[] = {{'s', "sac"}, {'f', "fap"}, {'p', "sacpz"}, {'x', "stationxml"}};
  for (const auto& format : formats) {
    SCOPED_TRACE(format.format);
    const std::string out = dir().path() + "/" + format.format;
    ASSERT_EQ(::mkdir(out.c_str(), 0755), 0);
    const std::string target = format.letter == 'x' ? out + "/n.xml" : out;
    const ProcessResult result = inventory({"export", "-f", format.format, "-o", target});
    EXPECT_EQ(result.exit_status, 1) << result.err;
    std::size_t written = 0;
    for (const auto& row : rows) {
      const bool skipped = std::string(row.skipped).find(format.letter) != std::string::npos;
      const std::string prefix = "kalvynex-inventory: " + label(row.sta) + ": ";
      std::size_t reports = 0;
      for (std::size_t at = result.err.find(prefix); at != std::string::npos;
           at = result.err.find(prefix, at + 1)) {
        ++reports;
        const std::size_t lf = result.err.find('\n', at);
        const std::string line = result.err.substr(at, lf - at);
        if (skipped) {
          EXPECT_EQ(line.substr(line.size() - 9), "; skipped") << line;
        }
      }
      // A moved normalisation frequency (StationXML, the A0 of sacpz) is
      // said once too.
      const bool moved = (format.letter == 'x' || format.letter == 'p') &&
                         std::string("BCDE").find(row.sta[0]) != std::string::npos;
      EXPECT_EQ(reports, skipped || moved ? 1u : 0u) << row.sta << "\n" << result.err;
      if (!skipped) ++written;
    }
    no_special_numbers("stderr", result.err);
    const std::vector<std::string> files = directory_entries(out);
    for (const std::string& name : files) {
      no_special_numbers(name, name);
      no_special_numbers(name, read_file_bytes(out + "/" + name));
    }
    if (format.letter != 'x') {
      EXPECT_EQ(files.size(), written);
      continue;
    }
    const std::string document = read_file_bytes(target);
    EXPECT_EQ(stationxml_schema_errors(document), "");
    const std::vector<DocumentChannel> channels = read_stationxml(document);
    ASSERT_EQ(channels.size(), written);
    for (const DocumentChannel& c : channels) {
      SCOPED_TRACE(c.station);
      if (c.station == "H") {
        ASSERT_EQ(c.list.size(), 2u);
        EXPECT_EQ(c.list[0][2], -90.0);
        EXPECT_EQ(c.list[1][2], 40.0);
        continue;
      }
      ASSERT_TRUE(c.has_pole_zero);
      // FREQ inf counts as absent; the others moved to 1 Hz.
      EXPECT_EQ(c.normalization_frequency, 1.0);
      EXPECT_TRUE(std::isfinite(c.normalization_factor) && c.normalization_factor != 0.0);
      EXPECT_TRUE(std::isfinite(c.sensitivity) && c.sensitivity != 0.0);
    }
  }

  const ProcessResult check = inventory({"check"});
  EXPECT_EQ(check.exit_status, 1) << check.err;
  no_special_numbers("check", check.out);
  for (const auto& row : rows) {
    for (const char* kind : {"sac", "fap", "date"}) {
      const std::string prefix = label(row.sta) + " " + kind + ": ";
      std::size_t lines = 0;
      for (std::size_t at = check.out.find(prefix); at != std::string::npos;
           at = check.out.find(prefix, at + 1)) {
        ++lines;
      }
      EXPECT_EQ(lines, row.kind != nullptr && std::string(row.kind) == kind ? 1u : 0u)
          << row.sta << " " << kind << "\n" << check.out;
    }
  }
}

// The demo data (docs/inventory.md explains each finding): one period
// without any text; FAP amplitudes 2 pi f times the pole zeros' (and 6 dB
// more on BHZ); BHZ FAP phases without the pole zeros' 35 Hz corner; SENS
// twice the computed sensitivity on BH?, CONSTANT on HHZ.
TEST_P(InventoryStationXmlCheckTest, CheckOfTheDemoDataReportsWhatIsWrongWithIt) {
  database().create_calibration_table();
  const ProcessResult result = inventory({"check", "-q"});
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.out,
            "XX.ABC.00.BHE 2011-01-01T00:00:00 sens: SENS 1.6e+09 differs by +6.02 dB from the "
            "7.99742e+08 count/m that the pole zeros give at 1 Hz, the calibration frequency; "
            "SENS is larger\n"
            "XX.ABC.00.BHN 2011-01-01T00:00:00 sens: SENS 1.6e+09 differs by -15.96 dB from the "
            "1.00531e+10 count/m that the FAP text gives (line 7) at 1 Hz, the calibration "
            "frequency; SENS is smaller\n"
            "XX.ABC.00.BHZ 2001-01-01T00:00:00 sens: SENS 1.2e+09 differs by +6.02 dB from the "
            "6.0006e+08 count/m that the pole zeros give at 1 Hz, the calibration frequency; SENS "
            "is larger\n"
            "XX.ABC.00.BHZ 2001-01-01T00:00:00 mismatch: pole zeros and FAP differ by -21.98 dB "
            "at 1 Hz, the calibration frequency (FAP line 7): 6.0006e+08 against 7.53983e+09 "
            "count/m, the FAP text larger; the largest difference -48.11 dB at 20 Hz (FAP line "
            "12); differs by a factor of 2 pi f and by -6.07 dB besides: one text describes "
            "velocity, the other displacement\n"
            "XX.ABC.00.BHZ 2001-01-01T00:00:00 phase: pole zeros and FAP phases differ by -1.6 "
            "degrees at 1 Hz, the calibration frequency (FAP line 7): -0.946 against 0.675 "
            "degrees, the FAP text's larger; the largest difference -34.0 degrees at 20 Hz (FAP "
            "line 12)\n"
            "XX.ABC.00.BHZ 2005-03-01T12:30:00 sens: SENS 1.5e+09 differs by +6.02 dB from the "
            "7.50075e+08 count/m that the pole zeros give at 1 Hz, the calibration frequency; "
            "SENS is larger\n"
            "XX.ABC.00.BHZ 2005-03-01T12:30:00 mismatch: pole zeros and FAP differ by -21.98 dB "
            "at 1 Hz, the calibration frequency (FAP line 7): 7.50075e+08 against 9.4248e+09 "
            "count/m, the FAP text larger; the largest difference -48.11 dB at 20 Hz (FAP line "
            "12); differs by a factor of 2 pi f and by -6.07 dB besides: one text describes "
            "velocity, the other displacement\n"
            "XX.ABC.00.BHZ 2005-03-01T12:30:00 phase: pole zeros and FAP phases differ by -1.6 "
            "degrees at 1 Hz, the calibration frequency (FAP line 7): -0.946 against 0.675 "
            "degrees, the FAP text's larger; the largest difference -34.0 degrees at 20 Hz (FAP "
            "line 12)\n"
            "XX.ABC.00.BHZ 2011-01-01T00:00:00 sens: SENS 1.6e+09 differs by +6.02 dB from the "
            "7.99742e+08 count/m that the pole zeros give at 1 Hz, the calibration frequency; "
            "SENS is larger\n"
            "XX.ABC.00.BHZ 2011-01-01T00:00:00 mismatch: pole zeros and FAP differ by -21.99 dB "
            "at 1 Hz, the calibration frequency (FAP line 7): 7.99742e+08 against 1.00531e+10 "
            "count/m, the FAP text larger; the largest difference -48.12 dB at 20 Hz (FAP line "
            "12); differs by a factor of 2 pi f and by -6.08 dB besides: one text describes "
            "velocity, the other displacement\n"
            "XX.ABC.00.BHZ 2011-01-01T00:00:00 phase: pole zeros and FAP phases differ by -1.6 "
            "degrees at 1 Hz, the calibration frequency (FAP line 7): -1.396 against 0.225 "
            "degrees, the FAP text's larger; the largest difference -34.0 degrees at 20 Hz (FAP "
            "line 12)\n"
            "XX.ABC.00.LHZ 2003-01-01T00:00:00 mismatch: pole zeros and FAP differ by -15.96 dB "
            "at 1 Hz, the calibration frequency (FAP line 2): 1.2e+09 against 7.53983e+09 "
            "count/m, the FAP text larger; the largest difference -35.96 dB at 10 Hz (FAP line "
            "3); differs by a factor of 2 pi f: one text describes velocity, the other "
            "displacement\n"
            "XX.DEF.??.HHZ 2015-06-01T00:00:00 sens: SENS 4e+08 differs by +3.01 dB from the "
            "2.82835e+08 count/m that the pole zeros give at 1 Hz, the calibration frequency; "
            "SENS is larger\n"
            "XX.DEF.??.HHZ 2015-06-01T00:00:00 mismatch: pole zeros and FAP differ by -15.96 dB "
            "at 1 Hz, the calibration frequency (FAP line 7): 2.82835e+08 against 1.77715e+09 "
            "count/m, the FAP text larger; the largest difference -41.98 dB at 20 Hz (FAP line "
            "12); differs by a factor of 2 pi f: one text describes velocity, the other "
            "displacement\n"
            "YY.GHI.10.BHZ 2012-01-01T00:00:00 empty: neither a SAC nor a FAP text\n");
}

// The options of both commands: each misuse is a usage error that says why,
// and a directory is no place for one document.
TEST_P(InventoryStationXmlCheckTest, OptionsOfStationXmlAndCheck) {
  database().create_calibration_table();
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string err;
  };
  const std::string hint = "\nTry 'kalvynex-inventory --help' for more information.\n";
  const std::vector<Case> cases = {
      {{"check", "--tolerance", "-1"}, 2,
       "kalvynex-inventory: check: invalid tolerance '-1' (a number of dB, 0 or more)" + hint},
      {{"check", "--tolerance", "nan"}, 2,
       "kalvynex-inventory: check: invalid tolerance 'nan' (a number of dB, 0 or more)" + hint},
      {{"check", "-f", "csv"}, 2, "kalvynex-inventory: check: unknown format 'csv' (text or json)" + hint},
      {{"check", "-o", "x"}, 2,
       "kalvynex-inventory: check writes to standard output; --output and --type-out belong to "
       "export" + hint},
      {{"list", "--tolerance", "3"}, 2, "kalvynex-inventory: --tolerance belongs to check" + hint},
      {{"check", "--phase-tolerance", "-0.5"}, 2,
       "kalvynex-inventory: check: invalid phase tolerance '-0.5' (a number of degrees, 0 or "
       "more)" + hint},
      {{"export", "-f", "sacpz", "--phase-tolerance", "3"}, 2,
       "kalvynex-inventory: --phase-tolerance belongs to check" + hint},
      {{"check", "--stations", "s.csv"}, 2,
       "kalvynex-inventory: --stations belongs to export --format sacpz or stationxml, and to "
       "serve" + hint},
      {{"export", "-f", "sac", "--stations", "s.csv"}, 2,
       "kalvynex-inventory: export: --stations applies to the sacpz and stationxml formats only" + hint},
      {{"export", "-f", "stationxml", "--units", "m/s"}, 2,
       "kalvynex-inventory: export: unknown units 'm/s' (displacement, velocity or "
       "acceleration)" + hint},
      {{"export", "-f", "sacpz", "--units", "velocity"}, 2,
       "kalvynex-inventory: export: --units applies to the stationxml format only" + hint},
      {{"list", "--units", "velocity"}, 2,
       "kalvynex-inventory: --units belongs to export --format stationxml" + hint},
      {{"export", "-f", "stationxml", "-t", "QEV"}, 2,
       "kalvynex-inventory: export: --type-out applies to the sac and fap formats only" + hint},
      {{"export", "-f", "stationxml", "--stations", "no-such.csv"}, 2,
       "kalvynex-inventory: cannot read the stations file no-such.csv: No such file or "
       "directory\n"},
      {{"export", "-f", "stationxml", "-o", out_dir()}, 5,
       "kalvynex-inventory: stationxml writes one document: " + out_dir() + " is a directory\n"},
      {{"check", "-n", "ZZ"}, 3, "kalvynex-inventory: nothing matches the selection\n"},
  };
  for (const Case& c : cases) {
    const ProcessResult result = inventory(c.arguments);
    EXPECT_EQ(result.exit_status, c.status) << c.arguments[0] << " " << c.arguments[1];
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.out, "");
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, InventoryStationXmlCheckTest,
                         ::testing::ValuesIn(available_backends()), backend_test_name);

}  // namespace
}  // namespace kalvynex
