// The writing stage of a run: the name of the one output file, its text, and
// a write that either puts the whole file in place or leaves the old one.
#ifndef KALVYNEX_APP_OUTPUT_FILE_H_
#define KALVYNEX_APP_OUTPUT_FILE_H_

#include <cstddef>
#include <string>

#include "config/run_arguments.h"
#include "db/calibration_record.h"

namespace kalvynex {

enum class OutputKind {
  Sac,  // the pole-zero description, ".sac"
  Fap,  // the frequency/amplitude/phase triplets, ".fap"
};

// Longest output file name accepted, in bytes.
constexpr std::size_t kMaxFileNameLength = 1023;

// <dir>/<STA>_<CHAN>_<NETWORK>_<LOCATION>_<YYYYMMDD>.<ext>, the date being
// the record's start. The location part and its "_" are left out when the
// location is exactly "??". No "/" is doubled when `out_dir` ends in one, and
// an empty `out_dir` means the current directory (no leading "/").
std::string output_file_name(const std::string& out_dir, const ChannelSelector& channel,
                             const Timestamp& start, OutputKind kind);

// The header and body of the output, with LF line ends.
std::string build_output_text(OutputKind kind, const CalibrationRecord& record,
                              const std::string& output_type);

// The bytes of `text` as a text-mode file stores them: every LF becomes
// CR LF; nothing else changes.
std::string to_crlf(const std::string& text);

// Writes `contents` into a new temporary file beside `path` and renames it
// over `path` once complete and closed. On failure the temporary file is
// removed, an existing file at `path` is left as it was, and false returned.
// An existing file is replaced only when this process may write it, and the
// new file keeps its permission bits; a new file is read and write as the
// umask allows. The directory is never created.
bool replace_file(const std::string& path, const std::string& contents);

// The whole writing stage after the name is known: builds the output text,
// converts its line ends and puts the file in place. False on any failure,
// a name longer than kMaxFileNameLength included.
bool write_output_file(const std::string& path, OutputKind kind,
                       const CalibrationRecord& record, const std::string& output_type);

}  // namespace kalvynex

#endif  // KALVYNEX_APP_OUTPUT_FILE_H_
