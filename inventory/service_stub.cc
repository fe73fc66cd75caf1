// Stand-ins for the query reader, the documents, the viewer and the page
// until their own files are merged; deleted then.
#include <cstdlib>
#include <cctype>
#include <set>

#include "inventory/page_assets.h"
#include "inventory/period_view.h"
#include "inventory/station_document.h"
#include "inventory/station_query.h"

namespace kalvynex {

bool GeoArea::any() const { return false; }

bool parse_station_query(const std::vector<QueryParameter>& parameters, StationQuery* out,
                         std::string* error) {
  *out = StationQuery();
  std::set<std::string> seen;
  for (const QueryParameter& p : parameters) {
    std::string name = p.name;
    if (name == "network") name = "net";
    if (name == "station") name = "sta";
    if (name == "location") name = "loc";
    if (name == "channel") name = "cha";
    if (!seen.insert(name).second) {
      *error = "Repeated parameter: " + p.name;
      return false;
    }
    std::vector<std::string>* codes = nullptr;
    if (name == "net") codes = &out->selection.networks;
    else if (name == "sta") codes = &out->selection.stations;
    else if (name == "loc") codes = &out->selection.locations;
    else if (name == "cha") codes = &out->selection.channels;
    else if (name == "format" && (p.value == "xml" || p.value == "text"))
      out->format = p.value == "xml" ? QueryFormat::kXml : QueryFormat::kText;
    else if (name == "level" && p.value == "channel") out->level = QueryLevel::kChannel;
    else if (name == "level" && p.value == "station") out->level = QueryLevel::kStation;
    else if (name == "level" && p.value == "response") out->level = QueryLevel::kResponse;
    else if (name == "nodata" && (p.value == "204" || p.value == "404"))
      out->nodata = std::atoi(p.value.c_str());
    else {
      *error = "Unknown parameter: " + p.name;
      return false;
    }
    if (codes != nullptr) {
      for (char c : p.value) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '*' && c != '?' && c != '-') {
          *error = "Invalid code: " + p.value;
          return false;
        }
      }
      codes->push_back(p.value);
    }
  }
  return true;
}

bool parse_station_post(const std::string& body, StationQuery* out, std::string* error) {
  *out = StationQuery();
  if (body.find('\n') == std::string::npos) {
    *error = "No selection in the body";
    return false;
  }
  return true;
}

CommandResult write_station_document(PeriodWalk& walk, Reporter&,
                                     const StationDocumentRequest& request, DocumentSink& sink) {
  bool opened = false;
  return walk.each(false, [&](const CatalogPeriod& p) {
    if (!opened) {
      sink.open();
      opened = true;
      sink.write(request.format == QueryFormat::kXml ? "<FDSNStationXML/>\n" : "#Network\n");
    }
    if (!sink.write(p.codes.network + "|" + p.codes.sta + "|" + p.codes.chan + "\n").ok()) {
      return Outcome::failed(InventoryExit::kOutput);
    }
    return Outcome::done();
  });
}

CommandResult write_sacpz_document(PeriodWalk& walk, Reporter& reporter, const StationPlaces*,
                                   DocumentSink& sink) {
  StationDocumentRequest request;
  request.format = QueryFormat::kText;
  return write_station_document(walk, reporter, request, sink);
}

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
