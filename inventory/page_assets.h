// The files of the page at "/" (the query builder, the browser of networks,
// stations, channels and periods, and the response viewer), built into the
// program: the service needs no files of its own and the page loads no
// outside scripts or fonts.
#ifndef KALVYNEX_INVENTORY_PAGE_ASSETS_H_
#define KALVYNEX_INVENTORY_PAGE_ASSETS_H_

#include <string_view>

namespace kalvynex {

struct PageAsset {
  std::string_view content_type;  // e.g. "text/html; charset=utf-8"
  std::string_view bytes;
};

// The asset served at `path` ("/" is the page itself), or nullptr.
const PageAsset* find_page_asset(std::string_view path);

}  // namespace kalvynex

#endif  // KALVYNEX_INVENTORY_PAGE_ASSETS_H_
