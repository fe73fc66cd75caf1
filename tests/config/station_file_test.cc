#include "config/station_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/support/temp_dir.h"

namespace kalvynex {
namespace {

TEST(StationFileTest, ReadsHeaderCommentsQuotesAndLineEnds) {
  const std::string text =
      "network,station,latitude,longitude,elevation,site name\r\n"
      "# comment line\n"
      "\n"
      "XX,ABC,41.5,-12.25,1234.5\r\n"
      " XX , DEF , -90 , 180 , -20 , \"Hut, \"\"north\"\" side\" \n"
      "YY,ABC,0.5,1e1,0,Z\xc3\xbcrich";  // no line end at the end
  StationPlaces places;
  std::string error;
  ASSERT_TRUE(parse_station_file(text, &places, &error)) << error;
  EXPECT_EQ(places.size(), 3u);
  const StationPlace* abc = places.find("XX", "ABC");
  ASSERT_NE(abc, nullptr);
  EXPECT_TRUE(abc->known);
  EXPECT_EQ(abc->latitude, 41.5);
  EXPECT_EQ(abc->longitude, -12.25);
  EXPECT_EQ(abc->elevation, 1234.5);
  EXPECT_EQ(abc->site_name, "");
  const StationPlace* def = places.find("XX", "DEF");
  ASSERT_NE(def, nullptr);
  EXPECT_EQ(def->latitude, -90.0);
  EXPECT_EQ(def->site_name, "Hut, \"north\" side");
  EXPECT_EQ(places.find("YY", "ABC")->longitude, 10.0);
  EXPECT_EQ(places.find("YY", "ABC")->site_name, "Z\xc3\xbcrich");
  EXPECT_EQ(places.find("YY", "DEF"), nullptr);
  EXPECT_EQ(places.find("xx", "ABC"), nullptr);  // codes are compared as written
  // Today's columns give no channel any sensor value.
  const ChannelPlace none = places.find_channel("XX", "ABC", "00", "BHZ");
  EXPECT_FALSE(none.depth || none.azimuth || none.dip || none.sample_rate);
}

// The values of a channel: its own line's, else its station line's.
TEST(StationFileTest, ChannelLinesOverStationLines) {
  const std::string text =
      "network,station,latitude,longitude,elevation,depth,azimuth,dip,samplerate,location,"
      "channel\n"
      "XX,ABC,,,,145.5,0,-90,,00,BHZ\n"  // before its station's line
      "XX,ABC,41.5,-12.25,1234.5,10,,,40,,\n"
      "XX,ABC,,,,,359.999,90,1e-3,--,BHN\n"
      "XX,DEF,1,2,3,,,,,,\n";
  StationPlaces places;
  std::string error;
  ASSERT_TRUE(parse_station_file(text, &places, &error)) << error;
  EXPECT_EQ(places.size(), 2u);
  ASSERT_NE(places.find("XX", "ABC"), nullptr);
  EXPECT_EQ(places.find("XX", "ABC")->elevation, 1234.5);
  EXPECT_EQ(places.find("XX", "ABC")->site_name, "");
  using V = std::optional<double>;
  const struct {
    const char* location;
    const char* channel;
    V depth, azimuth, dip, sample_rate;
  } rows[] = {
      {"00", "BHZ", 145.5, 0.0, -90.0, 40.0},
      {"", "BHN", 10.0, 359.999, 90.0, 1e-3},
      {"??", "BHN", 10.0, 359.999, 90.0, 1e-3},  // "??", "--" and "" are one
      {"00", "BHE", 10.0, V(), V(), 40.0},       // no line of its own
      {"10", "BHZ", 10.0, V(), V(), 40.0},       // another location
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.location) + "." + row.channel);
    const ChannelPlace c = places.find_channel("XX", "ABC", row.location, row.channel);
    EXPECT_EQ(c.depth, row.depth);
    EXPECT_EQ(c.azimuth, row.azimuth);
    EXPECT_EQ(c.dip, row.dip);
    EXPECT_EQ(c.sample_rate, row.sample_rate);
  }
  const ChannelPlace def = places.find_channel("XX", "DEF", "00", "BHZ");
  EXPECT_FALSE(def.depth || def.azimuth || def.dip || def.sample_rate);

