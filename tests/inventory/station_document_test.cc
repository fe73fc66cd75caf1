// The documents of a selection at each level: StationXML that validates,
// the FDSN text lines byte for byte, the area a station must lie in, and
// each failure of the sink.
#include "inventory/station_document.h"

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "inventory/station_area.h"
#include "inventory/station_text.h"
#include "tests/support/fake_catalog.h"
#include "tests/support/inventory_run.h"
#include "tests/support/stationxml.h"
#include "tests/support/temp_dir.h"

namespace kalvynex {
namespace {

Timestamp open_end() {
  Timestamp t;
  t.year = -1;
  return t;
}

Timestamp at(int year, int month, int day) { return Timestamp::at(year, month, day); }

// Two networks; ABC has a place, DEF (a FAP text only) and GHI.JKL do not.
std::vector<FakePeriod> small_catalog() {
  return {
      fake_period("XX.ABC.00.BHZ", at(2008, 1, 1), at(2010, 6, 1), kSoundSac, ""),
      fake_period("XX.ABC.00.BHZ", at(2010, 6, 1), open_end(), kSoundSac, kSoundFap),
      fake_period("XX.ABC.??.BHN", at(2009, 1, 1), at(2011, 1, 1), "", ""),
      fake_period("XX.DEF.10.HHZ", at(2012, 3, 4), at(2013, 1, 1), "", kSoundFap),
      fake_period("YY.GHI.00.BHZ", at(2001, 1, 1), at(2002, 1, 1), kSoundSac, ""),
  };
}

const char kStations[] = "XX,ABC,45.5,-120.25,1000,\"Site | one\"\nYY,GHI,-10,170,0\n";

// A sink into a string that can fail at one step: open, the nth write or
// finish.
class StringSink : public DocumentSink {
 public:
  FileStatus open() override {
    ++opens;
    return fail_open ? file_failure("open", EACCES) : FileStatus();
  }
  FileStatus write(std::string_view bytes) override {
    if (++writes == fail_write) return file_failure("write", ENOSPC);
    text.append(bytes);
    return FileStatus();
  }
  FileStatus finish() override {
    ++finishes;
    return fail_finish ? file_failure("rename", EXDEV) : FileStatus();
  }
  std::string name() const override { return "the client"; }

