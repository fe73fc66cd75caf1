// The writing stage of a run: the output text put in place as one file.
#ifndef KALVYNEX_APP_OUTPUT_FILE_H_
#define KALVYNEX_APP_OUTPUT_FILE_H_

#include <cstddef>
#include <string>

#include "core/calibration_record.h"
#include "response/output_text.h"

namespace kalvynex {

// Longest output file name accepted, in bytes.
constexpr std::size_t kMaxFileNameLength = 1023;

// Builds the output text, converts its line ends to CR LF and puts the file
// in place whole, or leaves an earlier file as it was. False on any failure:
// a name longer than kMaxFileNameLength, memory running out while the text
// is built, or a failed file operation.
bool write_output_file(const std::string& path, const CalibrationRecord& record,
                       const OutputRequest& request);
// The same, for a record that is no longer needed: its texts are freed as
// soon as the output text is built.
bool write_output_file(const std::string& path, CalibrationRecord&& record,
                       const OutputRequest& request);

}  // namespace kalvynex

#endif  // KALVYNEX_APP_OUTPUT_FILE_H_
