#include "config/run_arguments.h"

#include <gtest/gtest.h>

#include "tests/support/files.h"

namespace kalvynex {
namespace {

RunArguments parse(std::vector<std::string> words) {
  words.insert(words.begin(), "kalvynex");
  RunArguments out;
  out.date_text = "left over";  // parse_arguments must reset every field
  out.output_type = "left over";
  EXPECT_EQ(parse_arguments(words, &out), ParseOutcome::kRun);
  return out;
}

TEST(ParseArgumentsTest, SplitsSelectIntoTheFourCodes) {
  struct Case {
    std::vector<std::string> args;
    ChannelCodes expected;
  };
  const Case cases[] = {
      {{}, select_codes("", "", "", "")},
      {{"SELECT=ABC:BHZ:XX:00"}, select_codes("ABC", "BHZ", "XX", "00")},
      {{"select=abc:Bhz:xx:00"}, select_codes("abc", "Bhz", "xx", "00")},
      {{"SELECT=ABC:BHZ:XX"}, select_codes("ABC", "BHZ", "XX", "")},
      {{"SELECT=ABC::XX:00"}, select_codes("ABC", "XX", "00", "")},
      {{"SELECT=:ABC:BHZ:XX:00"}, select_codes("ABC", "BHZ", "XX", "00")},
      {{"SELECT=::A:::B:C:D::"}, select_codes("A", "B", "C", "D")},
      {{"SELECT=A:B:C:D:E"}, select_codes("A", "B", "C", "D")},
      {{"SELECT=A:B:C:D", "SELECT=X:Y"}, select_codes("X", "Y", "C", "D")},
      {{"SELECT=A:B:C:D", "SELECT=:::"}, select_codes("A", "B", "C", "D")},
      {{"SELECT= A :B"}, select_codes(" A ", "B", "", "")},
      {{"SELECT"}, select_codes("", "", "", "")},
      // Overlong codes are kept whole; is_complete() refuses them.
      {{"SELECT=ABCDEFGH:B:C:D"}, select_codes("ABCDEFGH", "B", "C", "D")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    const RunArguments out = parse(c.args);
    EXPECT_EQ(out.channel.sta, c.expected.sta);
    EXPECT_EQ(out.channel.chan, c.expected.chan);
    EXPECT_EQ(out.channel.network, c.expected.network);
    EXPECT_EQ(out.channel.location, c.expected.location);
  }
}

TEST(ParseArgumentsTest, CompleteSelectorNeedsFourCodesOfOneToSevenBytes) {
  struct Case {
    ChannelCodes channel;
    bool complete;
  };
  const Case cases[] = {
      {select_codes("ABC", "BHZ", "XX", "00"), true},
      {select_codes("ABCDEFG", "B", "C", "D"), true},
      {select_codes("ABCDEFGH", "B", "C", "D"), false},
      {select_codes("A", "B", "C", "DDDDDDDD"), false},
      {select_codes("A", "B", "C", ""), false},
      {select_codes("", "B", "C", "D"), false},
      // Seven letters but eight bytes in UTF-8: too long.
      {select_codes("A", "\xD0\x96" "BCDEF", "C", "D"), true},
      {select_codes("A", "\xD0\x96" "BCDEFG", "C", "D"), false},
      // "/" and control bytes would reach the file name and the header.
      {select_codes("..", "B", "C", "D"), true},
      {select_codes("../x", "B", "C", "D"), false},
      {select_codes("A", "B", "C", "/"), false},
      {select_codes("A", "B\nZ", "C", "D"), false},
      {select_codes("A", "B", "\x1f", "D"), false},
      {select_codes("A", "B", "C", "D\x7f"), false},
      {select_codes("A B", "~", "C", "\x80"), true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(is_complete(c.channel), c.complete)
        << c.channel.sta << ':' << c.channel.chan << ':' << c.channel.network
        << ':' << c.channel.location;
  }
}

TEST(ParseArgumentsTest, ChoosesTheResponseFieldBySwitches) {
  struct Case {
    std::vector<std::string> args;
    ResponseField expected;
  };
  constexpr ResponseField kNone = ResponseField::kByContent;
  constexpr ResponseField kFap = ResponseField::kFap;
  constexpr ResponseField kSac = ResponseField::kSac;
  const Case cases[] = {
      {{}, kNone},
      {{"-FAP"}, kFap},
      {{"-fap"}, kFap},
      {{"/FAP"}, kFap},
      {{"xFAP"}, kFap},
      {{"-FAPS"}, kFap},
      {{"FAP"}, kNone},
      {{"-FA"}, kNone},
      {{"/SAC"}, kSac},
      {{"-FAP", "-FAP"}, kFap},
      {{"-FAP", "-SAC"}, kNone},
      {{"-SAC", "-FAP"}, kNone},
      {{"-FAP", "-SAC", "-FAP"}, kFap},
      {{"-SAC", "/fap", "-sac"}, kSac},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parse(c.args).response_field, c.expected)
        << testing::PrintToString(c.args);
  }
}

TEST(ParseArgumentsTest, ReadsDateAndOutputType) {
  struct Case {
    std::vector<std::string> args;
    const char* date;
    const char* type;
  };
  const std::string long_value(40, '7');
  const Case cases[] = {
      {{}, "", "GSE2"},
      {{"DATE=2005-07-15"}, "2005-07-15", "GSE2"},
      {{"date=2005-07-15 12:30"}, "2005-07-15 12:30", "GSE2"},
      {{"DATE=2005-03-07", "12:30"}, "2005-03-07", "GSE2"},
      {{"DATE=2001", "DATE=2005"}, "2005", "GSE2"},
      {{"DATE=2001", "DATE="}, "", "GSE2"},
      {{"DATE=" + long_value}, "7777777777777777777777777777777", "GSE2"},
      {{"TYPE=QEV", "TYPE_OUT=GSE2"}, "", "GSE2"},
      {{"TYPE_OUT=GSE2", "TYPE=QEV"}, "", "QEV"},
      {{"type_out=1,0,-9"}, "", "1,0,-9"},
      {{"TYPE="}, "", ""},
      {{"TYPE_OUT=" + long_value}, "", "7777777777777777777777777777777"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    const RunArguments out = parse(c.args);
    EXPECT_EQ(out.date_text, c.date);
    EXPECT_EQ(out.output_type, c.type);
  }
}

TEST(ParseArgumentsTest, PassesOverArgumentsOfOtherReaders) {
  const RunArguments out =
      parse({"", "x", "ODBC=-FAP", "OUT_DIR=C:\\X", "-use_tend", "helpme",
             "-help=1", "DATA=E:\\D", "PASSWORD=SACK", "SELECT=A:B:C:D"});
  EXPECT_EQ(out.response_field, ResponseField::kByContent);
  EXPECT_EQ(out.date_text, "");
  EXPECT_EQ(out.output_type, "GSE2");
  EXPECT_TRUE(is_complete(out.channel));
}

TEST(ParseArgumentsTest, HelpWordStopsTheScan) {
  for (const char* word : kHelpWords) {
    std::string upper = word;
    for (char& c : upper) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    for (const std::string& w : {std::string(word), upper}) {
      RunArguments out;
      EXPECT_EQ(parse_arguments({"kalvynex", "SELECT=A:B:C:D", w, "DATE=2005"},
                                &out),
                ParseOutcome::kShowUsage)
          << w;
      EXPECT_EQ(out.date_text, "") << "arguments after " << w << " were read";
    }
  }
  RunArguments out;
  EXPECT_EQ(parse_arguments({"kalvynex", "/H"}, &out), ParseOutcome::kShowUsage);
  // Argument 0 is never a parameter, not even a help word.
  EXPECT_EQ(parse_arguments({"help"}, &out), ParseOutcome::kRun);
  EXPECT_EQ(parse_arguments({}, &out), ParseOutcome::kRun);
}

}  // namespace
}  // namespace kalvynex
