#include "tests/support/stationxml.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "tests/support/process.h"
#include "tests/support/temp_dir.h"

namespace kalvynex {

namespace {

bool named(const xmlNode* node, const char* name) {
  return node->type == XML_ELEMENT_NODE &&
         std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

const xmlNode* child(const xmlNode* parent, const char* name) {
  if (parent == nullptr) return nullptr;
  for (const xmlNode* n = parent->children; n != nullptr; n = n->next) {
    if (named(n, name)) return n;
  }
  return nullptr;
}

std::string text(const xmlNode* node) {
  if (node == nullptr) return "";
  xmlChar* content = xmlNodeGetContent(node);
  std::string result = content == nullptr ? "" : reinterpret_cast<const char*>(content);
  xmlFree(content);
  return result;
}

double number(const xmlNode* node) {
  const std::string t = text(node);
  if (t == "INF") return HUGE_VAL;
  if (t == "-INF") return -HUGE_VAL;
  return std::strtod(t.c_str(), nullptr);
}

std::string attribute(const xmlNode* node, const char* name) {
  xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
  std::string result = value == nullptr ? "" : reinterpret_cast<const char*>(value);
  xmlFree(value);
  return result;
}

std::vector<std::complex<double>> roots(const xmlNode* stage, const char* name) {
  std::vector<std::complex<double>> result;
  for (const xmlNode* n = stage->children; n != nullptr; n = n->next) {
    if (named(n, name)) result.emplace_back(number(child(n, "Real")), number(child(n, "Imaginary")));
  }
  return result;
}

struct Document {
  explicit Document(const std::string& xml)
      : doc(xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "stationxml", nullptr,
                          XML_PARSE_NONET)) {
    if (doc == nullptr) throw std::runtime_error("not well-formed XML");
  }
  ~Document() { xmlFreeDoc(doc); }
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;
  xmlDoc* doc;
};

}  // namespace

namespace {

std::string json_string(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", byte);
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// A number as JSON: shortest exact form; null for inf and nan.
std::string json_number(double value) {
  if (!std::isfinite(value)) return "null";
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

std::string json_roots(const std::vector<std::complex<double>>& roots) {
  std::string out = "[";
  for (std::size_t i = 0; i < roots.size(); ++i) {
    if (i > 0) out += ",";
    out += "[" + json_number(roots[i].real()) + "," + json_number(roots[i].imag()) + "]";
  }
  return out + "]";
}

// With KALVYNEX_STATIONXML_DIR set, a valid document that holds a pole-zero
// stage and no response list (which that parser does not read) is kept there with what read_stationxml finds in it (NAME.xml and
// NAME.json), for tests/js/read_stationxml.mjs to read with a third-party
// parser once the tests have run.
void keep_document(const std::string& document) {
  const char* dir = std::getenv("KALVYNEX_STATIONXML_DIR");
  if (dir == nullptr || *dir == '\0') return;
  std::vector<DocumentChannel> channels;
  try {
    channels = read_stationxml(document);
  } catch (const std::runtime_error&) {
    return;
  }
  bool pole_zero = false;
  bool list = false;
  std::string json = "[";
  for (std::size_t i = 0; i < channels.size(); ++i) {
    const DocumentChannel& c = channels[i];
    pole_zero = pole_zero || c.has_pole_zero;
    list = list || !c.list.empty();
    if (i > 0) json += ",\n";
    json += "{\"network\":" + json_string(c.network) + ",\"station\":" + json_string(c.station) +
            ",\"location\":" + json_string(c.location) + ",\"channel\":" +
            json_string(c.channel) + ",\"start\":" + json_string(c.start) +
            ",\"has_pole_zero\":" + (c.has_pole_zero ? "true" : "false");
    if (c.has_pole_zero) {
      json += ",\"sensitivity\":" + json_number(c.sensitivity) + ",\"normalization_factor\":" +
              json_number(c.normalization_factor) + ",\"zeros\":" + json_roots(c.zeros) +
              ",\"poles\":" + json_roots(c.poles);
    }
    json += "}";
  }
  json += "]\n";
  if (!pole_zero || list) return;
  static int count = 0;
  const std::string base = std::string(dir) + "/doc-" + std::to_string(getpid()) + "-" +
                           std::to_string(++count);
  std::ofstream(base + ".json", std::ios::binary) << json;
  std::ofstream(base + ".xml", std::ios::binary) << document;
}

}  // namespace

std::string stationxml_schema_errors(const std::string& document) {
  TempDir dir;
  const std::string file = dir.write_file("document.xml", document);
  const ProcessResult r = run_process(
      "/usr/bin/xmllint",
      {"--noout", "--nonet", "--schema",
       std::string(KALVYNEX_SOURCE_DIR) + "/tests/data/fdsn-station-1.2.xsd", file});
  if (r.exit_status == 0) {
    keep_document(document);
    return "";
  }
  return r.err.empty() ? "xmllint exit status " + std::to_string(r.exit_status) : r.err;
}

std::complex<double> DocumentChannel::evaluate(double frequency_hz) const {
  const std::complex<double> s(0.0, 2.0 * M_PI * frequency_hz);
  std::complex<double> h(stage_gain * normalization_factor, 0.0);
  for (const auto& z : zeros) h *= s - z;
  for (const auto& p : poles) h /= s - p;
  return h;
}

std::vector<DocumentChannel> read_stationxml(const std::string& xml) {
  Document document(xml);
  std::vector<DocumentChannel> result;
  const xmlNode* root = xmlDocGetRootElement(document.doc);
  for (const xmlNode* net = root->children; net != nullptr; net = net->next) {
    if (!named(net, "Network")) continue;
    for (const xmlNode* sta = net->children; sta != nullptr; sta = sta->next) {
      if (!named(sta, "Station")) continue;
      for (const xmlNode* cha = sta->children; cha != nullptr; cha = cha->next) {
        if (!named(cha, "Channel")) continue;
        DocumentChannel c;
        c.network = attribute(net, "code");
        c.station = attribute(sta, "code");
        c.location = attribute(cha, "locationCode");
        c.channel = attribute(cha, "code");
        c.start = attribute(cha, "startDate");
        c.end = attribute(cha, "endDate");
        c.latitude = number(child(sta, "Latitude"));
        c.longitude = number(child(sta, "Longitude"));
        c.elevation = number(child(sta, "Elevation"));
        c.station_comment = text(child(child(sta, "Comment"), "Value"));
        c.site_name = text(child(child(sta, "Site"), "Name"));
        const xmlNode* response = child(cha, "Response");
        if (response != nullptr) {
          c.has_response = true;
          const xmlNode* sens = child(response, "InstrumentSensitivity");
          c.sensitivity = number(child(sens, "Value"));
          c.sensitivity_frequency = number(child(sens, "Frequency"));
          const xmlNode* stage = child(response, "Stage");
          const xmlNode* pz = child(stage, "PolesZeros");
          if (pz != nullptr) {
            c.has_pole_zero = true;
            c.normalization_factor = number(child(pz, "NormalizationFactor"));
            c.normalization_frequency = number(child(pz, "NormalizationFrequency"));
            c.stage_gain = number(child(child(stage, "StageGain"), "Value"));
            c.zeros = roots(pz, "Zero");
            c.poles = roots(pz, "Pole");
          }
          const xmlNode* list = child(stage, "ResponseList");
          for (const xmlNode* e = list == nullptr ? nullptr : list->children; e != nullptr;
               e = e->next) {
            if (!named(e, "ResponseListElement")) continue;
            c.list.push_back({number(child(e, "Frequency")), number(child(e, "Amplitude")),
                              number(child(e, "Phase"))});
          }
        }
        result.push_back(std::move(c));
      }
    }
  }
  return result;
}

std::string stationxml_created(const std::string& xml) {
  Document document(xml);
  return text(child(xmlDocGetRootElement(document.doc), "Created"));
}

}  // namespace kalvynex
