#include "config/station_file.h"

#include <gtest/gtest.h>

#include <string>

namespace kalvynex {
namespace {

TEST(StationFileTest, ReadsHeaderCommentsQuotesAndLineEnds) {
  const std::string text =
      "network,station,latitude,longitude,elevation,site name\r\n"
      "# comment line\n"
      "\n"
      "XX,ABC,41.5,-12.25,1234.5\r\n"
      " XX , DEF , -90 , 180 , -20 , \"Hut, \"\"north\"\" side\" \n"
      "YY,ABC,0.5,1e1,0,Plain site";  // no line end at the end
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
  EXPECT_EQ(places.find("YY", "DEF"), nullptr);
  EXPECT_EQ(places.find("xx", "ABC"), nullptr);  // codes are compared as written
}

struct BadFile {
  const char* text;
  const char* error;
};

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
        // Only the first line read may be a header.
        BadFile{"XX,ABC,1,2,3\nXX,DEF,north,2,3\n", "line 2: latitude \"north\" is not a number"},
        BadFile{"XX,ABC,1,2\n",
                "line 1: 4 fields; expected network,station,latitude,longitude,elevation and "
                "an optional site name"},
        BadFile{"XX,ABC,1,2,3,site,extra\n",
                "line 1: 7 fields; expected network,station,latitude,longitude,elevation and "
                "an optional site name"},
        BadFile{"XX,ABC,1,east,3\n", "line 1: longitude \"east\" is not a number"},
        BadFile{"XX,ABC,1,2,\n", "line 1: elevation \"\" is not a number"},
        BadFile{"XX,ABC,1,2,inf\n", "line 1: elevation \"inf\" is not a number"},
        BadFile{"XX,ABC,90.5,2,3\n", "line 1: latitude 90.5 is outside -90..90"},
        BadFile{"XX,ABC,1,-180.01,3\n", "line 1: longitude -180.01 is outside -180..180"},
        BadFile{"XX,,1,2,3\n", "line 1: network or station code empty"},
        BadFile{"XX,ABC,1,2,3,\"open\n", "line 1: a quoted field is not closed properly"},
        BadFile{"XX,ABC,1,2,3,\"a\"b\n", "line 1: a quoted field is not closed properly"},
        BadFile{"# c\nXX,ABC,1,2,3\nXX,ABC,4,5,6\n", "line 3: XX.ABC is already given on line 2"}));

}  // namespace
}  // namespace kalvynex
