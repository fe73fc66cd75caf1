#include "inventory/fdsn_error.h"

#include "core/terminal_text.h"
#include "core/utf8_text.h"

namespace kalvynex {

const char kStationServiceVersion[] = "1.1.0";

const char* http_reason(int status) {
  switch (status) {
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 413: return "Payload Too Large";
    case 414: return "URI Too Long";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Error";
  }
}

std::string one_line_text(const std::string& text, std::size_t limit) {
  if (text.size() <= limit) return terminal_text(text);
  // Cut before the character that would cross the limit; an invalid byte
  // counts as a character of its own.
  std::size_t end = 0;
  while (end < text.size()) {
    const std::size_t length = utf8_sequence_length(text, end);
    const std::size_t next = end + (length == 0 ? 1 : length);
    if (next > limit) break;
    end = next;
  }
  return terminal_text(text.substr(0, end)) + "...";
}

std::string fdsn_error_document(const FdsnError& error) {
  char submitted[32] = "";
  std::tm parts{};
  if (gmtime_r(&error.submitted, &parts) != nullptr) {
    std::strftime(submitted, sizeof submitted, "%Y-%m-%dT%H:%M:%SZ", &parts);
  }
  std::string out = "Error " + std::to_string(error.status) + ": " + http_reason(error.status);
  out += "\n\n" + one_line_text(error.explanation, kMaxErrorExplanation);
  out += "\n\nUsage details are available from " + one_line_text(error.base_url, kMaxErrorRequest);
  out += "\n\nRequest:\n" + one_line_text(error.request, kMaxErrorRequest);
  out += "\n\nRequest Submitted:\n";
  out += submitted;
  out += "\n\nService version:\n";
  out += kStationServiceVersion;
  out += "\n";
  return out;
}

}  // namespace kalvynex
