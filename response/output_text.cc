#include "response/output_text.h"

#include <vector>

#include "core/string_printf.h"
#include "response/fap_header.h"
#include "response/fap_text.h"
#include "response/pole_zero.h"
#include "response/sac_text.h"

namespace kalvynex {

namespace {

std::string sac_output(const CalibrationRecord& record, int kind) {
  SacHeaderFields header;
  header.codes = record.codes;
  header.start = record.startdate;
  header.end = record.enddate;
  header.kind = kind;
  return build_sac_header(header) + adjust_sac_zeros(record.sac, kind);
}

std::string fap_output(const CalibrationRecord& record, const ResponseType& type,
                       std::string* not_finite) {
  const NormalizedFap normalized = normalize_fap_text(record.fap);
  const ConvertedTriplets triplets = convert_fap_triplets(normalized.text, type);
  if (not_finite != nullptr && triplets.first_not_finite > 0) {
    *not_finite =
        string_printf("FAP text line %d: a number that is not finite as read or converted",
                      triplets.first_not_finite);
  }

  FapHeaderFields header;
  header.codes = record.codes;
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

}  // namespace

OutputRequest resolve_output_request(OutputKind kind, const std::string& type_out) {
  OutputRequest request;
  request.kind = kind;
  request.fap_type = resolve_response_type(type_out);
  request.sac_kind = resolve_sac_kind(type_out);
  return request;
}

std::string build_output_text(const CalibrationRecord& record, const OutputRequest& request) {
  return request.kind == OutputKind::Sac ? sac_output(record, request.sac_kind)
                                         : fap_output(record, request.fap_type, nullptr);
}

std::string build_output_text(const CalibrationRecord& record, const OutputRequest& request,
                              std::string* not_finite) {
  not_finite->clear();
  if (request.kind == OutputKind::Fap) return fap_output(record, request.fap_type, not_finite);
  std::vector<PoleZeroProblem> problems;
  parse_pole_zero(record.sac, nullptr, &problems);
  if (const PoleZeroProblem* p = first_not_finite(problems)) {
    *not_finite = string_printf("SAC text line %d: ", p->line) + p->reason;
  }
  return sac_output(record, request.sac_kind);
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

const char* output_extension(OutputKind kind) {
  return kind == OutputKind::Sac ? ".sac" : ".fap";
}

std::string output_file_name(const std::string& out_dir, const ChannelCodes& codes,
                             const Timestamp& start, OutputKind kind) {
  std::string name = out_dir;
  if (!name.empty() && name.back() != '/') name += '/';
  name += codes.sta + "_" + codes.chan + "_" + codes.network;
  if (codes.location != "??") name += "_" + codes.location;
  name += string_printf("_%04d%02d%02d", start.year, start.month, start.day);
  name += output_extension(kind);
  return name;
}

}  // namespace kalvynex