  // Columns in another order, by their other names, without channels.
  ASSERT_TRUE(parse_station_file("NETWORK,Station,Sample Rate,DIP,site name,Elevation,"
                                 "Longitude,Latitude,Azimuth,Depth\n"
                                 "XX,ABC,100,-45,Hut,3,2,1,90,-5\n",
                                 &places, &error))
      << error;
  const StationPlace* abc = places.find("XX", "ABC");
  ASSERT_NE(abc, nullptr);
  EXPECT_EQ(abc->latitude, 1.0);
  EXPECT_EQ(abc->longitude, 2.0);
  EXPECT_EQ(abc->elevation, 3.0);
  EXPECT_EQ(abc->site_name, "Hut");
  const ChannelPlace c = places.find_channel("XX", "ABC", "", "HHZ");
  EXPECT_EQ(c.depth, -5.0);
  EXPECT_EQ(c.azimuth, 90.0);
  EXPECT_EQ(c.dip, -45.0);
  EXPECT_EQ(c.sample_rate, 100.0);
}

// A byte order mark, a header in capitals, and the edges of each range.
TEST(StationFileTest, ByteOrderMarkHeaderWordsAndRangeEdges) {
  const std::string text =
      "\xEF\xBB\xBFNETWORK,Station,LATITUDE,longitude,Elevation,SITE\n"
      "XX,N,89.999999,-180,+.5\n"
      "XX,S,-90.0,180.,-1E-2\n";
  StationPlaces places;
  std::string error;
  ASSERT_TRUE(parse_station_file(text, &places, &error)) << error;
  EXPECT_EQ(places.size(), 2u);
  EXPECT_EQ(places.find("XX", "N")->latitude, 89.999999);
  EXPECT_EQ(places.find("XX", "N")->longitude, -180.0);
  EXPECT_EQ(places.find("XX", "N")->elevation, 0.5);
  EXPECT_EQ(places.find("XX", "S")->latitude, -90.0);
  EXPECT_EQ(places.find("XX", "S")->longitude, 180.0);
  EXPECT_EQ(places.find("XX", "S")->elevation, -0.01);
  // The mark belongs only at the start: the first station's key is clean.
  ASSERT_TRUE(parse_station_file("\xEF\xBB\xBFXX,ABC,1,2,3\n", &places, &error)) << error;
  EXPECT_NE(places.find("XX", "ABC"), nullptr);
}

struct BadFile {
  std::string text;
  const char* error;
};

const std::string kSensors =
    "network,station,latitude,longitude,elevation,depth,azimuth,dip,samplerate\n";
const std::string kChannels = "network,station,location,channel,latitude,longitude,elevation,dip\n";

class StationFileErrorTest : public ::testing::TestWithParam<BadFile> {};

