#include "response/stationxml_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <string>
#include <vector>

#include "tests/support/stationxml.h"

namespace kalvynex {
namespace {

using C = std::complex<double>;

ChannelEpoch epoch(const char* net, const char* sta, const char* loc, const char* cha,
                   Timestamp start, Timestamp end, double fn) {
  ChannelEpoch e;
  e.codes.network = net;
  e.codes.sta = sta;
  e.codes.location = loc;
  e.codes.chan = cha;
  e.start = start;
  e.end = end;
  e.normalization_frequency = fn;
  return e;
}

StationPlace place(double lat, double lon, double elev, const char* site) {
  StationPlace p;
  p.latitude = lat;
  p.longitude = lon;
  p.elevation = elev;
  p.site_name = site;
  p.known = true;
  return p;
}

std::string write(const std::vector<std::pair<ChannelEpoch, StationPlace>>& channels) {
  std::string out;
  StationXmlWriter writer([&out](const char* data, std::size_t size) {
    out.append(data, size);
    return true;
  });
  StationXmlDocumentInfo info;
  info.source = "QEV";
  info.module = "kalvynex-inventory test";
  info.created_seconds = 1700000000;
  EXPECT_TRUE(writer.begin(info));
  // Each network and station starts with its earliest channel, as readers
  // expect of them.
  auto earliest = [&channels](const ChannelEpoch& of, bool station) {
    ElementDates dates;
    for (const auto& [e, p] : channels) {
      if (e.codes.network != of.codes.network || (station && e.codes.sta != of.codes.sta)) continue;
      if (!dates.start || xml_date_time(e.start) < xml_date_time(*dates.start)) dates.start = e.start;
    }
    return dates;
  };
  for (const auto& [e, p] : channels) {
    EXPECT_TRUE(writer.add_channel(e, p, earliest(e, false), earliest(e, true)));
  }
  EXPECT_TRUE(writer.finish());
  return out;
}

// A broadband sensor with two zeros at the origin (as SAC leaves them
// unlisted), one listed zero and complex poles; a short-period one with a
// negative constant, normalised at 5 Hz; a FAP-only channel; a channel with
// no response; an unknown station; a site name that needs escaping.
TEST(StationXmlWriterTest, DocumentValidatesAndEvaluatesToTheStoredResponse) {
  PoleZeroResponse broadband;
  broadband.zeros = {C(0, 0), C(0, 0), C(-15.15, 0)};
  broadband.poles = {C(-0.037, 0.037), C(-0.037, -0.037), C(-222.1, 222.1),
                     C(-222.1, -222.1), C(-31.63, 0)};
  broadband.constant = 5.92e13;
  PoleZeroResponse short_period;
  short_period.zeros = {C(0, 0), C(0, 0)};
  short_period.poles = {C(-4.443, 4.443), C(-4.443, -4.443)};
  short_period.constant = -4.0e8;
  const std::vector<FapTriplet> fap = {{0.1, 0.00132632, 6.768}, {1.0, 0.000132629, 0.675},
                                       {3.0, 4.4e-5, 0.2}, {10.0, 1.32629e-05, 0.068}};

  auto bhz = epoch("XX", "ABC", "00", "BHZ", Timestamp::at(2001, 1, 1),
                   Timestamp::at(2005, 2, 28, 23, 59, 59), 1.0);
  bhz.pole_zero = &broadband;
  bhz.sensor = {145.5, 359.5, -90.0, 20.0};
  auto bhn = epoch("XX", "ABC", "00", "BHN", Timestamp::at(2011, 1, 1), Timestamp{-1}, 2.4);
  bhn.fap = &fap;
  bhn.sensor.dip = 90.0;  // only a dip: Depth 0 as without one, no Azimuth
  auto lhz = epoch("XX", "ABC", "", "LHZ", Timestamp::at(2003, 1, 1), Timestamp{-1}, 1.0);
  auto hhz = epoch("XX", "DEF", "??", "HHZ", Timestamp::at(2015, 6, 1, 12, 30, 5), Timestamp{-1},
                   5.0);
  hhz.pole_zero = &short_period;
  auto ghi = epoch("YY", "GHI", "10", "BHZ", Timestamp::at(2012, 1, 1), Timestamp{-1}, 1.0);
  ghi.pole_zero = &broadband;
  const StationPlace abc = place(41.5, -12.25, 1234.5, "");
  const std::string doc = write({{bhz, abc},
                                 {bhn, abc},
                                 {lhz, abc},
                                 {hhz, StationPlace{}},
                                 {ghi, place(-33.0, 151.0, -20.0, "Q&A <hut> \"north\"")}});

  EXPECT_EQ(stationxml_schema_errors(doc), "");
  EXPECT_EQ(stationxml_created(doc), "2023-11-14T22:13:20Z");
  const std::vector<DocumentChannel> channels = read_stationxml(doc);
  ASSERT_EQ(channels.size(), 5u);

  // Codes, periods and places.
  EXPECT_EQ(channels[0].start, "2001-01-01T00:00:00Z");
  EXPECT_EQ(channels[0].end, "2005-02-28T23:59:59Z");
  EXPECT_EQ(channels[1].end, "");
  EXPECT_EQ(channels[2].location, "");
  EXPECT_EQ(channels[3].location, "");  // stored as "??"
  EXPECT_EQ(channels[3].start, "2015-06-01T12:30:05Z");
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(channels[i].station, "ABC");
    EXPECT_EQ(channels[i].latitude, 41.5);
    EXPECT_EQ(channels[i].longitude, -12.25);
    EXPECT_EQ(channels[i].elevation, 1234.5);
    EXPECT_EQ(channels[i].site_name, "ABC");
    EXPECT_EQ(channels[i].station_comment, "");
  }
  EXPECT_EQ(channels[3].station, "DEF");
  EXPECT_EQ(channels[3].latitude, 0.0);
  EXPECT_NE(channels[3].station_comment.find("Coordinates unknown"), std::string::npos);
  EXPECT_EQ(channels[4].network, "YY");
  EXPECT_EQ(channels[4].site_name, "Q&A <hut> \"north\"");
  EXPECT_FALSE(channels[2].has_response);
  // The sensor's elements in the schema's order, each left out when absent
  // (Depth, which the schema requires, is 0).
  EXPECT_NE(doc.find("<Depth>145.5</Depth>\n        <Azimuth>359.5</Azimuth>\n"
                     "        <Dip>-90</Dip>\n        <SampleRate>20</SampleRate>\n"
                     "        <Response>"),
            std::string::npos)
      << doc;
  EXPECT_NE(doc.find("<Depth>0</Depth>\n        <Dip>90</Dip>\n        <Response>"),
            std::string::npos);
  for (const char* tag : {"<Azimuth>", "<SampleRate>"}) {
    EXPECT_EQ(doc.find(tag, doc.find(tag) + 1), std::string::npos) << tag;
  }

