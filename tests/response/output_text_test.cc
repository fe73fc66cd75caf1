#include "response/output_text.h"

#include <string>

#include <gtest/gtest.h>

#include "tests/support/files.h"

namespace kalvynex {
namespace {

Timestamp date(int year, int month, int day) {
  // The time of day never reaches the name.
  return Timestamp::at(year, month, day, 12, 30);
}

TEST(OutputFileNameTest, JoinsDirectoryCodesStartDateAndExtension) {
  struct Case {
    const char* out_dir;
    ChannelCodes channel;
    Timestamp start;
    OutputKind kind;
    const char* expected;
  };
  const Case cases[] = {
      {"D:/OUT", select_codes("ABC", "BHZ", "XX", "00"), date(2005, 3, 1), OutputKind::Sac,
       "D:/OUT/ABC_BHZ_XX_00_20050301.sac"},
      // A final "/" is not doubled.
      {"D:/OUT/", select_codes("ABC", "BHZ", "XX", "00"), date(2005, 3, 1), OutputKind::Sac,
       "D:/OUT/ABC_BHZ_XX_00_20050301.sac"},
      {"/data/out", select_codes("ABC", "BHN", "XX", "00"), date(2011, 1, 1), OutputKind::Fap,
       "/data/out/ABC_BHN_XX_00_20110101.fap"},
      // The location "??" leaves out the location part with its "_" ...
      {"out", select_codes("DEF", "HHZ", "XX", "??"), date(2015, 6, 1), OutputKind::Sac,
       "out/DEF_HHZ_XX_20150601.sac"},
      {"out/", select_codes("DEF", "HHZ", "XX", "??"), date(2015, 6, 1), OutputKind::Fap,
       "out/DEF_HHZ_XX_20150601.fap"},
      // ... but other question marks are a location like any other.
      {"out", select_codes("DEF", "HHZ", "XX", "?"), date(2015, 6, 1), OutputKind::Sac,
       "out/DEF_HHZ_XX_?_20150601.sac"},
      {"out", select_codes("DEF", "HHZ", "XX", "???"), date(2015, 6, 1), OutputKind::Sac,
       "out/DEF_HHZ_XX_???_20150601.sac"},
      // Codes as typed, letter case included.
      {"out", select_codes("abc", "Bhz", "xX", "0a"), date(2005, 3, 1), OutputKind::Sac,
       "out/abc_Bhz_xX_0a_20050301.sac"},
      // An empty directory is the current one: no leading "/".
      {"", select_codes("ABC", "BHZ", "XX", "00"), date(2005, 3, 1), OutputKind::Sac,
       "ABC_BHZ_XX_00_20050301.sac"},
      {"", select_codes("DEF", "HHZ", "XX", "??"), date(2015, 6, 1), OutputKind::Fap,
       "DEF_HHZ_XX_20150601.fap"},
      {"/", select_codes("ABC", "BHZ", "XX", "00"), date(2005, 3, 1), OutputKind::Sac,
       "/ABC_BHZ_XX_00_20050301.sac"},
      // Years below 1000 keep four digits; month and day two.
      {"o", select_codes("A", "B", "C", "D"), date(999, 12, 9), OutputKind::Sac, "o/A_B_C_D_09991209.sac"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(output_file_name(c.out_dir, c.channel, c.start, c.kind), c.expected);
  }
}

TEST(ToCrlfTest, EveryLineFeedGetsACarriageReturnBeforeIt) {
  struct Case {
    std::string text;
    std::string expected;
  };
  const Case cases[] = {
      {"", ""},
      {"no line end", "no line end"},
      {"X\nY1\n2\n", "X\r\nY1\r\n2\r\n"},
      {"\n\n", "\r\n\r\n"},
      // A CR already there is kept as it is.
      {"a\r\nb", "a\r\r\nb"},
      {"\r", "\r"},
      {std::string("nul\0byte\n", 9), std::string("nul\0byte\r\n", 10)},
      {"\nfirst and last\n", "\r\nfirst and last\r\n"},
      {"ends without\nline feed", "ends without\r\nline feed"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(to_crlf(c.text), c.expected);
  }
}

}  // namespace
}  // namespace kalvynex
