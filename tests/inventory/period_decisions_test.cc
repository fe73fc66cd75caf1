// The decisions about single periods: which are skipped and why, and which
// clash on one file name; each reported once, counted in the exit status,
// and silenced (not uncounted) by -q.
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/fake_catalog.h"
#include "tests/support/files.h"
#include "tests/support/inventory_run.h"
#include "tests/support/selection_cases.h"
#include "tests/support/temp_dir.h"

namespace kalvynex {
namespace {

Timestamp open_end() {
  Timestamp t;
  t.year = -1;
  return t;
}

Timestamp at(int year, int month, int day, int hour = 0) {
  return Timestamp::at(year, month, day, hour);
}

const std::string kPrefix = "kalvynex-inventory: XX.ABC.00.BHZ ";

TEST(InventoryPeriodDecisionsTest, SkippedPeriods) {
  const FakePeriod no_sac = fake_period("XX.ABC.00.BHZ", at(2008, 1, 1), open_end(), "", kSoundFap);
  const FakePeriod no_fap = fake_period("XX.ABC.00.BHZ", at(2008, 1, 1), open_end(), kSoundSac, "");
  const FakePeriod bad_sac =
      fake_period("XX.ABC.00.BHZ", at(2008, 1, 1), open_end(), "ZEROS 2|POLES 1|-1 1|", kSoundFap);
  FakePeriod bad_start = fake_period("XX.ABC.00.BHZ", at(2008, 1, 1), open_end(), kSoundSac, "");
  bad_start.period.startdate.day = 0;
  FakePeriod bad_end = no_fap;
  bad_end.period.enddate = at(2008, 2, 30);
  FakePeriod sound_end = no_fap;
  sound_end.period.enddate = at(2008, 2, 29);  // a leap day: the other side of the limit

  const struct {
    const char* what;
    std::vector<std::string> args;
    FakePeriod period;
    int status;
    std::string report;  // after "NET.STA.LOC.CHA "; empty: none
  } rows[] = {
      {"sac without SAC",
       {"export", "-f", "sac", "-o", "DIR"},
       no_sac,
       1,
       "2008-01-01T00:00:00: no SAC text; skipped"},
      {"sac with SAC", {"export", "-f", "sac", "-o", "DIR"}, no_fap, 0, ""},
      {"fap without FAP",
       {"export", "-f", "fap", "-o", "DIR"},
       no_fap,
       1,
       "2008-01-01T00:00:00: no FAP text; skipped"},
      {"fap with FAP", {"export", "-f", "fap", "-o", "DIR"}, no_sac, 0, ""},
      {"sacpz without SAC",
       {"export", "-f", "sacpz", "-o", "DIR"},
       no_sac,
       1,
       "2008-01-01T00:00:00: no SAC text; skipped"},
      {"sacpz of a bad SAC text",
       {"export", "-f", "sacpz", "-o", "DIR"},
       bad_sac,
       1,
       "2008-01-01T00:00:00: SAC text line 3: CONSTANT is missing; skipped"},
      {"sacpz of a sound SAC text", {"export", "-f", "sacpz", "-o", "DIR"}, no_fap, 0, ""},
      {"stationxml, start not a calendar time",
       {"export", "-f", "stationxml", "-o", "DIR/n.xml"},
       bad_start,
       1,
       "2008-01-00T00:00:00: a date that is not a calendar time; skipped"},
      {"stationxml, end not a calendar time",
       {"export", "-f", "stationxml", "-o", "DIR/n.xml"},
       bad_end,
       1,
       "2008-01-01T00:00:00: a date that is not a calendar time; skipped"},
      {"stationxml, end on a leap day",
       {"export", "-f", "stationxml", "-o", "DIR/n.xml"},
       sound_end,
       0,
       ""},
      {"stationxml, bad SAC text, FAP used",
       {"export", "-f", "stationxml", "-o", "DIR/n.xml"},
       bad_sac,
       1,
       "2008-01-01T00:00:00: SAC text line 3: CONSTANT is missing; response from the FAP text"},
      {"stationxml, no response",
       {"export", "-f", "stationxml", "-o", "DIR/n.xml"},
       fake_period("XX.ABC.00.BHZ", at(2008, 1, 1), open_end(), "", "x"),
       1,
       "2008-01-01T00:00:00: written without a response"},
  };
  for (const auto& row : rows) {
    for (const bool quiet : {false, true}) {
      SCOPED_TRACE(std::string(row.what) + (quiet ? " (quiet)" : ""));
      TempDir dir;
      std::vector<std::string> args;
      for (const std::string& a : row.args) {
        args.push_back(a.compare(0, 3, "DIR") == 0 ? dir.path() + a.substr(3) : a);
      }
      const std::string stations = dir.write_file("stations", "XX,ABC,1,2,3\n");
      if (args[2] == "stationxml") args.insert(args.end(), {"--stations", stations});
      if (quiet) args.push_back("-q");
      FakeCatalog catalog({row.period});
      const SessionRun run = run_session_on(catalog, args);
      EXPECT_EQ(run.status, row.status);
      EXPECT_EQ(run.err, row.report.empty() || quiet ? "" : kPrefix + row.report + "\n");
      // A skipped period leaves no file beside the stations file; a written
      // one leaves one.
      const bool skipped = row.report.find("skipped") != std::string::npos;
      EXPECT_EQ(directory_entries(dir.path()).size(), skipped ? 1u : 2u);
    }
  }
}

TEST(InventoryPeriodDecisionsTest, FileNamesThatClash) {
  const struct {
    const char* what;
    std::vector<FakePeriod> periods;
    std::vector<std::string> files;
    std::string report;
    const char* format = "sac";
    const char* kept = "";  // a line of the file kept when a channel's is not written
  } rows[] = {
      {"two periods of one channel on one day",
       {fake_period("XX.ABC.00.BHZ", at(2008, 1, 1), at(2008, 1, 1, 12), kSoundSac, ""),
        fake_period("XX.ABC.00.BHZ", at(2008, 1, 1, 12), open_end(), kSoundSac + std::string(" "),
                    "")},
       {"ABC_BHZ_XX_00_20080101.sac"},
       "kalvynex-inventory: XX.ABC.00.BHZ 2008-01-01T12:00:00: file DIR/ABC_BHZ_XX_00_20080101.sac "
       "also holds an earlier period; written over\n"},
      {"two periods of one channel on two days",
       {fake_period("XX.ABC.00.BHZ", at(2008, 1, 1), at(2008, 1, 2), kSoundSac, ""),
        fake_period("XX.ABC.00.BHZ", at(2008, 1, 2), open_end(), kSoundSac, "")},
       {"ABC_BHZ_XX_00_20080101.sac", "ABC_BHZ_XX_00_20080102.sac"},
       ""},
      {"two channels on one day",
       {fake_period("XX.ABC.00.BHZ", at(2008, 1, 1), open_end(), kSoundSac, ""),
        fake_period("XX.ABC.00.BHN", at(2008, 1, 1), open_end(), kSoundSac, "")},
       {"ABC_BHN_XX_00_20080101.sac", "ABC_BHZ_XX_00_20080101.sac"},
       ""},
      // The later channel's file is not written: the first one is kept.
      {"network XX_00 without location and network XX at location 00",
       {fake_period("XX_00.ABC.??.BHZ", at(2008, 1, 1), open_end(), kSoundSac + std::string(" "),
                    ""),
        fake_period("XX.ABC.00.BHZ", at(2008, 1, 1), open_end(), kSoundSac, "")},
       {"ABC_BHZ_XX_00_20080101.sac"},
       "kalvynex-inventory: XX_00.ABC.??.BHZ 2008-01-01T00:00:00: file "
       "DIR/ABC_BHZ_XX_00_20080101.sac was written for XX.ABC.00.BHZ in this run; not written\n",
       "sac", "# Network XX\r\n"},
      {"the empty location and --, sacpz",
       {fake_period("XX.ABC.--.BHZ", at(2008, 1, 1), open_end(), kSoundSac, ""),
        fake_period("XX.ABC..BHZ", at(2008, 1, 1), open_end(), kSoundSac, "")},
       {"SAC_PZs_XX_ABC_BHZ__2008.001.00.00.00.0000_2599.365.23.59.59.99999"},
       "kalvynex-inventory: XX.ABC.--.BHZ 2008-01-01T00:00:00: file "
       "DIR/SAC_PZs_XX_ABC_BHZ__2008.001.00.00.00.0000_2599.365.23.59.59.99999 was written for XX.ABC..BHZ in this "
       "run; not written\n",
       "sacpz", "* LOCATION   (KHOLE): \n"},
      {"codes that differ in letter case only",
       {fake_period("XX.ABC.00.BHZ", at(2008, 1, 1), open_end(), kSoundSac, ""),
        fake_period("XX.abc.00.BHZ", at(2008, 1, 1), open_end(), kSoundSac, "")},
       {"ABC_BHZ_XX_00_20080101.sac", "abc_BHZ_XX_00_20080101.sac"},
       ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    TempDir dir;
    FakeCatalog catalog(row.periods);
    const SessionRun run =
        run_session_on(catalog, {"export", "-f", row.format, "-o", dir.path()});
    EXPECT_EQ(run.status, row.report.empty() ? 0 : 1);
    std::string report = row.report;
    const std::size_t at_dir = report.find("DIR");
    if (at_dir != std::string::npos) report.replace(at_dir, 3, dir.path());
    EXPECT_EQ(run.err, report);
    EXPECT_EQ(directory_entries(dir.path()), row.files);
    if (row.report.find("not written") != std::string::npos) {
      // The first channel's file is the one kept.
      const std::string kept = read_file_bytes(dir.path() + "/" + row.files[0]);
      EXPECT_NE(kept.find(row.kept), std::string::npos) << kept;
    }
    if (row.report.find("written over") != std::string::npos) {
      // The later period's file is the one kept.
      const std::string kept = read_file_bytes(dir.path() + "/" + row.files[0]);
      EXPECT_NE(kept.find("# Time 2008.01.01 12:00:00"), std::string::npos) << kept;
    }
  }
}

// Numbers and dates that a format cannot write: each such period is skipped
// by that format (or written from its other text) and reported once; check
// reports it once with its kind. Moving the normalisation frequency is a
// remark, not a problem.
TEST(InventoryPeriodDecisionsTest, UnusableNumbersAndDates) {
  const std::string pole_at_5_hz =
      "ZEROS 0|POLES 2|0 31.41592653589793|0 -31.41592653589793|CONSTANT 1|";
  const std::string nan_pole = "ZEROS 0|POLES 1|nan 0|CONSTANT 1|";
  const std::string inf_phase = "0.1 1000 0|1 1000 inf|";
  const std::string subnormal = "0.1 4.9e-324 0|1 1000 0|";
  auto period = [](const std::string& sac, const std::string& fap, double freq = -1.0) {
    FakePeriod p = fake_period("XX.ABC.00.BHZ", at(2008, 1, 1), open_end(), sac, fap);
    p.period.freq = freq;
    return p;
  };
  FakePeriod day_0 = period(kSoundSac, kSoundFap);
  day_0.period.startdate.day = 0;
  FakePeriod wrapped_year = period(kSoundSac, kSoundFap);
  wrapped_year.period.startdate.year = -31073;
  FakePeriod end_month_13 = period(kSoundSac, kSoundFap);
  end_month_13.period.enddate = at(2009, 1, 1);
  end_month_13.period.enddate.month = 13;

  const std::string dated = "a date that is not a calendar time; skipped";
  const std::string nan_sac = "SAC text line 3: a pole that is not finite";
  const std::string inf_fap = "FAP text line 2: a number that is not finite";
  const struct {
    const char* what;
    FakePeriod period;
    // Per format sac, fap, sacpz, stationxml: the report after
    // "NET.STA.LOC.CHA START: ", empty for none; then check's finding kind.
    std::string report[4];
    const char* kind;
  } rows[] = {
      {"NaN pole, sound FAP",
       period(nan_pole, kSoundFap),
       {nan_sac + "; skipped", "", nan_sac + "; skipped", nan_sac + "; response from the FAP text"},
       "sac"},
      {"NaN pole alone",
       period(nan_pole, ""),
       {nan_sac + "; skipped", "no FAP text; skipped", nan_sac + "; skipped",
        nan_sac + "; skipped"},
       "sac"},
      {"INF phase, sound SAC",
       period(kSoundSac, inf_phase),
       {"", inf_fap + " as read or converted; skipped", "", ""},
       "fap"},
      {"INF phase alone",
       period("", inf_phase),
       {"no SAC text; skipped", inf_fap + " as read or converted; skipped",
        "no SAC text; skipped", inf_fap + "; skipped"},
       "fap"},
      {"subnormal FAP amplitude alone",
       period("", subnormal),
       {"no SAC text; skipped",
        "FAP text line 1: a number that is not finite as read or converted; skipped",
        "no SAC text; skipped",
        "FAP text: the FAP amplitude 4.94066e-324 at 0.1 Hz has no finite inverse; skipped"},
       "fap"},
      {"start on day 0", day_0, {dated, dated, dated, dated}, "date"},
      {"start in year -31073", wrapped_year, {dated, dated, dated, dated}, "date"},
      {"end in month 13", end_month_13, {dated, dated, dated, dated}, "date"},
      {"FREQ inf counts as absent", period(kSoundSac, kSoundFap, INFINITY), {"", "", "", ""},
       nullptr},
      {"a pole at FREQ", period(pole_at_5_hz, "", 5.0),
       {"", "no FAP text; skipped", "", ""}, nullptr},
  };
  const char* const formats[] = {"sac", "fap", "sacpz", "stationxml"};
  for (const auto& row : rows) {
    const std::string label = "XX.ABC.00.BHZ " + timestamp_iso_text(row.period.period.startdate);
    for (int f = 0; f < 4; ++f) {
      SCOPED_TRACE(std::string(row.what) + ", " + formats[f]);
      TempDir dir;
      std::vector<std::string> args = {"export", "-f", formats[f], "-o", dir.path()};
      if (f == 3) {
        args.back() += "/n.xml";
        args.insert(args.end(), {"--stations", dir.write_file("stations", "XX,ABC,1,2,3\n")});
      }
      FakeCatalog catalog({row.period});
      const SessionRun run = run_session_on(catalog, args);
      const std::string& report = row.report[f];
      std::string expected_err =
          report.empty() ? "" : "kalvynex-inventory: " + label + ": " + report + "\n";
      // The sacpz header and the StationXML document take the next usable
      // frequency, with a warning.
      if (f == 3 && std::string(row.what) == "a pole at FREQ") {
        expected_err = "kalvynex-inventory: " + label +
                       ": normalised at 1 Hz instead of 5 Hz: the response is infinite there\n";
      }
      if (f == 2 && std::string(row.what) == "a pole at FREQ") {
        expected_err = "kalvynex-inventory: " + label +
                       ": A0 and SENSITIVITY at 1 Hz instead of 5 Hz: the response is infinite "
                       "there\n";
      }
      EXPECT_EQ(run.err, expected_err);
      EXPECT_EQ(run.status, report.empty() ? 0 : 1);
      const bool skipped = report.find("skipped") != std::string::npos;
      EXPECT_EQ(directory_entries(dir.path()).size(), (f == 3 ? 1u : 0u) + (skipped ? 0u : 1u));
      for (const std::string& name : directory_entries(dir.path())) {
        const std::string bytes = read_file_bytes(dir.path() + "/" + name);
        for (const char* word : {"nan", "NaN", "inf", "INF"}) {
          EXPECT_EQ(bytes.find(word), std::string::npos) << name << ": " << bytes;
        }
      }
    }
    SCOPED_TRACE(std::string(row.what) + ", check");
    FakeCatalog catalog({row.period});
    const SessionRun run = run_session_on(catalog, {"check"});
    // The sound texts disagree with each other (a mismatch), which counts
    // for no row here.
    for (const char* kind : {"sac", "fap", "date"}) {
      std::size_t lines = 0;
      for (std::size_t at = run.out.find(label + " " + kind + ": "); at != std::string::npos;
           at = run.out.find(label + " " + kind + ": ", at + 1)) {
        ++lines;
      }
      EXPECT_EQ(lines, row.kind != nullptr && std::string(row.kind) == kind ? 1u : 0u)
          << kind << "\n" << run.out;
    }
  }
}

// A channel with an unusable code: every export skips it, reported once
// for its two periods; list shows it escaped; check finds it as `code`.
TEST(InventoryPeriodDecisionsTest, UnusableCodes) {
  FakePeriod first = fake_period("XX.ABC.00.BHZ", at(2008, 1, 1), at(2009, 1, 1), kSoundSac, kSoundFap);
  FakePeriod second = fake_period("XX.ABC.00.BHZ", at(2009, 1, 1), open_end(), kSoundSac, kSoundFap);
  const FakePeriod sound = fake_period("XX.ABD.00.BHZ", at(2008, 1, 1), open_end(), kSoundSac, kSoundFap);
  const std::string skipped =
      "kalvynex-inventory: XX.NL\\x0aPOLES 1.00.BHZ 2008-01-01T00:00:00: station "
      "\"NL\\x0aPOLES 1\" holds a control byte; channel skipped\n";
  const struct {
    const char* what;
    std::vector<std::string> args;
    int status;
    std::string err;
    std::size_t files;   // in the directory, the stations file included
    std::string in_out;  // a piece of standard output
  } rows[] = {
      {"sac", {"export", "-f", "sac", "-o", "DIR"}, 1, skipped, 2, ""},
      {"fap", {"export", "-f", "fap", "-o", "DIR"}, 1, skipped, 2, ""},
      {"sacpz files", {"export", "-f", "sacpz", "-o", "DIR"}, 1, skipped, 2, ""},
      {"sacpz stream", {"export", "-f", "sacpz"}, 1, skipped, 1, "* STATION    (KSTNM): ABD\n"},
      {"stationxml", {"export", "-f", "stationxml", "-o", "DIR/n.xml"}, 1, skipped, 2, ""},
      {"list", {"list"}, 0, "", 1, "XX      NL\\x0aPOLES 1 00       BHZ     2008"},
      {"list csv", {"list", "-f", "csv"}, 0, "", 1, "XX,NL\\x0aPOLES 1,00,BHZ,2009"},
      {"list json", {"list", "-f", "json"}, 0, "", 1, "\"station\": \"NL\\nPOLES 1\""},
      {"check",
       {"check"},
       1,
       "kalvynex-inventory: 6 findings in 3 periods\n",
       1,
       "XX.NL\\x0aPOLES 1.00.BHZ 2009-01-01T00:00:00 code: station \"NL\\x0aPOLES 1\" holds a "
       "control byte\n"},
      {"check json",
       {"check", "-f", "json"},
       1,
       "kalvynex-inventory: 6 findings in 3 periods\n",
       1,
       "\"station\": \"NL\\nPOLES 1\", \"location\": \"00\", \"channel\": \"BHZ\", "
       "\"start\": \"2008-01-01T00:00:00\", \"kind\": \"code\""},
  };
  first.period.codes.sta = second.period.codes.sta = "NL\nPOLES 1";
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    TempDir dir;
    std::vector<std::string> args;
    for (const std::string& a : row.args) {
      args.push_back(a.compare(0, 3, "DIR") == 0 ? dir.path() + a.substr(3) : a);
    }
    const std::string stations = dir.write_file("stations", "XX,ABD,1,2,3\n");
    if (args.size() > 2 && args[2] == "stationxml") {
      args.insert(args.end(), {"--stations", stations});
    }
    FakeCatalog catalog({first, second, sound});
    const SessionRun run = run_session_on(catalog, args);
    EXPECT_EQ(run.status, row.status);
    EXPECT_EQ(run.err, row.err);
    EXPECT_EQ(directory_entries(dir.path()).size(), row.files);
    EXPECT_NE(run.out.find(row.in_out), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("NL\nPOLES"), std::string::npos) << run.out;
  }
}

}  // namespace
}  // namespace kalvynex