  // Pole-zero stages evaluate to CONSTANT x PZ(s) of the stored response.
  const std::vector<std::pair<int, const PoleZeroResponse*>> pz = {
      {0, &broadband}, {3, &short_period}, {4, &broadband}};
  for (const auto& [index, stored] : pz) {
    const DocumentChannel& c = channels[static_cast<std::size_t>(index)];
    ASSERT_TRUE(c.has_pole_zero) << index;
    EXPECT_EQ(c.zeros.size(), stored->zeros.size());
    EXPECT_EQ(c.poles.size(), stored->poles.size());
    for (const double f : {0.001, 0.03, 1.0, 5.0, 7.3, 40.0, 200.0}) {
      const C expected = evaluate_pole_zero(*stored, f);
      EXPECT_LT(std::abs(c.evaluate(f) - expected) / std::abs(expected), 1e-6)
          << index << " at " << f << " Hz";
    }
    // The sensitivity is the response's magnitude at f_n, with the sign of
    // CONSTANT.
    const double fn = c.normalization_frequency;
    EXPECT_EQ(c.sensitivity_frequency, fn);
    EXPECT_NEAR(std::fabs(c.sensitivity), std::abs(evaluate_pole_zero(*stored, fn)),
                1e-9 * std::fabs(c.sensitivity));
    EXPECT_EQ(c.sensitivity < 0, stored->constant < 0);
  }
  EXPECT_EQ(channels[3].normalization_frequency, 5.0);

