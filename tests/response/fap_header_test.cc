#include "response/fap_header.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace kalvynex {
namespace {

FapHeaderFields abc_fields() {
  FapHeaderFields fields;
  fields.codes.sta = "ABC";
  fields.codes.chan = "BHZ";
  fields.codes.location = "00";
  fields.codes.network = "XX";
  fields.start = Timestamp::at(2005, 3, 1, 12, 30, 0);
  fields.end.year = -1;
  fields.triplet_count = 52;
  fields.type = ResponseType{1, 0, -9};
  return fields;
}

std::vector<std::string> lines_of(const std::string& header) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  std::size_t end;
  while ((end = header.find('\n', start)) != std::string::npos) {
    lines.push_back(header.substr(start, end - start));
    start = end + 1;
  }
  EXPECT_EQ(start, header.size()) << "header must end in LF";
  return lines;
}

TEST(BuildFapHeaderTest, WritesDefaultHeader) {
  EXPECT_EQ(build_fap_header(abc_fields()),
            "CAL2 ABC   BHZ             -1.00000000e+000  -1.000             2005/03/01 12:30 \n"
            " ( ABC:BHZ:00:XX Count/(nM/sec) )\n"
            "FAP2  0 C         0.000  52 GSE2 FAP Triplets 52     \n");
}

TEST(BuildFapHeaderTest, WritesEndDateOnlyForPositiveYear) {
  FapHeaderFields fields = abc_fields();
  fields.end = Timestamp::at(2010, 12, 31, 23, 59, 59);
  EXPECT_EQ(lines_of(build_fap_header(fields))[0],
            "CAL2 ABC   BHZ             -1.00000000e+000  -1.000             "
            "2005/03/01 12:30 2010/12/31 23:59");
  for (int year : {0, -1}) {
    fields.end = Timestamp::at(year, 12, 31, 23, 59, 59);
    const std::string cal2 = lines_of(build_fap_header(fields))[0];
    EXPECT_EQ(cal2.substr(cal2.size() - 18), " 2005/03/01 12:30 ") << "year " << year;
  }
}

TEST(BuildFapHeaderTest, WritesCalibrationValuesAndLongCodesWhole) {
  FapHeaderFields fields = abc_fields();
  fields.codes.sta = "ABCDEF";
  fields.codes.chan = "BHZE";
  fields.calib = 0.0125663706;
  fields.calper = 1234.5678;
  fields.start = Timestamp::at(5, 1, 2, 3, 4, 5);
  EXPECT_EQ(lines_of(build_fap_header(fields))[0],
            "CAL2 ABCDEF BHZE             1.25663706e-002 1234.568             "
            "0005/01/02 03:04 ");
}

struct DescriptionCase {
  ResponseType type;
  int count;
  const char* comment;
  const char* fap2;
};

class FapHeaderTypeTest : public ::testing::TestWithParam<DescriptionCase> {};

TEST_P(FapHeaderTypeTest, WritesLabelCountAndDescription) {
  const DescriptionCase& c = GetParam();
  FapHeaderFields fields = abc_fields();
  fields.type = c.type;
  fields.triplet_count = c.count;
  const std::vector<std::string> lines = lines_of(build_fap_header(fields));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], c.comment);
  EXPECT_EQ(lines[2], c.fap2);
}

INSTANTIATE_TEST_SUITE_P(
    Types, FapHeaderTypeTest,
    ::testing::Values(
        DescriptionCase{{0, 1, -6}, 7, " ( ABC:BHZ:00:XX mkM/Count )",
                        "FAP2  0 C         0.000   7 QEV FAP Triplets 7       "},
        DescriptionCase{{0, -3, -6}, 7, " ( ABC:BHZ:00:XX mkM/Count )",
                        "FAP2  0 C         0.000   7 QEV FAP Triplets 7       "},
        DescriptionCase{{0, 0, -6}, 7, " ( ABC:BHZ:00:XX Count/mkM )",
                        "FAP2  0 C         0.000   7 FAP Triplets 7           "},
        DescriptionCase{{2, 0, -9}, 7, " ( ABC:BHZ:00:XX Count/(nM/sec**2) )",
                        "FAP2  0 C         0.000   7 FAP Triplets 7           "},
        // No label: two blanks before the parenthesis.
        DescriptionCase{{3, 0, -9}, 7, " ( ABC:BHZ:00:XX  )",
                        "FAP2  0 C         0.000   7 FAP Triplets 7           "},
        DescriptionCase{{1, 0, -9}, 0, " ( ABC:BHZ:00:XX Count/(nM/sec) )",
                        "FAP2  0 C         0.000   0 GSE2 FAP Triplets 0      "},
        // The count field holds at most 999; the description keeps the count.
        DescriptionCase{{1, 0, -9}, 999, " ( ABC:BHZ:00:XX Count/(nM/sec) )",
                        "FAP2  0 C         0.000 999 GSE2 FAP Triplets 999    "},
        DescriptionCase{{1, 0, -9}, 1000, " ( ABC:BHZ:00:XX Count/(nM/sec) )",
                        "FAP2  0 C         0.000 999 GSE2 FAP Triplets 1000   "},
        DescriptionCase{{1, 0, -9}, 2147483647, " ( ABC:BHZ:00:XX Count/(nM/sec) )",
                        "FAP2  0 C         0.000 999 GSE2 FAP Triplets 2147483647"}));

}  // namespace
}  // namespace kalvynex