TEST_P(StationFileErrorTest, NamesTheLineAndWhy) {
  StationPlaces places;
  std::string error;
  EXPECT_FALSE(parse_station_file(GetParam().text, &places, &error));
  EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Files, StationFileErrorTest,
    ::testing::Values(
        // A header is known by its words; an unreadable first latitude is no
        // header, and neither are the words after the first line.
        BadFile{"XX,ABC,41.7N,2,3\n", "line 1: latitude \"41.7N\" is not a decimal number"},
        BadFile{"XX,ABC,nan,2,3\n", "line 1: latitude \"nan\" is not a decimal number"},
        BadFile{"Net,Sta,Lat,Lon,Elev\n", "line 1: latitude \"Lat\" is not a decimal number"},
        BadFile{"XX,ABC,1,2,3\nnetwork,station,latitude,longitude,elevation\n",
                "line 2: latitude \"latitude\" is not a decimal number"},
        BadFile{"XX,ABC,1,2,3\nXX,DEF,north,2,3\n",
                "line 2: latitude \"north\" is not a decimal number"},
        BadFile{"XX,ABC,0x10,2,3\n", "line 1: latitude \"0x10\" is not a decimal number"},
        BadFile{"XX,ABC,1,inf,3\n", "line 1: longitude \"inf\" is not a decimal number"},
        BadFile{"XX,ABC,1,east,3\n", "line 1: longitude \"east\" is not a decimal number"},
        BadFile{"XX,ABC,1,2,\n", "line 1: elevation \"\" is not a decimal number"},
        BadFile{"XX,ABC,1,2,.\n", "line 1: elevation \".\" is not a decimal number"},
        BadFile{"XX,ABC,1,2,1e\n", "line 1: elevation \"1e\" is not a decimal number"},
        BadFile{"XX,ABC,1,2,1e999\n", "line 1: elevation \"1e999\" is not a decimal number"},
        BadFile{"XX,ABC,1,2,3 m\n", "line 1: elevation \"3 m\" is not a decimal number"},
        BadFile{"XX,ABC,1,2\n",
                "line 1: 4 fields; expected network,station,latitude,longitude,elevation and "
                "an optional site name"},
        BadFile{"XX,ABC,1,2,3,site,extra\n",
                "line 1: 7 fields; expected network,station,latitude,longitude,elevation and "
                "an optional site name"},
        // StationXML: -90 <= latitude < 90, -180 <= longitude <= 180.
        BadFile{"XX,ABC,90,2,3\n", "line 1: latitude 90 is outside -90 <= latitude < 90"},
        BadFile{"XX,ABC,-90.000001,2,3\n",
                "line 1: latitude -90.000001 is outside -90 <= latitude < 90"},
        BadFile{"XX,ABC,1,180.000001,3\n", "line 1: longitude 180.000001 is outside -180..180"},
        BadFile{"XX,ABC,1,-180.01,3\n", "line 1: longitude -180.01 is outside -180..180"},
        BadFile{"XX,,1,2,3\n", "line 1: network or station code empty"},
        BadFile{"XX,ABC,1,2,3,\"open\n", "line 1: a quoted field is not closed properly"},
        BadFile{"XX,ABC,1,2,3,\"a\"b\n", "line 1: a quoted field is not closed properly"},
        BadFile{"# c\nXX,ABC,1,2,3\nXX,ABC,4,5,6\n", "line 3: XX.ABC is already given on line 2"},
        // Control bytes, on any line, a CR before the line end included.
        BadFile{"XX,ABC,1,2,3,Hut\x01\n", "line 1: control byte \\x01"},
        BadFile{"XX,ABC,1,2,3\n# \x1b]0;title\x07\n", "line 2: control byte \\x1b"},
        BadFile{"XX,A\rBC,1,2,3\r\n", "line 1: control byte \\x0d"},
        BadFile{"XX,ABC,1,2,3,\"a\nb\"\n", "line 1: a quoted field is not closed properly"},
        BadFile{"XX,ABC,1,2,3,\x7f\n", "line 1: control byte \\x7f"},
        // Well-formed UTF-8 only (a UTF-8 site name passes: see the first test).
        BadFile{"XX,ABC,1,2,3,Z\xfcrich\n", "line 1: bytes that are not well-formed UTF-8"},
        BadFile{"XX,ABC,1,2,3,\xc3\n", "line 1: bytes that are not well-formed UTF-8"},
        BadFile{"XX,ABC,1,2,3,a\xef\xbf\xbf\n", "line 1: the character U+FFFE or U+FFFF"},
        BadFile{std::string("XX,ABC,1,2,3\nXX,DEF\0,1,2,3\n", 27), "line 2: control byte \\x00"},
        // Headers that name columns.
        BadFile{"network,station,latitude,longitude,elevation,depht\n",
                "line 1: unknown column \"depht\""},
        BadFile{"network,station,latitude,longitude,elevation,dip,DIP\n",
                "line 1: column \"DIP\" named twice"},
        BadFile{"network,station,latitude,longitude,depth\n", "line 1: no elevation column"},
        BadFile{"network,station,latitude,longitude,elevation,channel\n",
                "line 1: location and channel columns come together"},
        BadFile{"network,station,latitude,longitude,elevation,dip\nXX,ABC,1,2,3\n",
                "line 2: 5 fields; the header names 6 columns"},
        // Both sides of each range; the inside edges pass in the tests above.
        BadFile{kSensors + "XX,ABC,1,2,3,,360,,\n",
                "line 2: azimuth 360 is outside 0 <= azimuth < 360"},
        BadFile{kSensors + "XX,ABC,1,2,3,,-0.001,,\n",
                "line 2: azimuth -0.001 is outside 0 <= azimuth < 360"},
        BadFile{kSensors + "XX,ABC,1,2,3,,,90.001,\n", "line 2: dip 90.001 is outside -90..90"},
        BadFile{kSensors + "XX,ABC,1,2,3,,,-90.5,\n", "line 2: dip -90.5 is outside -90..90"},
        BadFile{kSensors + "XX,ABC,1,2,3,,,,0\n", "line 2: sample rate 0 is not above 0"},
        BadFile{kSensors + "XX,ABC,1,2,3,,,,-1e-9\n", "line 2: sample rate -1e-9 is not above 0"},
        BadFile{kSensors + "XX,ABC,1,2,3,1 m,,,\n",
                "line 2: depth \"1 m\" is not a decimal number"},
        BadFile{kSensors + "XX,ABC,1,2,3,,inf,,\n",
                "line 2: azimuth \"inf\" is not a decimal number"},
        BadFile{kSensors + "XX,ABC,1,2,3,,,0x10,\n",
                "line 2: dip \"0x10\" is not a decimal number"},
        BadFile{kSensors + "XX,ABC,1,2,3,,,,nan\n",
                "line 2: sample rate \"nan\" is not a decimal number"},
        // Channel lines.
        BadFile{kChannels + "XX,ABC,,,1,2,3,\nXX,ABC,00,BHZ,1,,,\n",
                "line 3: a channel's line leaves latitude, longitude, elevation and site empty"},
        BadFile{kChannels + "XX,ABC,00,,1,2,3,\n", "line 2: location \"00\" without a channel"},
        BadFile{kChannels + "XX,,00,BHZ,,,,0\n", "line 2: network or station code empty"},
        BadFile{kChannels + "XX,ABD,,,1,2,3,\n# c\nXX,ABC,00,BHZ,,,,0\nXX,ABC,00,BHN,,,,0\n",
                "line 4: station XX.ABC has no line of its own"},
        BadFile{kChannels + "XX,ABC,,,1,2,3,\nXX,ABC,--,BHZ,,,,0\nXX,ABC,,BHZ,,,,1\n",
                "line 4: XX.ABC..BHZ is already given on line 3"}));