  // The response list holds 10^6 / A and the stored phase; the sensitivity
  // is that of the element nearest f_n (2.4 Hz: the one at 3 Hz).
  const DocumentChannel& list = channels[1];
  ASSERT_EQ(list.list.size(), fap.size());
  for (std::size_t i = 0; i < fap.size(); ++i) {
    EXPECT_EQ(list.list[i][0], fap[i].frequency);
    EXPECT_NEAR(list.list[i][1], 1e6 / fap[i].amplitude, 1e-12 * list.list[i][1]);
    EXPECT_EQ(list.list[i][2], fap[i].phase);
  }
  EXPECT_EQ(list.sensitivity_frequency, 3.0);
  EXPECT_EQ(list.sensitivity, 1e6 / 4.4e-5);
}

TEST(StationXmlWriterTest, NetworkAndStationDatesAreWrittenWhenKnown) {
  const auto e1 = epoch("XX", "ABC", "00", "BHZ", Timestamp::at(2001, 1, 1), Timestamp{-1}, 1.0);
  const auto e2 = epoch("XX", "DEF", "00", "BHZ", Timestamp::at(2002, 1, 1), Timestamp{-1}, 1.0);
  ElementDates network;
  network.start = Timestamp::at(2001, 1, 1);
  ElementDates station;
  station.start = Timestamp::at(2001, 1, 1);
  station.end = Timestamp::at(2009, 12, 31, 23, 59, 59);
  std::string out;
  StationXmlWriter writer([&out](const char* data, std::size_t size) {
    out.append(data, size);
    return true;
  });
  StationXmlDocumentInfo info;
  ASSERT_TRUE(writer.begin(info));
  ASSERT_TRUE(writer.add_channel(e1, StationPlace{}, network, station));
  // Dates given with a channel of an open station or network are not used.
  ElementDates def;
  def.start = Timestamp::at(2002, 1, 1);
  ASSERT_TRUE(writer.add_channel(e2, StationPlace{}, ElementDates{station}, def));
  ASSERT_TRUE(writer.finish());
  EXPECT_EQ(stationxml_schema_errors(out), "");
  EXPECT_NE(out.find("<Network code=\"XX\" startDate=\"2001-01-01T00:00:00Z\">"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("<Station code=\"ABC\" startDate=\"2001-01-01T00:00:00Z\" "
                     "endDate=\"2009-12-31T23:59:59Z\">"),
            std::string::npos);
  EXPECT_NE(out.find("<Station code=\"DEF\" startDate=\"2002-01-01T00:00:00Z\">"),
            std::string::npos);
}

TEST(StationXmlWriterTest, ResponsesInOtherUnitsDivideByTwoPiIfPerOrder) {
  using Roots = std::vector<C>;
  const Roots poles = {C(-4.443, 4.443), C(-4.443, -4.443)};
  const C tiny(0.0, 1e-300);  // next to the origin, not at it
  const struct {
    Roots zeros;
    GroundUnits units;
    Roots zeros_after;
    std::size_t poles_added;
  } rows[] = {
      {{C(0, 0), C(0, 0), C(-15, 0)}, GroundUnits::kDisplacement, {C(0, 0), C(0, 0), C(-15, 0)}, 0},
      {{C(0, 0), C(0, 0), C(-15, 0)}, GroundUnits::kVelocity, {C(0, 0), C(-15, 0)}, 0},
      {{C(0, 0), C(0, 0), C(-15, 0)}, GroundUnits::kAcceleration, {C(-15, 0)}, 0},
      {{C(-15, 0), C(0, 0)}, GroundUnits::kAcceleration, {C(-15, 0)}, 1},
      {{C(-15, 0)}, GroundUnits::kVelocity, {C(-15, 0)}, 1},
      {{}, GroundUnits::kAcceleration, {}, 2},
      {{tiny}, GroundUnits::kVelocity, {tiny}, 1},
  };
  for (const auto& row : rows) {
    PoleZeroResponse stored;
    stored.zeros = row.zeros;
    stored.poles = poles;
    stored.constant = -4.0e8;
    const PoleZeroResponse converted = pole_zero_in_units(stored, row.units);
    const std::string what = std::to_string(row.zeros.size()) + " zeros, order " +
                             std::to_string(static_cast<int>(row.units));
    EXPECT_EQ(converted.zeros, row.zeros_after) << what;
    ASSERT_EQ(converted.poles.size(), poles.size() + row.poles_added) << what;
    for (std::size_t i = poles.size(); i < converted.poles.size(); ++i) {
      EXPECT_EQ(converted.poles[i], C(0, 0)) << what;
    }
    EXPECT_EQ(converted.constant, stored.constant);
    for (const double f : {0.01, 1.0, 7.3}) {
      const C expected = evaluate_pole_zero(stored, f) /
                         std::pow(C(0.0, 2.0 * M_PI * f), static_cast<int>(row.units));
      EXPECT_LT(std::abs(evaluate_pole_zero(converted, f) - expected), 1e-12 * std::abs(expected))
          << what << " at " << f << " Hz";
    }
  }

  // FAP: micrometres per count times (2 pi f)^k; -90 degrees per order,
  // wrapped into -360..360 as written.
  const std::vector<FapTriplet> fap = {{0.5, 2.0, 10.0}, {2.0, 3.0, -300.0}};
  const struct {
    GroundUnits units;
    double amplitude[2], phase[2];
  } fap_rows[] = {
      {GroundUnits::kDisplacement, {2.0, 3.0}, {10.0, -300.0}},
      {GroundUnits::kVelocity, {2.0 * M_PI, 3.0 * 4.0 * M_PI}, {-80.0, -390.0 + 360.0}},
      {GroundUnits::kAcceleration,
       {2.0 * M_PI * M_PI, 3.0 * 16.0 * M_PI * M_PI},
       {-170.0, -480.0 + 360.0}},
  };
  for (const auto& row : fap_rows) {
    const std::vector<FapTriplet> converted = fap_in_units(fap, row.units);
    ASSERT_EQ(converted.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
      EXPECT_EQ(converted[i].frequency, fap[i].frequency);
      EXPECT_NEAR(converted[i].amplitude, row.amplitude[i], 1e-12 * row.amplitude[i]);
      EXPECT_EQ(converted[i].phase, row.phase[i]) << static_cast<int>(row.units) << " " << i;
    }
  }
  EXPECT_STREQ(ground_units_name(GroundUnits::kDisplacement), "m");
  EXPECT_STREQ(ground_units_name(GroundUnits::kVelocity), "m/s");
  EXPECT_STREQ(ground_units_name(GroundUnits::kAcceleration), "m/s**2");
}

TEST(StationXmlWriterTest, LocationsMeaningNoneAreWrittenEmpty) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"??", ""}, {"--", ""}, {"", ""}, {"00", "00"}, {"?", "?"}, {"-", "-"},
      {"???", "???"}, {"---", "---"}, {" ?", " ?"}, {"1?", "1?"}};
  for (const auto& [stored, written] : cases) {
    EXPECT_EQ(xml_location_code(stored), written) << stored;
  }
}