  std::string text;
  int opens = 0, writes = 0, finishes = 0;
  bool fail_open = false, fail_finish = false;
  int fail_write = 0;
};

struct DocumentRun {
  CommandResult result;
  std::string messages;
};

DocumentRun write_document(const std::vector<FakePeriod>& periods,
                           const StationDocumentRequest& request, StringSink* sink) {
  FakeCatalog catalog(periods);
  CalibrationSelection selection;
  std::vector<ChannelCodes> channels;
  EXPECT_TRUE(catalog.find_channels(selection, &channels).ok());
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* err = open_memstream(&buffer, &size);
  DocumentRun run;
  {
    Reporter reporter(err, false, false);
    PeriodWalk walk(catalog, selection, channels, reporter);
    run.result = write_station_document(walk, reporter, request, *sink);
  }
  std::fclose(err);
  run.messages.assign(buffer, size);
  std::free(buffer);
  return run;
}

StationPlaces places_of(const char* text) {
  StationPlaces places;
  std::string error;
  EXPECT_TRUE(parse_station_file(text, &places, &error)) << error;
  return places;
}

TEST(StationDocumentTest, EachLevelOfTheExportValidates) {
  TempDir dir;
  const std::string stations = dir.write_file("stations.csv", kStations);
  const struct {
    const char* level;
    bool stations, channels, responses;
  } rows[] = {
      {"network", false, false, false},
      {"station", true, false, false},
      {"channel", true, true, false},
      {"response", true, true, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.level);
    FakeCatalog catalog(small_catalog());
    const SessionRun run = run_session_on(
        catalog, {"export", "-f", "stationxml", "--level", row.level, "--stations", stations});
    EXPECT_EQ(stationxml_schema_errors(run.out), "");
    EXPECT_EQ(run.out.find("<Network code=\"XX\" startDate=\"2008-01-01T00:00:00Z\">") !=
                  std::string::npos, true);
    EXPECT_EQ(run.out.find("<SelectedNumberStations>2<") != std::string::npos,
              !row.stations);
    EXPECT_EQ(run.out.find("<Station code=\"GHI\"") != std::string::npos, row.stations);
    EXPECT_EQ(read_stationxml(run.out).size(), row.channels ? 5u : 0u);
    EXPECT_EQ(run.out.find("<Response>") != std::string::npos, row.responses);
    if (row.responses) {  // the Scale of the text lines below
      EXPECT_EQ(read_stationxml(run.out)[0].sensitivity, 600059834.8685594);
    }
    // DEF has no place: named once at the levels that write stations.
    EXPECT_EQ(run.err.find("station XX.DEF is not in the stations file") != std::string::npos,
              row.stations);
  }
}

TEST(StationDocumentTest, TextLinesOfEachLevel) {
  const StationPlaces places = places_of(kStations);
  const std::string channel_header =
      "#Network | Station | Location | Channel | Latitude | Longitude | Elevation | Depth | "
      "Azimuth | Dip | SensorDescription | Scale | ScaleFreq | ScaleUnits | SampleRate | "
      "StartTime | EndTime\n";
  GeoArea north;  // ABC only: GHI lies south of it, DEF has no place
  north.min_latitude = 0.0;
  const struct {
    const char* what;
    QueryLevel level;
    GeoArea area;
    std::string text;
  } rows[] = {
      {"network", QueryLevel::kNetwork, GeoArea(),
       "#Network | Description | StartTime | EndTime | TotalStations\n"
       "XX||2008-01-01T00:00:00||2\n"
       "YY||2001-01-01T00:00:00|2002-01-01T00:00:00|1\n"},
      {"network in an area", QueryLevel::kNetwork, north,
       "#Network | Description | StartTime | EndTime | TotalStations\n"
       "XX||2008-01-01T00:00:00||1\n"},
      {"station", QueryLevel::kStation, GeoArea(),
       "#Network | Station | Latitude | Longitude | Elevation | SiteName | StartTime | EndTime\n"
       "XX|ABC|45.5|-120.25|1000|Site   one|2008-01-01T00:00:00|\n"
       "XX|DEF|0|0|0|DEF|2012-03-04T00:00:00|2013-01-01T00:00:00\n"
       "YY|GHI|-10|170|0|GHI|2001-01-01T00:00:00|2002-01-01T00:00:00\n"},
      {"channel", QueryLevel::kChannel, GeoArea(),
       channel_header +
           "XX|ABC|00|BHZ|45.5|-120.25|1000|0||||600059834.8685594|1|m||2008-01-01T00:00:00|"
           "2010-06-01T00:00:00\n"
           "XX|ABC|00|BHZ|45.5|-120.25|1000|0||||600059834.8685594|1|m||2010-06-01T00:00:00|\n"
           "XX|ABC||BHN|45.5|-120.25|1000|0||||||||2009-01-01T00:00:00|2011-01-01T00:00:00\n"
           "XX|DEF|10|HHZ|0|0|0|0||||1000|1|m||2012-03-04T00:00:00|2013-01-01T00:00:00\n"
           "YY|GHI|00|BHZ|-10|170|0|0||||600059834.8685594|1|m||2001-01-01T00:00:00|"
           "2002-01-01T00:00:00\n"},
      {"channel in an area", QueryLevel::kChannel, north,
       channel_header +
           "XX|ABC|00|BHZ|45.5|-120.25|1000|0||||600059834.8685594|1|m||2008-01-01T00:00:00|"
           "2010-06-01T00:00:00\n"
           "XX|ABC|00|BHZ|45.5|-120.25|1000|0||||600059834.8685594|1|m||2010-06-01T00:00:00|\n"
           "XX|ABC||BHN|45.5|-120.25|1000|0||||||||2009-01-01T00:00:00|2011-01-01T00:00:00\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    StationDocumentRequest request;
    request.level = row.level;
    request.format = QueryFormat::kText;
    request.places = &places;
    request.area = row.area;
    StringSink sink;
    const DocumentRun run = write_document(small_catalog(), request, &sink);
    EXPECT_TRUE(run.result.outcome.is_done());
    EXPECT_EQ(sink.text, row.text);
    EXPECT_EQ(sink.opens, 1);
    EXPECT_EQ(sink.finishes, 1);
  }
}

TEST(StationDocumentTest, TextFieldsKeepTheLineFormat) {
  EXPECT_EQ(station_text_field("a|b\nc\r\td\x7f" "e\xc3\xa9"), "a b c  d e\xc3\xa9");
  // Every channel line has the header's 17 fields, with or without a scale.
  ChannelEpoch epoch;
  epoch.codes.network = "N|";
  epoch.codes.sta = "S\n";
  epoch.codes.location = "--";
  epoch.codes.chan = "C";
  epoch.start = at(2020, 2, 29);
  epoch.end = open_end();
  const std::string line = channel_text_line(epoch, StationPlace(), ResponseSensitivity{2.5, 1});
  EXPECT_EQ(line, "N |S ||C|0|0|0|0||||2.5|1|m||2020-02-29T00:00:00|\n");
}

// Every failure of the sink ends the document with kOutput, named once; a
// selection with nothing to write never opens it.
TEST(StationDocumentTest, SinkFailures) {
  const struct {
    const char* what;
    QueryFormat format;
    QueryLevel level;
    bool fail_open, fail_finish;
    int fail_write;
    std::string message;
  } rows[] = {
      {"xml open", QueryFormat::kXml, QueryLevel::kResponse, true, false, 0,
       "cannot write the client (open): Permission denied\n"},
      {"xml first write", QueryFormat::kXml, QueryLevel::kStation, false, false, 1,
       "cannot write the client (write): No space left on device\n"},
      {"xml finish", QueryFormat::kXml, QueryLevel::kChannel, false, true, 0,
       "cannot write the client (rename): Invalid cross-device link\n"},
      {"text header", QueryFormat::kText, QueryLevel::kNetwork, false, false, 1,
       "cannot write the client (write): No space left on device\n"},
      {"text second line", QueryFormat::kText, QueryLevel::kChannel, false, false, 3,
       "cannot write the client (write): No space left on device\n"},
      {"text finish", QueryFormat::kText, QueryLevel::kStation, false, true, 0,
       "cannot write the client (rename): Invalid cross-device link\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    StationDocumentRequest request;
    request.level = row.level;
    request.format = row.format;
    StringSink sink;
    sink.fail_open = row.fail_open;
    sink.fail_finish = row.fail_finish;
    sink.fail_write = row.fail_write;
    const DocumentRun run = write_document(small_catalog(), request, &sink);
    EXPECT_EQ(run.result.outcome.exit, InventoryExit::kOutput);
    EXPECT_NE(run.messages.find(row.message), std::string::npos) << run.messages;
    EXPECT_EQ(sink.finishes, row.fail_finish ? 1 : 0);
  }
  // Nothing in the area: the sink is never opened.
  StationDocumentRequest request;
  request.area.max_latitude = -89.0;
  StringSink sink;
  const DocumentRun run = write_document(small_catalog(), request, &sink);
  EXPECT_TRUE(run.result.outcome.is_done());
  EXPECT_EQ(sink.opens, 0);
  // The text format has no level response.
  request = StationDocumentRequest();
  request.format = QueryFormat::kText;
  EXPECT_EQ(write_document(small_catalog(), request, &sink).result.outcome.exit,
            InventoryExit::kUsage);
}

TEST(StationAreaTest, EachBoundOnBothSides) {
  const auto area = [](auto set) {
    GeoArea a;
    set(a);
    return a;
  };
  const struct {
    const char* what;
    GeoArea area;
    double latitude, longitude;
    bool inside;
  } rows[] = {
      {"no bound", GeoArea(), -89.9, 179.9, true},
      {"min latitude, on it", area([](GeoArea& a) { a.min_latitude = 10; }), 10, 0, true},
      {"min latitude, below", area([](GeoArea& a) { a.min_latitude = 10; }), 9.999, 0, false},
      {"max latitude, on it", area([](GeoArea& a) { a.max_latitude = 10; }), 10, 0, true},
      {"max latitude, above", area([](GeoArea& a) { a.max_latitude = 10; }), 10.001, 0, false},
      {"min longitude, on it", area([](GeoArea& a) { a.min_longitude = -20; }), 0, -20, true},
      {"min longitude, west", area([](GeoArea& a) { a.min_longitude = -20; }), 0, -20.001,
       false},
      {"max longitude, on it", area([](GeoArea& a) { a.max_longitude = -20; }), 0, -20, true},
      {"max longitude, east", area([](GeoArea& a) { a.max_longitude = -20; }), 0, -19.999,
       false},
      {"across 180, east of it",
       area([](GeoArea& a) { a.min_longitude = 170; a.max_longitude = -170; }), 0, -175, true},
      {"across 180, west of it",
       area([](GeoArea& a) { a.min_longitude = 170; a.max_longitude = -170; }), 0, 175, true},
      {"across 180, outside",
       area([](GeoArea& a) { a.min_longitude = 170; a.max_longitude = -170; }), 0, 0, false},
      // 10 degrees of arc along the equator, and along a meridian from 80 N
      // over the pole.
      {"max radius, within",
       area([](GeoArea& a) { a.longitude = 5; a.max_radius = 10; }), 0, 14.999, true},
      {"max radius, beyond",
       area([](GeoArea& a) { a.longitude = 5; a.max_radius = 10; }), 0, 15.001, false},
      {"min radius, beyond",
       area([](GeoArea& a) { a.latitude = 85; a.min_radius = 10; }), 84.999, 180, true},
      {"min radius, within",
       area([](GeoArea& a) { a.latitude = 85; a.min_radius = 10; }), 85.001, 180, false},
      {"a centre alone bounds nothing",
       area([](GeoArea& a) { a.latitude = 85; a.longitude = 0; }), -85, 0, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(area_contains(row.area, row.latitude, row.longitude), row.inside);
  }
  EXPECT_FALSE(rows[16].area.any());
  EXPECT_TRUE(rows[1].area.any());
  EXPECT_NEAR(arc_degrees(0, 0, 0, 180), 180.0, 1e-12);
  EXPECT_NEAR(arc_degrees(-90, 0, 90, 0), 180.0, 1e-12);
}

}  // namespace
}  // namespace kalvynex
