// The TYPE_OUT text: resolve_response_type, resolve_sac_kind, unit_name and
// unit_label. Input: the text.
#include "core/text_rules.h"
#include "fuzz/fuzz_support.h"
#include "response/response_type.h"

namespace {

bool is_separator(char c) { return c == ',' || c == ';' || c == ':'; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace kalvynex;
  const std::string text(reinterpret_cast<const char*>(data), size);

  const ResponseType type = resolve_response_type(text);
  const int sac_kind = resolve_sac_kind(text);
  const std::string label = unit_label(type);
  const std::string unit = unit_name(type.order);

  const bool preset = equals_ignore_case(text, "GSE2") || equals_ignore_case(text, "QEV");
  if (equals_ignore_case(text, "GSE2")) FUZZ_CHECK(type.is_gse2_form() && sac_kind == 1);
  if (equals_ignore_case(text, "QEV")) FUZZ_CHECK(type.is_stored_form() && sac_kind == 0);
  // Both read the first number the same way, unless the text starts with a
  // separator (the type skips it, the SAC kind reads 0) or is empty (the
  // type keeps its default kind 1).
  if (!preset && !text.empty() && !is_separator(text[0])) FUZZ_CHECK(sac_kind == type.kind);
  if (text.empty()) FUZZ_CHECK(type.is_gse2_form() && sac_kind == 0);

  const bool labelled = type.kind >= 0 && type.kind <= 2;
  FUZZ_CHECK(label.empty() != labelled);
  if (labelled) FUZZ_CHECK(label.find(unit) != std::string::npos);
  FUZZ_CHECK(!unit.empty() && unit.size() <= 15);
  return 0;
}
