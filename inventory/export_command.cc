// export: chooses where the chosen format goes (standard output, a file or
// a directory) and hands over to that format's export.
#include <sys/stat.h>

#include <cstdlib>

#include "inventory/commands.h"

namespace kalvynex {

namespace {

bool is_directory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

CommandResult output_error(const CommandContext& context, const std::string& text) {
  context.reporter.error(text);
  CommandResult result;
  result.outcome = Outcome::failed(InventoryExit::kOutput);
  return result;
}

}  // namespace

std::time_t created_epoch(const std::optional<std::string>& source_date_epoch) {
  std::time_t t = std::time(nullptr);
  if (source_date_epoch && !source_date_epoch->empty()) {
    char* end = nullptr;
    const long long value = std::strtoll(source_date_epoch->c_str(), &end, 10);
    if (*end == '\0' && value >= 0) t = static_cast<std::time_t>(value);
  }
  return t;
}

std::string export_output(const InventoryOptions& options, const std::string& output_directory) {
  const bool one_stream = options.export_format == ExportFormat::kSacPz ||
                          options.export_format == ExportFormat::kStationXml;
  return options.output ? *options.output : one_stream ? std::string("-") : output_directory;
}

bool writes_standard_output(const InventoryOptions& options, const std::string& output_directory) {
  switch (options.command) {
    case InventoryCommand::kList:
    case InventoryCommand::kCheck:
      return true;
    case InventoryCommand::kServe:
      return false;
    case InventoryCommand::kExport:
    case InventoryCommand::kNone:
      break;
  }
  return export_output(options, output_directory) == "-";
}

CommandResult export_periods(const CommandContext& context) {
  const InventoryOptions& options = context.options;
  const std::string output = export_output(options, context.output_directory);
  const bool directory = output != "-" && is_directory(output);
  switch (options.export_format) {
    case ExportFormat::kStationXml:
      if (directory) {
        return output_error(context,
                            "stationxml writes one document: " + output + " is a directory");
      }
      return export_stationxml(context, output);
    case ExportFormat::kSac:
    case ExportFormat::kFap:
      if (!directory) {
        return output_error(context, "sac and fap write one file per period: " + output +
                                         " is not an existing directory");
      }
      return export_files(context, output);
    case ExportFormat::kSacPz:
      break;
  }
  return export_sacpz(context, output, directory);
}

}  // namespace kalvynex
