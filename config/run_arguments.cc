#include "config/run_arguments.h"

#include "core/text_rules.h"

namespace kalvynex {
namespace {

constexpr char kSelectPrefix[] = "SELECT=";
constexpr char kDatePrefix[] = "DATE=";
constexpr char kTypePrefix[] = "TYPE=";
constexpr char kTypeOutPrefix[] = "TYPE_OUT=";

// The rest of `arg` after a prefix of `prefix_length` bytes, cut to `limit`
// bytes.
std::string value_after(const std::string& arg, std::size_t prefix_length,
                        std::size_t limit) {
  return arg.substr(prefix_length, limit);
}

bool is_help_word(const std::string& arg) {
  for (const char* word : kHelpWords) {
    if (equals_ignore_case(arg, word)) return true;
  }
  return false;
}

// True when bytes 2 to 4 of `arg` are `name` (three letters, case ignored);
// the first byte may be anything and more bytes may follow.
bool is_switch(const std::string& arg, const char* name) {
  return arg.size() >= 4 && equals_ignore_case(arg.substr(1, 3), name);
}

// Cuts the value of SELECT= at colons. A run of colons is one separator and
// colons at either end give no piece, so no piece is empty. Pieces 1 to 4
// set sta, chan, network and location; later ones are ignored, and a field
// without a piece keeps its earlier value.
void split_selector(const std::string& value, ChannelCodes* channel) {
  std::string* const fields[] = {&channel->sta, &channel->chan,
                                 &channel->network, &channel->location};
  std::size_t next_field = 0;
  std::size_t pos = 0;
  while (next_field < 4) {
    const std::size_t start = value.find_first_not_of(':', pos);
    if (start == std::string::npos) break;
    std::size_t end = value.find(':', start);
    if (end == std::string::npos) end = value.size();
    *fields[next_field++] = value.substr(start, end - start);
    pos = end;
  }
}

// The FAP and SAC switches: a switch cancels the other one's choice,
// otherwise it chooses its own field.
void toggle_response_field(ResponseField own, ResponseField other, ResponseField* field) {
  *field = *field == other ? ResponseField::kByContent : own;
}

// A code becomes part of the output file's name and of its header lines:
// a "/" would lead the file out of the output directory, and a control byte
// (a line feed, say) would split a line of the report or of the header.
bool is_safe_code_byte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return c != '/' && byte >= 0x20 && byte != 0x7F;
}

bool code_fits(const std::string& code) {
  if (code.empty() || code.size() > kMaxCodeLength) return false;
  for (const char c : code) {
    if (!is_safe_code_byte(c)) return false;
  }
  return true;
}

}  // namespace

const char* const kHelpWords[10] = {"--help", "-help", "/help", "help", "--h",
                                    "-h",     "/h",    "--?",   "-?",   "/?"};

bool is_complete(const ChannelCodes& codes) {
  return code_fits(codes.sta) && code_fits(codes.chan) && code_fits(codes.network) &&
         code_fits(codes.location);
}

ParseOutcome parse_arguments(const ArgumentList& args, RunArguments* out) {
  *out = RunArguments{};
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (starts_with_ignore_case(arg, kSelectPrefix)) {
      // Codes are kept whole here; is_complete() refuses the overlong ones.
      split_selector(arg.substr(sizeof kSelectPrefix - 1), &out->channel);
    } else if (is_help_word(arg)) {
      return ParseOutcome::kShowUsage;
    } else if (starts_with_ignore_case(arg, kDatePrefix)) {
      out->date_text =
          value_after(arg, sizeof kDatePrefix - 1, kMaxValueLength);
    } else if (is_switch(arg, "FAP")) {
      toggle_response_field(ResponseField::kFap, ResponseField::kSac, &out->response_field);
    } else if (is_switch(arg, "SAC")) {
      toggle_response_field(ResponseField::kSac, ResponseField::kFap, &out->response_field);
    } else if (starts_with_ignore_case(arg, kTypePrefix)) {
      out->output_type =
          value_after(arg, sizeof kTypePrefix - 1, kMaxValueLength);
    } else if (starts_with_ignore_case(arg, kTypeOutPrefix)) {
      out->output_type =
          value_after(arg, sizeof kTypeOutPrefix - 1, kMaxValueLength);
    }
    // Any other argument belongs to another reader or to none: passed over.
  }
  return ParseOutcome::kRun;
}

}  // namespace kalvynex