namespace kalvynex {
namespace {

// The sacpz header's place (from --stations) and sensitivity: PZ(s) = s
// with CONSTANT 2 at FREQ 1 Hz has A0 = 1 / 2 pi and 4 pi counts per metre.
TEST(InventoryPeriodDecisionsTest, SacPzPlaceAndSensitivity) {
  FakePeriod known = fake_period("XX.ABC.--.BHZ", at(2008, 1, 1), open_end(),
                                 "ZEROS 1|POLES 0|CONSTANT 2|", "");
  known.period.freq = 1.0;
  const FakePeriod unknown = fake_period("XX.XYZ.00.BHZ", at(2008, 1, 1), open_end(),
                                         "ZEROS 1|POLES 0|CONSTANT 2|", "");
  TempDir dir;
  FakeCatalog catalog({known, unknown});
  const SessionRun run = run_session_on(
      catalog, {"export", "-f", "sacpz", "--stations",
                dir.write_file("stations", "network,station,latitude,longitude,elevation,site\n"
                                           "XX,ABC,-19.9426,134.3395,389,Warramunga\n")});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err,
            "kalvynex-inventory: station XX.XYZ is not in the stations file; written without "
            "its place\n");
  EXPECT_NE(run.out.find("* LOCATION   (KHOLE): \n"
                         "* CHANNEL   (KCMPNM): BHZ\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("* END               : 2599-12-31T23:59:59\n"
                         "* DESCRIPTION       : Warramunga\n"
                         "* LATITUDE          : -19.9426\n"
                         "* LONGITUDE         : 134.3395\n"
                         "* ELEVATION         : 389.0\n"
                         "* INPUT UNIT        : M\n"
                         "* OUTPUT UNIT       : COUNTS\n"
                         "* SENSITIVITY       : 1.256637e+01 (M)\n"
                         "* A0                : 1.591549e-01\n"),
            std::string::npos)
      << run.out;
  // No FREQ: 1 Hz, unreported; no place, no lines of it.
  EXPECT_NE(run.out.find("* END               : 2599-12-31T23:59:59\n"
                         "* INPUT UNIT        : M\n"
                         "* OUTPUT UNIT       : COUNTS\n"
                         "* SENSITIVITY       : 1.256637e+01 (M)\n"),
            std::string::npos)
      << run.out;

