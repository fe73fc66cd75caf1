// The command-line words of a run: the channel, the date, the stored field to
// export and the output type, gathered by parse_arguments.
//
// Every parameter is one argument, NAME=value or a switch; an argument that
// no reader knows is passed over without a message. The settings parameters
// (ODBC=, USER=, PASSWORD=, DATA=, -use_tend, OUT_DIR=) are read separately by
// the settings classes from the same argument list.
#ifndef KALVYNEX_CONFIG_RUN_ARGUMENTS_H_
#define KALVYNEX_CONFIG_RUN_ARGUMENTS_H_

#include <cstddef>
#include <string>
#include <vector>

#include "core/channel_codes.h"

namespace kalvynex {

// The whole argument list of the process, argument 0 (the program's path)
// included. Readers look at arguments 1 to the last.
using ArgumentList = std::vector<std::string>;

// Longest accepted channel code, in bytes.
constexpr std::size_t kMaxCodeLength = 7;
// DATE= and TYPE=/TYPE_OUT= values are cut to this many bytes.
constexpr std::size_t kMaxValueLength = 31;

// True when every code holds 1 to kMaxCodeLength bytes, none of them "/" or
// a control byte (below 0x20, or 0x7F). A longer code is refused rather than
// cut: a cut code could name another station.
bool is_complete(const ChannelCodes& codes);

// Which stored response the command line asks for.
enum class ResponseField {
  kByContent,  // no switch: the SAC text when there is one, else the FAP text
  kSac,        // -SAC
  kFap,        // -FAP
};

struct RunArguments {
  ChannelCodes channel;              // exactly as typed after SELECT=
  std::string date_text;             // value of the last DATE=, at most 31 bytes
  ResponseField response_field = ResponseField::kByContent;
  std::string output_type = "GSE2";  // value of TYPE= or TYPE_OUT=
};

enum class ParseOutcome {
  kRun,        // go on with the run
  kShowUsage,  // a help word was found: show the usage screen, end with 0
};

// The ten help words, in the order in which they are tested.
extern const char* const kHelpWords[10];

// Reads SELECT=, DATE=, TYPE=, TYPE_OUT=, the FAP/SAC switches and the help
// words from `args` into `*out` (which is reset first). Never fails; the
// caller checks is_complete(out->channel). Arguments after a help word are
// not looked at.
ParseOutcome parse_arguments(const ArgumentList& args, RunArguments* out);

}  // namespace kalvynex

#endif  // KALVYNEX_CONFIG_RUN_ARGUMENTS_H_
