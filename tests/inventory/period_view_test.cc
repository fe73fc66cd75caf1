// The viewer's data of one period: which period is taken, both curves on
// the same axes, check's findings, and what stands where a number or a
// text cannot.
#include "inventory/period_view.h"

#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/fake_catalog.h"

namespace kalvynex {
namespace {

const char kSac[] =
    "ZEROS 2|POLES 4|-0.0370 0.0370|-0.0370 -0.0370|-222.1 222.1|-222.1 -222.1|"
    "CONSTANT 7.40e+13|";
const char kFap[] = "0.01 0.0129178 75.465|1 0.000106103 0.675|20 5.30516e-06 0.034|";

Timestamp open_end() {
  Timestamp t;
  t.year = -1;
  return t;
}

// The number of "[" that open a point in the member `name`'s array.
int point_count(const std::string& json, const std::string& name) {
  const std::size_t begin = json.find("\"" + name + "\": [");
  if (begin == std::string::npos) return -1;
  const std::size_t end = json.find('\n', begin);
  int count = 0;
  for (std::size_t i = json.find('[', begin) + 1; i < end; ++i) count += json[i] == '[';
  return count;
}

TEST(PeriodViewTest, WritesThePeriodAsJson) {
  FakePeriod before = fake_period("XX.ABC.00.BHZ", Timestamp::at(2001, 1, 1),
                                  Timestamp::at(2005, 3, 1, 12, 30, 0), kSac, kFap);
  FakePeriod both = fake_period("XX.ABC.00.BHZ", Timestamp::at(2005, 3, 1, 12, 30, 0),
                                Timestamp::at(2010, 12, 31, 23, 59, 59), kSac, kFap);
  both.period.sens = 1.5e9;
  both.period.freq = 1.0;
  FakePeriod sac_only = fake_period("XX.ABC.00.BHE", Timestamp::at(2011, 1, 1), open_end(),
                                    kSac, "");
  FakePeriod unreadable = fake_period("XX.ABC.00.BHN", Timestamp::at(2011, 1, 1), open_end(),
                                      "ZEROS 2|POLES x|CONSTANT 1|", kFap);
  // 10^6 / 1e-320 is not finite; the second line has no phase; SENS is
  // NULL and FREQ not finite.
  FakePeriod not_finite = fake_period("XX.A\"B..BHZ", Timestamp::at(2012, 1, 1), open_end(),
                                      "", "1 1e-320 10|2 1|");
  not_finite.period.freq = HUGE_VAL;
  // The documents write this location as the empty one.
  const FakePeriod unknown_location = fake_period("XX.DEF.??.HHZ", Timestamp::at(2015, 6, 1),
                                                  open_end(), "", kFap);

  const struct {
    const char* name;
    FakePeriod period;
    std::vector<FakePeriod> others;
    const char* location;  // of the request; null: the stored one
    Timestamp start;
    bool found;
    std::vector<std::string> present;
    int pole_zero_points;
    int fap_points;
  } rows[] = {
      {"both texts, the period after an overlapping one",
       both,
       {before},
       nullptr,
       Timestamp::at(2005, 3, 1, 12, 30, 0),
       true,
       {"{\"network\": \"XX\", \"station\": \"ABC\", \"location\": \"00\", \"channel\": \"BHZ\", "
        "\"start\": \"2005-03-01T12:30:00\", \"end\": \"2010-12-31T23:59:59\", "
        "\"sens\": 1.500000e+09, \"freq\": 1.000000e+00,\n",
        // The FAP table's band, then its three points in count/m.
        "\"pole_zero\": [[1.000000e-02, ",
        ", [2.000000e+01, ",
        "\"fap\": [[1.000000e-02, 7.741256e+07, 7.546500e+01], "
        "[1.000000e+00, 9.424804e+09, 6.750000e-01], "
        "[2.000000e+01, 1.884957e+11, 3.400000e-02]]",
        "\"kind\": \"overlap\"",
        "\"notes\": []}\n"},
       200 + 1,
       3},
      {"no FAP text: the default band",
       sac_only,
       {},
       nullptr,
       Timestamp::at(2011, 1, 1),
       true,
       {"\"pole_zero\": [[1.000000e-03, ", ", [1.000000e+02, ", "\"fap\": []",
        "\"notes\": [\"no FAP text\"]}\n"},
       200,
       0},
      {"an unreadable SAC text",
       unreadable,
       {},
       nullptr,
       Timestamp::at(2011, 1, 1),
       true,
       {"\"pole_zero\": []", "\"kind\": \"sac\"",
        "\"notes\": [\"the SAC text cannot be read: line 2: "},
       0,
       3},
      {"numbers that are not finite",
       not_finite,
       {},
       nullptr,
       Timestamp::at(2012, 1, 1),
       true,
       {"\"station\": \"A\\\"B\", \"location\": \"\"", "\"end\": null",
        "\"sens\": null, \"freq\": null",
        "\"fap\": [[1.000000e+00, null, 1.000000e+01], [2.000000e+00, 1.000000e+06, null]]",
        "\"notes\": [\"no SAC text\"]}\n"},
       0,
       2},
      {"the empty location finds \"??\"",
       unknown_location,
       {},
       "",
       Timestamp::at(2015, 6, 1),
       true,
       {"\"station\": \"DEF\", \"location\": \"??\", \"channel\": \"HHZ\""},
       0,
       3},
      {"no period at that START", both, {}, nullptr, Timestamp::at(2005, 3, 1, 12, 30, 1), false,
       {}, -1, -1},
      {"no period at that location", unknown_location, {}, "00", Timestamp::at(2015, 6, 1), false,
       {}, -1, -1},
  };
  for (const auto& row : rows) {
    std::vector<FakePeriod> periods = row.others;
    periods.push_back(row.period);
    FakeCatalog catalog(periods);
    PeriodViewRequest request;
    request.codes = row.period.period.codes;
    if (row.location != nullptr) request.codes.location = row.location;
    request.start = row.start;
    std::string json = "untouched";
    bool found = !row.found;
    const Status status = write_period_view(catalog, request, &json, &found);
    ASSERT_TRUE(status.ok()) << row.name << ": " << status.text();
    EXPECT_EQ(found, row.found) << row.name;
    if (!row.found) {
      EXPECT_EQ(json, "untouched") << row.name;
      continue;
    }
    for (const std::string& part : row.present) {
      EXPECT_NE(json.find(part), std::string::npos) << row.name << ": " << part << "\n" << json;
    }
    EXPECT_EQ(point_count(json, "pole_zero"), row.pole_zero_points) << row.name;
    EXPECT_EQ(point_count(json, "fap"), row.fap_points) << row.name;
    // Only JSON's own words stand for numbers that are missing, and no
    // number begins with "+" (the findings' texts are check's own).
    const std::string numbers = json.substr(0, json.find("\"findings\""));
    for (const char* bad : {"inf", "nan", "[+", " +"}) {
      EXPECT_EQ(numbers.find(bad), std::string::npos) << row.name << ": " << bad << "\n" << json;
    }
    // Every period of the channel was read, so the query is closed.
    EXPECT_EQ(catalog.calls(CatalogCall::kReadTexts), 1) << row.name;
  }
}

TEST(PeriodViewTest, CarriesTheDatabaseFailure) {
  for (const CatalogCall call :
       {CatalogCall::kOpenPeriods, CatalogCall::kNextPeriod, CatalogCall::kReadTexts}) {
    FakeCatalog catalog({fake_period("XX.ABC.00.BHZ", Timestamp::at(2011, 1, 1), open_end(),
                                     kSac, kFap)});
    catalog.fail(call, Status::failure(Stage::kLoad, "gone", "08S01"));
    PeriodViewRequest request;
    request.codes = {"ABC", "BHZ", "XX", "00"};
    request.start = Timestamp::at(2011, 1, 1);
    std::string json;
    bool found = true;
    const Status status = write_period_view(catalog, request, &json, &found);
    EXPECT_EQ(status.sqlstate(), "08S01") << static_cast<int>(call);
    EXPECT_FALSE(found) << static_cast<int>(call);
    EXPECT_TRUE(json.empty()) << static_cast<int>(call);
  }
}

TEST(PeriodViewTest, ReadsTheRequest) {
  using Parameters = std::vector<QueryParameter>;
  const Parameters good = {
      {"net", "XX"}, {"sta", "ABC"}, {"loc", "--"}, {"cha", "BHZ"}, {"start", "2005-03-01T12:30:00"}};
  PeriodViewRequest request;
  std::string error;
  ASSERT_TRUE(parse_period_view_request(good, &request, &error)) << error;
  EXPECT_EQ(request.codes.selector_text(), "ABC:BHZ:XX:");
  EXPECT_EQ(timestamp_iso_text(request.start), "2005-03-01T12:30:00");

  const struct {
    Parameters parameters;
    const char* error;
  } rows[] = {
      {{{"net", "XX"}, {"sta", "ABC"}, {"loc", "00"}, {"cha", "BHZ"}}, "Missing parameter: start"},
      {{{"net", "XX"}, {"net", "YY"}}, "Repeated parameter: net"},
      {{{"network", "XX"}}, "Unknown parameter: network"},
      {{{"net", "XX"}, {"sta", "ABC"}, {"loc", "00"}, {"cha", "BHZ"}, {"start", "2005-02-30"}},
       "Invalid start: 2005-02-30"},
  };
  for (const auto& row : rows) {
    error.clear();
    EXPECT_FALSE(parse_period_view_request(row.parameters, &request, &error)) << row.error;
    EXPECT_EQ(error, row.error);
  }
}

}  // namespace
}  // namespace kalvynex
