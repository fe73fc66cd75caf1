#include "app/output_file.h"

#include <new>
#include <stdexcept>

#include "core/file_replace.h"

namespace kalvynex {

bool write_output_file(const std::string& path, const CalibrationRecord& record,
                       const OutputRequest& request) {
  if (path.size() > kMaxFileNameLength) return false;
  // Memory running out, or a text growing past what a string holds, while
  // the text is built is a failed write like any other.
  try {
    return replace_file(path, to_crlf(build_output_text(record, request))).ok();
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
}

}  // namespace kalvynex
