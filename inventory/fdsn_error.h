// The plain-text error document of the FDSN web services, which every
// failed request of the station service carries: the status, a short
// explanation, where the usage is described, the request and when it came,
// and the service's version.
#ifndef KALVYNEX_INVENTORY_FDSN_ERROR_H_
#define KALVYNEX_INVENTORY_FDSN_ERROR_H_

#include <cstddef>
#include <ctime>
#include <string>

namespace kalvynex {

// The version the station service reports at .../version and in errors.
extern const char kStationServiceVersion[];

// The longest explanation and request an error document repeats, in bytes
// (before escaping); what is longer is cut and ends in "...".
constexpr std::size_t kMaxErrorExplanation = 300;
constexpr std::size_t kMaxErrorRequest = 1000;

// The reason phrase of an HTTP status ("Bad Request"), "Error" for one
// this service does not send.
const char* http_reason(int status);

// `text` fit to stand on one line of a document: at most `limit` bytes of
// it (cut at a character's boundary, then "..."), with every control byte,
// C1 character, invalid UTF-8 byte and backslash escaped as terminal_text
// escapes them.
std::string one_line_text(const std::string& text, std::size_t limit);

struct FdsnError {
  int status = 400;
  std::string explanation;  // one line, e.g. "Unknown parameter: bogus"
  std::string base_url;     // "Usage details are available from ..."
  std::string request;      // the request's URL as received
  std::time_t submitted = 0;
};

// The document:
//
//   Error 400: Bad Request
//   <blank>
//   <explanation>
//   <blank>
//   Usage details are available from <base_url>
//   <blank>
//   Request:
//   <request>
//   <blank>
//   Request Submitted:
//   <YYYY-MM-DDThh:mm:ssZ>
//   <blank>
//   Service version:
//   <kStationServiceVersion>
//
// each line ending in "\n"; the explanation and the request pass through
// one_line_text.
std::string fdsn_error_document(const FdsnError& error);

}  // namespace kalvynex

#endif  // KALVYNEX_INVENTORY_FDSN_ERROR_H_