TEST(StationXmlWriterTest, PhasesAreWrappedIntoTheSchemaRangeByWholeTurns) {
  const struct {
    double in, out;
  } cases[] = {{360.0, 360.0},      {-360.0, -360.0}, {400.0, 40.0},   {-450.0, -90.0},
               {720.0, 0.0},        {0.0, 0.0},       {359.5, 359.5},  {-360.5, -0.5},
               {360.0000001, std::fmod(360.0000001, 360.0)}};
  for (const auto& c : cases) EXPECT_EQ(wrap_phase_degrees(c.in), c.out) << c.in;
  EXPECT_GT(wrap_phase_degrees(360.0000001), 0.0);
  EXPECT_LT(wrap_phase_degrees(360.0000001), 1e-6);
}

// Where a response is normalised, on both sides of each limit: a pole or
// zero exactly at 2 pi i f_n and one next to it, a frequency whose factor
// overflows or underflows, a subnormal CONSTANT, FAP amplitudes with and
// without a finite inverse.
TEST(StationXmlWriterTest, FreqThatIsNoPositiveFiniteNumberCountsAsAbsent) {
  const double max = 1.7976931348623157e308;
  const struct {
    double freq, frequency;
  } cases[] = {{0.0, 1.0},          {4.9e-324, 4.9e-324}, {-1.0, 1.0}, {-0.0, 1.0},
               {max, max},          {INFINITY, 1.0},      {NAN, 1.0},  {2.5, 2.5}};
  for (const auto& c : cases) {
    EXPECT_EQ(requested_normalization_frequency(c.freq), c.frequency) << c.freq;
  }
}