// Only a regular file of at most 16 MiB is read; the limit's two sides are
// pinned with sparse files (read as NUL bytes).
TEST(StationFileTest, ReadsOnlyRegularFilesWithinTheLimit) {
  TempDir dir;
  const std::string fifo = dir.path() + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string at_limit = dir.write_file("at-limit.csv", "");
  ASSERT_EQ(truncate(at_limit.c_str(), kMaxStationFileBytes), 0);
  const std::string over = dir.write_file("over.csv", "");
  ASSERT_EQ(truncate(over.c_str(), kMaxStationFileBytes + 1), 0);
  const std::string good = dir.write_file("good.csv", "XX,ABC,1,2,3\n");
  const struct {
    std::string path;
    std::string error;
  } rows[] = {
      {good, ""},
      {at_limit, "stations file " + at_limit + ": line 1: control byte \\x00"},
      {over, "cannot read the stations file " + over + ": larger than 16777216 bytes"},
      {fifo, "cannot read the stations file " + fifo + ": not a regular file"},
      {"/dev/zero", "cannot read the stations file /dev/zero: not a regular file"},
      {dir.path(), "cannot read the stations file " + dir.path() + ": not a regular file"},
      {dir.path() + "/none",
       "cannot read the stations file " + dir.path() + "/none: No such file or directory"},
  };
  for (const auto& row : rows) {
    StationPlaces places;
    std::string error;
    EXPECT_EQ(read_station_file(row.path, &places, &error), row.error.empty()) << row.path;
    EXPECT_EQ(error, row.error);
  }
}

}  // namespace
}  // namespace kalvynex