  // A sensitivity beyond double at every frequency: the text without the
  // two lines, reported.
  FakeCatalog overflowing({fake_period("XX.ABC.00.BHZ", at(2008, 1, 1), open_end(),
                                       "ZEROS 1|1e308 0|POLES 0|CONSTANT 1e308|", "")});
  const SessionRun without = run_session_on(overflowing, {"export", "-f", "sacpz"});
  EXPECT_EQ(without.status, 1);
  EXPECT_EQ(without.err,
            kPrefix + "2008-01-01T00:00:00: the response cannot be normalised at 1 Hz (the "
                      "normalisation factor or the sensitivity is zero or not finite there) nor "
                      "at any of 1e-4 to 1e4 Hz by decades; written without SENSITIVITY and A0\n");
  EXPECT_NE(without.out.find("* OUTPUT UNIT       : COUNTS\n"
                             "* **********************************\n"
                             "ZEROS 1\n"),
            std::string::npos)
      << without.out;
}

// The fake catalog selects as the databases do (the same table runs on each
// of them end to end).
TEST(InventoryPeriodDecisionsTest, FakeCatalogSelectsAsTheDatabases) {
  FakeCatalog catalog(selection_case_periods());
  for (const SelectionCase& c : selection_cases()) {
    EXPECT_EQ(selected_periods(&catalog, c.selection), c.periods) << c.name;
  }
}

// A channel's sensor from the stations file reaches both exports: its own
// line's values over its station's, its stored "--" matching the file's
// empty location; a channel without a line takes the station's.
TEST(InventoryPeriodDecisionsTest, SensorValuesOfTheStationsFile) {
  const char* sac = "ZEROS 1|POLES 0|CONSTANT 2|";
  FakeCatalog catalog({fake_period("XX.ABC.--.BHN", at(2008, 1, 1), open_end(), sac, ""),
                       fake_period("XX.ABC.--.BHZ", at(2008, 1, 1), open_end(), sac, "")});
  TempDir dir;
  const std::string stations = dir.write_file(
      "stations",
      "network,station,location,channel,latitude,longitude,elevation,depth,azimuth,dip,"
      "samplerate\n"
      "XX,ABC,,,-19.9,134.3,389,2.5,,,40\n"
      "XX,ABC,,BHZ,,,,,0,-90,100\n");
  const SessionRun sacpz =
      run_session_on(catalog, {"export", "-f", "sacpz", "--stations", stations});
  EXPECT_EQ(sacpz.status, 0) << sacpz.err;
  const std::string lines[] = {
      "* CHANNEL   (KCMPNM): BHN\n",  "* ELEVATION         : 389.0\n",
      "* DEPTH             : 2.5\n",  "* SAMPLE RATE       : 40.0\n",
      "* INPUT UNIT        : M\n",    "* CHANNEL   (KCMPNM): BHZ\n",
      "* ELEVATION         : 389.0\n"
      "* DEPTH             : 2.5\n"
      "* DIP               : 0.0\n"
      "* AZIMUTH           : 0.0\n"
      "* SAMPLE RATE       : 100.0\n"};
  std::size_t at_line = 0;
  for (const std::string& line : lines) {
    at_line = sacpz.out.find(line, at_line);
    ASSERT_NE(at_line, std::string::npos) << line << sacpz.out;
  }
  EXPECT_EQ(sacpz.out.find("* DIP"), sacpz.out.rfind("* DIP")) << sacpz.out;  // BHZ's only

  const SessionRun xml =
      run_session_on(catalog, {"export", "-f", "stationxml", "--stations", stations});
  EXPECT_EQ(xml.status, 0) << xml.err;
  const std::size_t bhz = xml.out.find("<Channel code=\"BHZ\"");
  ASSERT_NE(bhz, std::string::npos) << xml.out;
  EXPECT_NE(xml.out.find("<Depth>2.5</Depth>\n        <SampleRate>40</SampleRate>"),
            std::string::npos)
      << xml.out;
  EXPECT_NE(xml.out.find("<Depth>2.5</Depth>\n        <Azimuth>0</Azimuth>\n"
                         "        <Dip>-90</Dip>\n        <SampleRate>100</SampleRate>",
                         bhz),
            std::string::npos)
      << xml.out;
}

}  // namespace
}  // namespace kalvynex
