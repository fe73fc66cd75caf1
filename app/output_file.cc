#include "app/output_file.h"

#include <new>
#include <stdexcept>

#include "core/file_replace.h"

namespace kalvynex {

namespace {

// Builds the text, lets `release` drop what the caller no longer needs, and
// writes the CR LF form. Memory running out, or a text growing past what a
// string holds, while the text is built is a failed write like any other.
template <typename Release>
bool write_text(const std::string& path, const CalibrationRecord& record,
                const OutputRequest& request, Release release) {
  if (path.size() > kMaxFileNameLength) return false;
  try {
    std::string text = build_output_text(record, request);
    release();
    const std::string crlf = to_crlf(text);
    std::string().swap(text);
    return replace_file(path, crlf).ok();
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
}

}  // namespace

bool write_output_file(const std::string& path, const CalibrationRecord& record,
                       const OutputRequest& request) {
  return write_text(path, record, request, [] {});
}

bool write_output_file(const std::string& path, CalibrationRecord&& record,
                       const OutputRequest& request) {
  // The stored texts go before the CR LF copy is made, so that no more than
  // two copies of a long text are held at once.
  return write_text(path, record, request, [&record] {
    std::string().swap(record.sac);
    std::string().swap(record.fap);
  });
}

}  // namespace kalvynex
