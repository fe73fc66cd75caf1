// The limits of the command line read before any connection: the number of
// code patterns and the order of --start and --end, each pinned on both
// sides.
#include "inventory/options.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace kalvynex {
namespace {

// "P0,P1,...": `count` station patterns.
std::string patterns(std::size_t count) {
  std::string list;
  for (std::size_t i = 0; i < count; ++i) list += (i > 0 ? ",P" : "P") + std::to_string(i);
  return list;
}

TEST(InventoryOptionsTest, SelectionLimits) {
  const std::string too_many =
      "501 code patterns in the selection; at most 500 are allowed in --network, --station, "
      "--location and --channel together (use the wildcards * and ?)";
  const struct {
    std::vector<std::string> args;
    std::string error;  // empty: accepted
  } rows[] = {
      // The limit counts all four lists together, and each -s adds to its list.
      {{"-n", "XX", "-s", patterns(497), "-l", "--", "-c", "BHZ", "list"}, ""},
      {{"-n", "XX", "-s", patterns(497), "-l", "--,00", "-c", "BHZ", "list"}, too_many},
      {{"-s", patterns(250), "-s", patterns(250), "list"}, ""},
      {{"-s", patterns(250), "-s", patterns(251), "list"}, too_many},
      {{"-c", patterns(40000), "list"},
       "40000 code patterns in the selection; at most 500 are allowed in --network, "
       "--station, --location and --channel together (use the wildcards * and ?)"},
      // --start may equal --end, not follow it.
      {{"--start", "2020-01-01", "--end", "2020-01-01", "list"}, ""},
      {{"--start", "2020-01-01T00:00:00", "--end", "2020-01-01 00:00:01", "list"}, ""},
      {{"--start", "2020-01-01T00:00:01", "--end", "2020-01-01", "list"},
       "--start '2020-01-01T00:00:01' is after --end '2020-01-01'"},
      {{"--start", "2020-01-01T00:00:00.5", "--end", "2020-01-01T00:00:00.5Z", "list"}, ""},
      {{"--start", "2020-01-01T00:00:00.5", "--end", "2020-01-01T00:00:00.499999", "list"},
       "--start '2020-01-01T00:00:00.5' is after --end '2020-01-01T00:00:00.499999'"},
      {{"--end", "2019-12-31 23:59:59", "--start", "2020-01-01", "list"},
       "--start '2020-01-01' is after --end '2019-12-31 23:59:59'"},
      // --level: four names, export -f stationxml only.
      {{"-f", "stationxml", "--level", "network", "export"}, ""},
      {{"-f", "stationxml", "--level", "Station", "export"},
       "export: unknown level 'Station' (network, station, channel or response)"},
      {{"-f", "sacpz", "--level", "response", "export"},
       "export: --level applies to the stationxml format only"},
      {{"--level", "channel", "list"}, "--level belongs to export --format stationxml"},
  };
  for (const auto& row : rows) {
    std::vector<std::string> words = {"kalvynex-inventory"};
    words.insert(words.end(), row.args.begin(), row.args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    InventoryOptions options;
    std::string error;
    const bool read = parse_inventory_options(static_cast<int>(words.size()), argv.data(),
                                              &options, &error);
    EXPECT_EQ(read, row.error.empty()) << row.args[0] << " " << row.args[1].substr(0, 30);
    EXPECT_EQ(error, row.error);
  }
}

}  // namespace
}  // namespace kalvynex
