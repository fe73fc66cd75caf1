// The requests of the station service: what is read, what is refused and
// the exact explanation, each limit pinned on both sides.
#include "inventory/station_query.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace kalvynex {
namespace {

// "P0,P1,...": `count` patterns.
std::string patterns(std::size_t count) {
  std::string list;
  for (std::size_t i = 0; i < count; ++i) list += (i > 0 ? ",P" : "P") + std::to_string(i);
  return list;
}

constexpr char kTimeForms[] = "(use YYYY-MM-DD or YYYY-MM-DDThh:mm:ss[.ffffff], Z allowed)";

TEST(StationQueryTest, ParametersAcceptedAndRefused) {
  const std::string control = "(not UTF-8 text, or holds a control byte)";
  const std::string lat = "(a number of degrees from -90 to 90)";
  const std::string lon = "(a number of degrees from -180 to 180)";
  const std::string radius = "(a number of degrees from 0 to 180)";
  const struct {
    std::vector<QueryParameter> parameters;
    std::string error;  // empty: accepted
  } rows[] = {
      {{}, ""},
      {{{"net", "IU,X?"}, {"sta", "A*"}, {"loc", "--,00"}, {"cha", "BHZ"}}, ""},
      {{{"bogus", "1"}}, "Unknown parameter: bogus"},
      {{{"NET", "IU"}}, "Unknown parameter: NET"},
      {{{"bo\ngus\\", "1"}}, "Unknown parameter: bo\\x0agus\\\\"},
      {{{"b", std::string(100, 'x')}}, "Unknown parameter: b"},
      {{{std::string(65, 'n'), ""}}, "Unknown parameter: " + std::string(64, 'n') + "..."},
      // Repeats, long and short names alike.
      {{{"net", "IU"}, {"network", "II"}}, "Repeated parameter: network"},
      {{{"start", "2020-01-01"}, {"starttime", "2020-01-01"}}, "Repeated parameter: starttime"},
      {{{"level", "channel"}, {"level", "channel"}}, "Repeated parameter: level"},
      {{{"minradius", "1"}, {"minradius", "1"}}, "Repeated parameter: minradius"},
      // Bytes that cannot be text.
      {{{"sta", "A\nB"}}, "Invalid value for station: 'A\\x0aB' " + control},
      {{{"sta", "A\x7f"}}, "Invalid value for station: 'A\\x7f' " + control},
      {{{"sta", "\xff"}}, "Invalid value for station: '\\xff' " + control},
      {{{"level", std::string("x\0y", 3)}}, "Invalid value for level: 'x\\x00y' " + control},
      {{{"sta", "K\xc3\xb6ln"}}, ""},
      // Codes.
      {{{"net", "IU,,II"}},
       "Invalid value for network: 'IU,,II' (an empty code; name the empty location as --)"},
      {{{"loc", ""}},
       "Invalid value for location: '' (an empty code; name the empty location as --)"},
      {{{"sta", "A,A/B"}}, "Invalid value for station: 'A,A/B' (the code 'A/B' holds a \"/\")"},
      {{{"cha", ".."}}, "Invalid value for channel: '..' (the code '..' is \".\" or \"..\")"},
      {{{"net", patterns(100)}, {"sta", patterns(200)}, {"loc", "--"}, {"cha", patterns(199)}},
       ""},
      {{{"net", patterns(100)}, {"sta", patterns(200)}, {"loc", "--,00"}, {"cha", patterns(199)}},
       "Too many code patterns: 501 (at most 500 in network, station, location and channel "
       "together; use the wildcards * and ?)"},
      // Times.
      {{{"start", "2020-01-01T00:00:00.5Z"}, {"endafter", "2020-01-01"}}, ""},
      {{{"start", "2020-1-1"}}, std::string("Invalid value for starttime: '2020-1-1' ") + kTimeForms},
      {{{"endbefore", "2020-01-01T24:00:00"}},
       std::string("Invalid value for endbefore: '2020-01-01T24:00:00' ") + kTimeForms},
      {{{"start", "2020-01-01"}, {"end", "2020-01-01"}}, ""},
      {{{"start", "2020-01-01T00:00:00.5"}, {"end", "2020-01-01T00:00:00.499999"}},
       "starttime is after endtime"},
      // Area: each range on both sides, and the order of minimum and maximum.
      {{{"minlat", "-90"}, {"maxlat", "90"}, {"minlon", "-180"}, {"maxlon", "180"}}, ""},
      {{{"minlat", "-90.000001"}}, "Invalid value for minlatitude: '-90.000001' " + lat},
      {{{"maxlatitude", "90.5"}}, "Invalid value for maxlatitude: '90.5' " + lat},
      {{{"lon", "-180.1"}}, "Invalid value for longitude: '-180.1' " + lon},
      {{{"maxlon", "180.000001"}}, "Invalid value for maxlongitude: '180.000001' " + lon},
      {{{"lat", "1e1"}, {"lon", "-0"}, {"minradius", "0"}, {"maxradius", "180"}}, ""},
      {{{"minradius", "-0.1"}}, "Invalid value for minradius: '-0.1' " + radius},
      {{{"maxradius", "180.01"}}, "Invalid value for maxradius: '180.01' " + radius},
      {{{"lat", "nan"}}, "Invalid value for latitude: 'nan' " + lat},
      {{{"lat", "0x10"}}, "Invalid value for latitude: '0x10' " + lat},
      {{{"lat", " 5"}}, "Invalid value for latitude: ' 5' " + lat},
      {{{"lat", ""}}, "Invalid value for latitude: '' " + lat},
      {{{"lat", "1e999"}}, "Invalid value for latitude: '1e999' " + lat},
      {{{"minlat", "10"}, {"maxlat", "10"}, {"minlon", "5"}, {"maxlon", "5"}}, ""},
      {{{"minlat", "10.1"}, {"maxlat", "10"}}, "minlatitude is greater than maxlatitude"},
      {{{"minlon", "5"}, {"maxlon", "4.9"}}, "minlongitude is greater than maxlongitude"},
      {{{"minradius", "2"}, {"maxradius", "1"}}, "minradius is greater than maxradius"},
      // Level, format, nodata.
      {{{"level", "Channel"}},
       "Invalid value for level: 'Channel' (network, station, channel or response)"},
      {{{"format", "json"}}, "Invalid value for format: 'json' (xml or text)"},
      {{{"nodata", "200"}}, "Invalid value for nodata: '200' (204 or 404)"},
      {{{"format", "text"}, {"level", "channel"}, {"nodata", "404"}}, ""},
      {{{"level", "response"}, {"format", "text"}},
       "format=text is not available for level=response"},
      // What the service cannot honour.
      {{{"includerestricted", "TRUE"}, {"includeavailability", "false"},
        {"matchtimeseries", "False"}},
       ""},
      {{{"includerestricted", "false"}},
       "includerestricted=false cannot be honoured: no channel is known to be restricted, so "
       "none can be left out"},
      {{{"includeavailability", "true"}},
       "includeavailability=true cannot be honoured: the service knows nothing of the data's "
       "availability"},
      {{{"matchtimeseries", "true"}},
       "matchtimeseries=true cannot be honoured: the service knows nothing of the time series"},
      {{{"matchtimeseries", "yes"}}, "Invalid value for matchtimeseries: 'yes' (true or false)"},
      {{{"updatedafter", "2020-01-01"}},
       "updatedafter cannot be honoured: the table records no update times"},
  };
  for (const auto& row : rows) {
    std::string words;
    for (const QueryParameter& p : row.parameters) words += p.name.substr(0, 20) + " ";
    StationQuery query;
    std::string error;
    EXPECT_EQ(parse_station_query(row.parameters, &query, &error), row.error.empty()) << words;
    EXPECT_EQ(error, row.error) << words;
  }
}

TEST(StationQueryTest, ValuesReachTheQuery) {
  StationQuery query;
  std::string error;
  ASSERT_TRUE(parse_station_query({{"net", "IU,X?"},
                                   {"loc", "--"},
                                   {"startbefore", "2020-01-02T03:04:05.25"},
                                   {"startafter", "2001-01-01"},
                                   {"endbefore", "2030-01-01"},
                                   {"endafter", "2021-01-01"},
                                   {"end", "2022-02-02"},
                                   {"maxradius", "12.5"},
                                   {"level", "response"},
                                   {"nodata", "404"}},
                                  &query, &error))
      << error;
  const CalibrationSelection& s = query.selection;
  EXPECT_EQ(s.networks, (std::vector<std::string>{"IU", "X?"}));
  EXPECT_EQ(s.locations, (std::vector<std::string>{"--"}));
  EXPECT_TRUE(s.stations.empty());
  ASSERT_TRUE(s.start_before && s.start_after && s.end_before && s.end_after && s.window_end);
  EXPECT_EQ(s.start_before->second, 5);
  EXPECT_EQ(s.start_before->fraction, 250000000u);
  EXPECT_EQ(s.start_after->year, 2001);
  EXPECT_EQ(s.end_before->year, 2030);
  EXPECT_EQ(s.end_after->year, 2021);
  EXPECT_EQ(s.window_end->year, 2022);
  EXPECT_FALSE(s.window_start || s.valid_at);
  EXPECT_EQ(query.level, QueryLevel::kResponse);
  EXPECT_EQ(query.format, QueryFormat::kXml);
  EXPECT_EQ(query.nodata, 404);
  EXPECT_TRUE(query.area.any());
  EXPECT_EQ(query.area.max_radius, 12.5);

  // A reused value is filled afresh.
  ASSERT_TRUE(parse_station_query({}, &query, &error));
  EXPECT_TRUE(query.selection.networks.empty());
  EXPECT_FALSE(query.selection.start_before);
  EXPECT_FALSE(query.area.any());
  EXPECT_EQ(query.level, QueryLevel::kStation);
  EXPECT_EQ(query.nodata, 204);
}

// `count` selection lines.
std::string selection_lines(std::size_t count) {
  std::string lines;
  for (std::size_t i = 0; i < count; ++i) lines += "IU S" + std::to_string(i) + " 00 BHZ * *\n";
  return lines;
}

TEST(StationQueryTest, PostBodies) {
  const struct {
    std::string body;
    std::string error;  // empty: accepted
  } rows[] = {
      {"level=channel\nIU ANMO 00 BHZ 2020-01-01 2020-01-02\n", ""},
      {"\r\n level = channel \r\n\r\n\tIU\tANMO  --  BH?   * *\r\nII * * * 2020-01-01T00:00:00.5 "
       "2020-01-01T00:00:00.5",
       ""},
      {"", "No selection lines in the POST body"},
      {"level=channel\n", "No selection lines in the POST body"},
      {selection_lines(kMaxSelectionLines), ""},
      {selection_lines(kMaxSelectionLines + 1), "Too many selection lines (at most 1000)"},
      {"IU ANMO 00 BHZ 2020-01-01\n",
       "POST line 1: not a selection line NET STA LOC CHA START END: 'IU ANMO 00 BHZ "
       "2020-01-01'"},
      {"IU ANMO 00 BHZ * * *\n",
       "POST line 1: not a selection line NET STA LOC CHA START END: 'IU ANMO 00 BHZ * * *'"},
      {"IU ANMO 00 BHZ * *\nlevel=channel\n", "POST line 2: a parameter after the selection lines"},
      {"level=channel\nlevel=station\nIU ANMO 00 BHZ * *\n", "Repeated parameter: level"},
      {"bogus=1\nIU ANMO 00 BHZ * *\n", "Unknown parameter: bogus"},
      {"format=text\nlevel=response\nIU ANMO 00 BHZ * *\n",
       "format=text is not available for level=response"},
      {"\nIU ANMO 00 BHZ 2020-01-01 yesterday\n",
       std::string("POST line 2: invalid time 'yesterday' ") + kTimeForms},
      {"IU ANMO 00 BHZ 2020-01-01T00:00:01 2020-01-01\n",
       "POST line 1: the start is after the end"},
      {"IU A/B 00 BHZ * *\n", "POST line 1: the code 'A/B' holds a \"/\""},
      {"IU A\x01 00 BHZ * *\n", "POST line 1: not UTF-8 text, or holds a control byte"},
      {"IU \xc0\xaf 00 BHZ * *\n", "POST line 1: not UTF-8 text, or holds a control byte"},
      {std::string("IU A\0 00 BHZ * *\n", 17),
       "POST line 1: not UTF-8 text, or holds a control byte"},
  };
  for (const auto& row : rows) {
    StationQuery query;
    std::string error;
    EXPECT_EQ(parse_station_post(row.body, &query, &error), row.error.empty())
        << row.body.substr(0, 40);
    EXPECT_EQ(error, row.error) << row.body.substr(0, 40);
  }

  StationQuery query;
  std::string error;
  ASSERT_TRUE(parse_station_post(rows[1].body, &query, &error)) << error;
  EXPECT_EQ(query.level, QueryLevel::kChannel);
  const std::vector<SelectionRow>& lines = query.selection.rows;
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].network, "IU");
  EXPECT_EQ(lines[0].station, "ANMO");
  EXPECT_EQ(lines[0].location, "--");
  EXPECT_EQ(lines[0].channel, "BH?");
  EXPECT_FALSE(lines[0].start || lines[0].end);
  ASSERT_TRUE(lines[1].start && lines[1].end);
  EXPECT_EQ(lines[1].start->fraction, 500000000u);
  EXPECT_EQ(lines[1].end->year, 2020);
}

}  // namespace
}  // namespace kalvynex
