// The whole text of a written ".sac" or ".fap" file, from the chosen record
// and the output request resolved once from the command line.
#ifndef KALVYNEX_RESPONSE_OUTPUT_TEXT_H_
#define KALVYNEX_RESPONSE_OUTPUT_TEXT_H_

#include <string>

#include "core/calibration_record.h"
#include "response/response_type.h"

namespace kalvynex {

enum class OutputKind {
  Sac,  // the pole-zero description, ".sac"
  Fap,  // the frequency/amplitude/phase triplets, ".fap"
};

// What to write: the kind of file and the form that TYPE_OUT asks for.
struct OutputRequest {
  OutputKind kind = OutputKind::Sac;
  ResponseType fap_type;  // the form of the triplets of a ".fap" file
  int sac_kind = 1;       // the raise of the ZEROS count of a ".sac" file
};

// Resolves the TYPE_OUT text once for the kind of file.
OutputRequest resolve_output_request(OutputKind kind, const std::string& type_out);

// The header and body of the output, with LF line ends. Kalvynex's own
// convention: a ".sac" file's ZEROS counts are raised by the SAC kind, a
// ".fap" file's amplitudes are converted into the requested form.
std::string build_output_text(const CalibrationRecord& record, const OutputRequest& request);

// The same text; `not_finite` receives why it holds a number that is not
// finite ("SAC text line 3: a pole that is not finite", "FAP text line 2: a
// number that is not finite"), or is emptied when it holds none. A ".sac"
// text is read by parse_pole_zero's rules for this; a ".fap" text counts
// the numbers read and the converted amplitudes.
std::string build_output_text(const CalibrationRecord& record, const OutputRequest& request,
                              std::string* not_finite);

// The bytes of `text` as a text-mode file stores them: every LF becomes
// CR LF; nothing else changes.
std::string to_crlf(const std::string& text);

// ".sac" or ".fap".
const char* output_extension(OutputKind kind);

// <dir>/<STA>_<CHAN>_<NETWORK>_<LOCATION>_<YYYYMMDD>.<ext>, the date being
// the record's start. The location part and its "_" are left out when the
// location is exactly "??". No "/" is doubled when `out_dir` ends in one, and
// an empty `out_dir` means the current directory (no leading "/").
std::string output_file_name(const std::string& out_dir, const ChannelCodes& codes,
                             const Timestamp& start, OutputKind kind);

}  // namespace kalvynex

#endif  // KALVYNEX_RESPONSE_OUTPUT_TEXT_H_