TEST(StationXmlWriterTest, PlansTheNormalisationAwayFromZerosAndPoles) {
  const double f = 5.0;
  const double at_f = 2.0 * M_PI * f;
  auto pz = [](std::vector<C> zeros, std::vector<C> poles, double constant) {
    PoleZeroResponse r;
    r.zeros = std::move(zeros);
    r.poles = std::move(poles);
    r.constant = constant;
    return r;
  };
  const struct {
    const char* what;
    PoleZeroResponse response;
    double fn;
    bool writable;
    double frequency;
    const char* moved;  // start of the reason; empty: not moved
  } cases[] = {
      {"pole at 2 pi i f_n", pz({}, {C(0, at_f), C(0, -at_f)}, 1.0), f, true, 1.0,
       "the response is infinite there"},
      {"pole next to it", pz({}, {C(0, std::nextafter(at_f, 0.0)), C(0, -at_f)}, 1.0), f, true, f,
       ""},
      {"zero at 2 pi i f_n", pz({C(0, at_f)}, {C(-1, 0)}, 1.0), f, true, 1.0,
       "the response is zero there"},
      {"zero next to it", pz({C(0, std::nextafter(at_f, 100.0))}, {C(-1, 0)}, 1.0), f, true, f,
       ""},
      {"pole at 1 Hz asked for", pz({}, {C(0, 2.0 * M_PI)}, 1.0), 1.0, true, 0.1,
       "the response is infinite there"},
      {"FREQ 1e300 overflows", pz({C(0, 0), C(0, 0), C(0, 0)}, {}, 1.0), 1e300, true, 1.0,
       "the response is infinite there"},
      {"FREQ 1e100 does not", pz({C(0, 0), C(0, 0), C(0, 0)}, {}, 1.0), 1e100, true, 1e100, ""},
      {"FREQ 1e-300 underflows", pz({C(0, 0), C(0, 0)}, {C(-1, 0), C(-1, 0)}, 1.0), 1e-300, true,
       1.0, "the response is zero there"},
      {"subnormal CONSTANT, unit magnitude", pz({}, {}, 4.9e-324), 1.0, true, 1.0, ""},
      {"subnormal CONSTANT, gain underflows everywhere", pz({}, {C(-1e5, 0)}, 4.9e-324), 1.0,
       false, 1.0, ""},
      {"a pole that is not finite", pz({}, {C(NAN, 0)}, 1.0), 1.0, false, 1.0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto e = epoch("XX", "ABC", "00", "BHZ", Timestamp::at(2001, 1, 1), Timestamp{-1}, c.fn);
    e.pole_zero = &c.response;
    const ResponsePlan plan = plan_response(e);
    EXPECT_EQ(plan.writable, c.writable) << plan.unusable;
    EXPECT_EQ(plan.unusable.empty(), c.writable);
    if (!c.writable) continue;
    EXPECT_EQ(plan.frequency, c.frequency);
    EXPECT_EQ(plan.moved.rfind(c.moved, 0), 0u) << plan.moved;
    EXPECT_EQ(plan.moved.empty(), std::string(c.moved).empty());
    const PoleZeroNormalization norm = normalize_pole_zero(c.response, plan.frequency);
    EXPECT_TRUE(std::isfinite(norm.factor) && norm.factor != 0.0);
    EXPECT_TRUE(std::isfinite(norm.gain) && norm.gain != 0.0);
  }
  const std::vector<FapTriplet> subnormal = {{1.0, 1.0, 0.0}, {2.0, 4.9e-324, 0.0}};
  const std::vector<FapTriplet> tiny = {{1.0, 1.0, 0.0}, {2.0, 1e-300, 0.0}};
  auto e = epoch("XX", "ABC", "00", "BHZ", Timestamp::at(2001, 1, 1), Timestamp{-1}, 1.0);
  e.fap = &subnormal;
  EXPECT_FALSE(plan_response(e).writable);
  e.fap = &tiny;
  EXPECT_TRUE(plan_response(e).writable);
}

// What the plan decides is what the document holds: a moved normalisation
// frequency, wrapped phases, and a channel whose response cannot be written
// left without one. The document validates and holds no INF or NaN.
TEST(StationXmlWriterTest, DocumentOfHostileNumbersValidates) {
  PoleZeroResponse pole_at_fn;
  pole_at_fn.poles = {C(0, 2.0 * M_PI * 5.0), C(0, -2.0 * M_PI * 5.0)};
  pole_at_fn.constant = 1.0;
  PoleZeroResponse nowhere;
  nowhere.poles = {C(-1e5, 0)};
  nowhere.constant = 4.9e-324;
  const std::vector<FapTriplet> phases = {{1.0, 1.0, 400.0}, {2.0, 1.0, -450.0},
                                          {3.0, 1.0, 360.0}, {4.0, 1.0, -360.0}};
  const std::vector<FapTriplet> subnormal = {{1.0, 4.9e-324, 0.0}, {2.0, 1.0, 0.0}};
  auto moved = epoch("XX", "ABC", "00", "BHZ", Timestamp::at(2001, 1, 1), Timestamp{-1}, 5.0);
  moved.pole_zero = &pole_at_fn;
  auto wrapped = epoch("XX", "ABC", "00", "BHN", Timestamp::at(2001, 1, 1), Timestamp{-1}, 1.0);
  wrapped.fap = &phases;
  auto none = epoch("XX", "ABC", "00", "BHE", Timestamp::at(2001, 1, 1), Timestamp{-1}, 1.0);
  none.pole_zero = &nowhere;
  auto no_list = epoch("XX", "ABC", "00", "LHZ", Timestamp::at(2001, 1, 1), Timestamp{-1}, 1.0);
  no_list.fap = &subnormal;
  const StationPlace abc = place(1, 2, 3, "");
  const std::string doc = write({{moved, abc}, {wrapped, abc}, {none, abc}, {no_list, abc}});
  EXPECT_EQ(stationxml_schema_errors(doc), "");
  EXPECT_EQ(doc.find("INF"), std::string::npos);
  EXPECT_EQ(doc.find("NaN"), std::string::npos);
  const std::vector<DocumentChannel> channels = read_stationxml(doc);
  ASSERT_EQ(channels.size(), 4u);
  EXPECT_EQ(channels[0].normalization_frequency, 1.0);
  EXPECT_EQ(channels[0].sensitivity_frequency, 1.0);
  ASSERT_EQ(channels[1].list.size(), 4u);
  EXPECT_EQ(channels[1].list[0][2], 40.0);
  EXPECT_EQ(channels[1].list[1][2], -90.0);
  EXPECT_EQ(channels[1].list[2][2], 360.0);
  EXPECT_EQ(channels[1].list[3][2], -360.0);
  EXPECT_FALSE(channels[2].has_response);
  EXPECT_FALSE(channels[3].has_response);
}

TEST(StationXmlWriterTest, RefusedBytesFailTheDocument) {
  StationXmlWriter writer([](const char*, std::size_t) { return false; });
  writer.begin(StationXmlDocumentInfo{});
  const auto e = epoch("XX", "ABC", "00", "BHZ", Timestamp::at(2001, 1, 1), Timestamp{-1}, 1.0);
  writer.add_channel(e, StationPlace{});
  EXPECT_FALSE(writer.finish());
}

}  // namespace
}  // namespace kalvynex
