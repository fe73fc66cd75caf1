#include "inventory/list_writer.h"

#include "core/json_text.h"
#include "core/string_printf.h"
#include "core/terminal_text.h"
#include "core/timestamp.h"

namespace kalvynex {

std::string csv_field(const std::string& value) {
  if (value.find_first_of(",\"\r\n") == std::string::npos) return value;
  std::string quoted = "\"";
  for (const char c : value) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string ListWriter::row(const CatalogPeriod& p) {
  const bool first = !begun_;
  begun_ = true;
  return first ? header() + line(p, true) : line(p, false);
}

std::string ListWriter::end() const {
  if (format_ != ListFormat::kJson) return std::string();
  return begun_ ? "\n]\n" : "[]\n";
}

std::string ListWriter::header() const {
  switch (format_) {
    case ListFormat::kText:
      return string_printf("%-7s %-7s %-8s %-7s %-19s %-19s %-3s %s\n", "NETWORK", "STATION",
                           "LOCATION", "CHANNEL", "START", "END", "SAC", "FAP");
    case ListFormat::kCsv:
      return "NETWORK,STATION,LOCATION,CHANNEL,START,END,SAC,FAP\r\n";
    case ListFormat::kJson:
      return std::string();
  }
  return std::string();
}

std::string ListWriter::line(const CatalogPeriod& p, bool first) const {
  const std::string start = timestamp_iso_text(p.startdate);
  const bool open = is_open_end(p.enddate);
  const std::string end = open ? std::string() : timestamp_iso_text(p.enddate);
  const char* sac = p.has_sac ? "yes" : "no";
  const char* fap = p.has_fap ? "yes" : "no";
  switch (format_) {
    case ListFormat::kText:
      return string_printf("%-7s %-7s %-8s %-7s %-19s %-19s %-3s %s\n",
                           terminal_text(p.codes.network).c_str(),
                           terminal_text(p.codes.sta).c_str(),
                           terminal_text(p.codes.location).c_str(),
                           terminal_text(p.codes.chan).c_str(), start.c_str(), end.c_str(), sac,
                           fap);
    case ListFormat::kCsv:
      return csv_field(terminal_text(p.codes.network)) + "," +
             csv_field(terminal_text(p.codes.sta)) + "," +
             csv_field(terminal_text(p.codes.location)) + "," +
             csv_field(terminal_text(p.codes.chan)) + "," + start + "," + end + "," + sac + "," +
             fap + "\r\n";
    case ListFormat::kJson:
      return std::string(first ? "[\n" : ",\n") + "  {\"network\": " +
             json_string(p.codes.network) + ", \"station\": " + json_string(p.codes.sta) +
             ", \"location\": " + json_string(p.codes.location) +
             ", \"channel\": " + json_string(p.codes.chan) + ", \"start\": \"" + start +
             "\", \"end\": " + (open ? std::string("null") : "\"" + end + "\"") +
             ", \"sac\": " + (p.has_sac ? "true" : "false") +
             ", \"fap\": " + (p.has_fap ? "true" : "false") + "}";
  }
  return std::string();
}

}  // namespace kalvynex
