#include "app/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "response/fap_header.h"
#include "response/fap_text.h"
#include "response/number_format.h"
#include "response/response_type.h"
#include "response/sac_text.h"

namespace kalvynex {

namespace {

std::string sac_output(const CalibrationRecord& record, const std::string& output_type) {
  SacHeaderFields header;
  header.sta = record.sta;
  header.chan = record.chan;
  header.network = record.network;
  header.location = record.location;
  header.start = record.startdate;
  header.end = record.enddate;
  header.kind = resolve_sac_kind(output_type);
  return build_sac_header(header) + adjust_sac_zeros(record.sac, header.kind);
}

std::string fap_output(const CalibrationRecord& record, const std::string& output_type) {
  const NormalizedFap normalized = normalize_fap_text(record.fap);
  const ResponseType type = resolve_response_type(output_type);
  const ConvertedTriplets triplets = convert_fap_triplets(normalized.text, type);

  FapHeaderFields header;
  header.sta = record.sta;
  header.chan = record.chan;
  header.location = record.location;
  header.network = record.network;
  header.start = record.startdate;
  header.end = record.enddate;
  // The count states the lines that follow, so that a reader trusting it
  // reads exactly the triplets written.
  header.triplet_count = triplets.line_count;
  header.type = type;
  header.calib = -1.0;
  header.calper = -1.0;
  return build_fap_header(header) + triplets.text;
}

bool write_all(int fd, const std::string& contents) {
  const char* data = contents.data();
  std::size_t left = contents.size();
  while (left > 0) {
    const ssize_t written = ::write(fd, data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  return true;
}

// Creates a new file beside `path` that no other process has: a hidden name
// with this process's id and a counter, created exclusively. Permissions are
// read and write as the umask allows. Returns -1 on failure.
int create_temporary(const std::string& path, std::string* temporary) {
  const std::size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::string prefix = dir + "." + base;
  for (int attempt = 0; attempt < 100; ++attempt) {
    *temporary = prefix + string_printf(".%ld.%d.tmp", static_cast<long>(::getpid()), attempt);
    const int fd = ::open(temporary->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return fd;
    if (errno != EEXIST && errno != EINTR) return -1;
  }
  return -1;
}

}  // namespace

std::string output_file_name(const std::string& out_dir, const ChannelSelector& channel,
                             const Timestamp& start, OutputKind kind) {
  std::string name = out_dir;
  if (!name.empty() && name.back() != '/') name += '/';
  name += channel.sta + "_" + channel.chan + "_" + channel.network;
  if (channel.location != "??") name += "_" + channel.location;
  name += string_printf("_%04d%02d%02d", start.year, start.month, start.day);
  name += kind == OutputKind::Sac ? ".sac" : ".fap";
  return name;
}

std::string build_output_text(OutputKind kind, const CalibrationRecord& record,
                              const std::string& output_type) {
  return kind == OutputKind::Sac ? sac_output(record, output_type)
                                 : fap_output(record, output_type);
}

std::string to_crlf(const std::string& text) {
  std::size_t line_feeds = 0;
  for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1)) {
    ++line_feeds;
  }
  std::string result;
  result.reserve(text.size() + line_feeds);
  // Copies the text line by line, each line as it is and then CR LF in place
  // of its LF.
  std::size_t start = 0;
  for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', start)) {
    result.append(text, start, at - start);
    result += "\r\n";
    start = at + 1;
  }
  result.append(text, start, text.size() - start);
  return result;
}

bool replace_file(const std::string& path, const std::string& contents) {
  // A file already at the name is written over only when this process may
  // write it, and the new file takes over its permission bits: a run must
  // neither replace a file that was made read-only nor open up one that was
  // kept private.
  struct stat existing {};
  const bool replaces = ::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
  if (replaces && ::access(path.c_str(), W_OK) != 0) return false;

  std::string temporary;
  const int fd = create_temporary(path, &temporary);
  if (fd < 0) return false;
  bool written = true;
  // Only the read, write and execute bits: a file made here never becomes
  // set-user-id or set-group-id by inheritance.
  if (replaces) written = ::fchmod(fd, existing.st_mode & 0777) == 0;
  written = written && write_all(fd, contents);
  // On disk before the rename, so that a crash never leaves an empty file
  // under the name.
  written = written && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (written && closed && ::rename(temporary.c_str(), path.c_str()) == 0) return true;
  ::unlink(temporary.c_str());
  return false;
}

bool write_output_file(const std::string& path, OutputKind kind,
                       const CalibrationRecord& record, const std::string& output_type) {
  if (path.size() > kMaxFileNameLength) return false;
  // Whatever goes wrong while the text is built or written (memory running
  // out, a text growing past what a string holds) is a failed write.
  try {
    return replace_file(path, to_crlf(build_output_text(kind, record, output_type)));
  } catch (...) {
    return false;
  }
}

}  // namespace kalvynex
