// What TYPE_OUT asks for: the kind of motion, the direction and the length
// unit of a written response, and the names and labels of those units.
#ifndef KALVYNEX_RESPONSE_RESPONSE_TYPE_H_
#define KALVYNEX_RESPONSE_RESPONSE_TYPE_H_

#include <string>

namespace kalvynex {

struct ResponseType {
  int kind = 1;       // 0 displacement, 1 velocity, 2 acceleration (power of w)
  int direction = 0;  // 0 direct (counts per ground unit), other: inverse
  int order = -9;     // decimal exponent of the length unit in metres

  // The stored form of FAP texts: displacement, inverse, micrometres.
  bool is_stored_form() const { return kind == 0 && direction != 0 && order == -6; }
  // The GSE2 form, the default: velocity, direct, nanometres.
  bool is_gse2_form() const { return kind == 1 && direction == 0 && order == -9; }
};

// "QEV" and "GSE2" (case ignored) are presets; any other text is up to three
// integers separated by ",", ";" or ":" (runs of separators count as one),
// read by the atoi rule, with the defaults (1, 0, -9) for missing positions.
ResponseType resolve_response_type(const std::string& type_out);

// The kind for a SAC output: "GSE2" gives 1, "QEV" gives 0, any other text
// the integer read from its start by the atoi rule.
int resolve_sac_kind(const std::string& type_out);

// "nM", "mkM", "mM", "M" for orders -9, -6, -3, 0; otherwise "1E<order>*M".
std::string unit_name(int order);

// The unit of a response type, such as "Count/(nM/sec)" or "mkM/Count";
// empty for a kind other than 0, 1 or 2.
std::string unit_label(const ResponseType& type);

}  // namespace kalvynex

#endif  // KALVYNEX_RESPONSE_RESPONSE_TYPE_H_
