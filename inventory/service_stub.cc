// Stand-ins for the viewer and the page until their own files are merged;
// deleted then.
#include "inventory/page_assets.h"
#include "inventory/period_view.h"

namespace kalvynex {

bool parse_period_view_request(const std::vector<QueryParameter>&, PeriodViewRequest*,
                               std::string* error) {
  *error = "not yet";
  return false;
}

Status write_period_view(PeriodCatalog&, const PeriodViewRequest&, std::string*, bool* found) {
  *found = false;
  return Status();
}

const PageAsset* find_page_asset(std::string_view path) {
  static const PageAsset kPage{"text/html; charset=utf-8", "<!DOCTYPE html><title>x</title>\n"};
  return path == "/" ? &kPage : nullptr;
}

}  // namespace kalvynex
