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
