#include "response/sacpz_text.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace kalvynex {
namespace {

TEST(BuildSacPzTextTest, WritesTheCommentBlockAndEveryValue) {
  SacPzPeriod period;
  period.codes.network = "XX";
  period.codes.sta = "ABC";
  period.codes.location = "00";
  period.codes.chan = "BHZ";
  period.start = Timestamp::at(2005, 3, 1, 12, 30, 0);
  period.created = "2026-12-09T00:00:00";
  PoleZeroResponse response;
  response.zeros = {{0.0, 0.0}, {-0.0, 1.5}};
  response.poles = {{-0.037, 0.037}, {-222.1, -222.1}};
  response.constant = 5.92e13;
  EXPECT_EQ(build_sacpz_text(period, response),
            "* **********************************\n"
            "* NETWORK   (KNETWK): XX\n"
            "* STATION    (KSTNM): ABC\n"
            "* LOCATION   (KHOLE): 00\n"
            "* CHANNEL   (KCMPNM): BHZ\n"
            "* CREATED           : 2026-12-09T00:00:00\n"
            "* START             : 2005-03-01T12:30:00\n"
            "* END               : 2599-12-31T23:59:59\n"
            "* INPUT UNIT        : M\n"
            "* OUTPUT UNIT       : COUNTS\n"
            "* **********************************\n"
            "ZEROS 2\n"
            "+0.000000e+00 +0.000000e+00\n"
            "-0.000000e+00 +1.500000e+00\n"
            "POLES 2\n"
            "-3.700000e-02 +3.700000e-02\n"
            "-2.221000e+02 -2.221000e+02\n"
            "CONSTANT +5.920000e+13\n");
  period.end = Timestamp::at(2010, 12, 31, 23, 59, 59);
  EXPECT_NE(build_sacpz_text(period, response).find("* END               : 2010-12-31T23:59:59\n"),
            std::string::npos);
}

TEST(BuildSacPzTextTest, WritesThePlaceAndSensitivityLinesInTheServiceLayout) {
  SacPzPeriod period;
  period.codes.network = "XX";
  period.codes.sta = "ABC";
  period.codes.location = "??";
  period.codes.chan = "BHN";
  period.start = Timestamp::at(2005, 3, 1);
  period.end = Timestamp::at(2006, 1, 1);
  period.created = "2026-12-09T00:00:00";
  period.place.description = "Hut 3, \"north\" slope";
  period.place.latitude = 34.945981;
  period.place.longitude = -106.457133;
  period.place.elevation = 1671.0;
  period.place.depth = 0.025;
  period.place.dip = 0.0;
  period.place.azimuth = -0.0;
  period.place.sample_rate = 20.0;
  period.sensitivity = SacPzSensitivity{8.6083e4, 1.2e9};
  PoleZeroResponse response;
  response.poles = {{-1.0, 0.0}};
  response.constant = 2.0;
  EXPECT_EQ(build_sacpz_text(period, response),
            "* **********************************\n"
            "* NETWORK   (KNETWK): XX\n"
            "* STATION    (KSTNM): ABC\n"
            "* LOCATION   (KHOLE): \n"
            "* CHANNEL   (KCMPNM): BHN\n"
            "* CREATED           : 2026-12-09T00:00:00\n"
            "* START             : 2005-03-01T00:00:00\n"
            "* END               : 2006-01-01T00:00:00\n"
            "* DESCRIPTION       : Hut 3, \"north\" slope\n"
            "* LATITUDE          : 34.945981\n"
            "* LONGITUDE         : -106.457133\n"
            "* ELEVATION         : 1671.0\n"
            "* DEPTH             : 0.025\n"
            "* DIP               : 90.0\n"
            "* AZIMUTH           : -0.0\n"
            "* SAMPLE RATE       : 20.0\n"
            "* INPUT UNIT        : M\n"
            "* OUTPUT UNIT       : COUNTS\n"
            "* SENSITIVITY       : 1.200000e+09 (M)\n"
            "* A0                : 8.608300e+04\n"
            "* **********************************\n"
            "ZEROS 0\n"
            "POLES 1\n"
            "-1.000000e+00 +0.000000e+00\n"
            "CONSTANT +2.000000e+00\n");
  // The dip in SAC's convention: up 0, down 180; a whole large number keeps
  // every digit.
  const struct {
    double dip;
    const char* line;
  } dips[] = {{-90.0, "* DIP               : 0.0\n"},
              {90.0, "* DIP               : 180.0\n"},
              {-0.5, "* DIP               : 89.5\n"},
              {1e22, "* DIP               : 10000000000000000000000.0\n"}};
  for (const auto& row : dips) {
    period.place.dip = row.dip;
    EXPECT_NE(build_sacpz_text(period, response).find(row.line), std::string::npos) << row.dip;
  }
  // Each line of the place is left out when not known, and so are
  // SENSITIVITY and A0.
  period.place = SacPzPlace();
  period.place.latitude = -19.9426;
  period.sensitivity.reset();
  const std::string text = build_sacpz_text(period, response);
  EXPECT_NE(text.find("* END               : 2006-01-01T00:00:00\n"
                      "* LATITUDE          : -19.9426\n"
                      "* INPUT UNIT        : M\n"
                      "* OUTPUT UNIT       : COUNTS\n"
                      "* **********************************\n"),
            std::string::npos)
      << text;
}

TEST(SacPzFileNameTest, NamesThePeriodAsTheSeedToolsDo) {
  const struct {
    const char* location;
    Timestamp start;
    Timestamp end;
    const char* name;
  } rows[] = {
      {"00", Timestamp::at(2015, 6, 1), Timestamp::at(2016, 1, 1, 12, 30, 5),
       "SAC_PZs_XX_DEF_HHZ_00_2015.152.00.00.00.0000_2016.001.12.30.05.0000"},
      // The placeholders of "no location" and the empty location: "__".
      {"??", Timestamp::at(2015, 6, 1), Timestamp::at(-1, 1, 1),
       "SAC_PZs_XX_DEF_HHZ__2015.152.00.00.00.0000_2599.365.23.59.59.99999"},
      {"--", Timestamp::at(2015, 6, 1), Timestamp::at(0, 1, 1),
       "SAC_PZs_XX_DEF_HHZ__2015.152.00.00.00.0000_2599.365.23.59.59.99999"},
      {"", Timestamp::at(2015, 6, 1), Timestamp::at(-1, 1, 1),
       "SAC_PZs_XX_DEF_HHZ__2015.152.00.00.00.0000_2599.365.23.59.59.99999"},
      {"?", Timestamp::at(2015, 6, 1), Timestamp::at(-1, 1, 1),
       "SAC_PZs_XX_DEF_HHZ_?_2015.152.00.00.00.0000_2599.365.23.59.59.99999"},
      {"-", Timestamp::at(2015, 6, 1), Timestamp::at(-1, 1, 1),
       "SAC_PZs_XX_DEF_HHZ_-_2015.152.00.00.00.0000_2599.365.23.59.59.99999"},
      // Days of the year on both sides of February 29th.
      {"10", Timestamp::at(2016, 2, 29, 23, 59, 59), Timestamp::at(2016, 3, 1),
       "SAC_PZs_XX_DEF_HHZ_10_2016.060.23.59.59.0000_2016.061.00.00.00.0000"},
      {"10", Timestamp::at(2015, 3, 1), Timestamp::at(2015, 12, 31),
       "SAC_PZs_XX_DEF_HHZ_10_2015.060.00.00.00.0000_2015.365.00.00.00.0000"},
      {"10", Timestamp::at(2000, 12, 31), Timestamp::at(2100, 12, 31),
       "SAC_PZs_XX_DEF_HHZ_10_2000.366.00.00.00.0000_2100.365.00.00.00.0000"},
      {"10", Timestamp::at(1, 1, 1), Timestamp::at(9999, 12, 31, 23, 59, 58),
       "SAC_PZs_XX_DEF_HHZ_10_0001.001.00.00.00.0000_9999.365.23.59.58.0000"},
  };
  for (const auto& row : rows) {
    ChannelCodes codes;
    codes.network = "XX";
    codes.sta = "DEF";
    codes.chan = "HHZ";
    codes.location = row.location;
    EXPECT_EQ(sacpz_file_name(codes, row.start, row.end), row.name) << row.location;
  }
}

TEST(BuildSacPzTextTest, NumbersAreWhatPrintfPlusEWrites) {
  const double values[] = {1.0,     -1.0,    9.9999995e-3, 9.99999949e5, 1e-300,
                           1e300,   5e-324,  123456789.0,  -0.5e-7,      0.0,
                           -0.0,    std::numeric_limits<double>::infinity()};
  std::vector<double> all(std::begin(values), std::end(values));
  // Numbers with few and with many digits, and values read from "%e" texts.
  unsigned seed = 7;
  for (int i = 0; i < 2000; ++i) {
    seed = seed * 1103515245u + 12345u;
    const double mantissa = static_cast<double>(seed % 100000000u) / 1e7;
    const double v = (i % 2 ? -mantissa : mantissa) * std::pow(10.0, static_cast<int>(seed % 41) - 20);
    all.push_back(v);
    char text[32];
    std::snprintf(text, sizeof text, "%e", v);
    all.push_back(std::strtod(text, nullptr));
    std::snprintf(text, sizeof text, "%.3e", v);
    all.push_back(std::strtod(text, nullptr));
  }
  all.push_back(0.5e-6);
  all.push_back(9.9999995);   // rounds up into a new exponent
  all.push_back(1.00000049999);
  for (const double v : all) {
    PoleZeroResponse response;
    response.constant = v;
    char expected[64];
    std::snprintf(expected, sizeof expected, "CONSTANT %+e\n", v);
    const std::string text = build_sacpz_text(SacPzPeriod(), response);
    EXPECT_EQ(text.substr(text.rfind("CONSTANT")), expected) << v;
  }
}

}  // namespace
}  // namespace kalvynex
