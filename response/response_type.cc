#include "response/response_type.h"

#include "core/string_printf.h"
#include "core/text_rules.h"
#include "response/number_format.h"

namespace kalvynex {

namespace {

constexpr ResponseType kQevType{0, 1, -6};
constexpr ResponseType kGse2Type{1, 0, -9};

bool is_type_separator(char c) { return c == ',' || c == ';' || c == ':'; }

}  // namespace

ResponseType resolve_response_type(const std::string& type_out) {
  if (equals_ignore_case(type_out, "QEV")) return kQevType;
  if (equals_ignore_case(type_out, "GSE2")) return kGse2Type;

  // Up to three numbers; separators at either end and runs of separators
  // produce no token, so an empty field takes no position.
  int values[3] = {kGse2Type.kind, kGse2Type.direction, kGse2Type.order};
  int position = 0;
  std::size_t i = 0;
  while (i < type_out.size() && position < 3) {
    while (i < type_out.size() && is_type_separator(type_out[i])) ++i;
    if (i == type_out.size()) break;
    const std::size_t start = i;
    while (i < type_out.size() && !is_type_separator(type_out[i])) ++i;
    const std::string token = type_out.substr(start, i - start);
    values[position++] = atoi_clamped(token.c_str());
  }
  return ResponseType{values[0], values[1], values[2]};
}

int resolve_sac_kind(const std::string& type_out) {
  if (equals_ignore_case(type_out, "GSE2")) return kGse2Type.kind;
  if (equals_ignore_case(type_out, "QEV")) return kQevType.kind;
  return atoi_clamped(type_out.c_str());
}

std::string unit_name(int order) {
  switch (order) {
    case -9: return "nM";
    case -6: return "mkM";
    case -3: return "mM";
    case 0: return "M";
    default: return string_printf("1E%d*M", order);
  }
}

std::string unit_label(const ResponseType& type) {
  const std::string unit = unit_name(type.order);
  const bool direct = type.direction == 0;
  switch (type.kind) {
    case 0: return direct ? "Count/" + unit : unit + "/Count";
    case 1: return direct ? "Count/(" + unit + "/sec)" : "(" + unit + "/sec)/Count";
    case 2: return direct ? "Count/(" + unit + "/sec**2)" : "(" + unit + "/sec**2)/Count";
    default: return std::string();
  }
}

}  // namespace kalvynex
