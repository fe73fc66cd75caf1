// What the tests read back from a written StationXML document: its validity
// against the official schema, and each channel's response as numbers.
#ifndef KALVYNEX_TESTS_SUPPORT_STATIONXML_H_
#define KALVYNEX_TESTS_SUPPORT_STATIONXML_H_

#include <complex>
#include <string>
#include <vector>

namespace kalvynex {

// Runs xmllint --schema with tests/data/fdsn-station-1.2.xsd on `document`;
// empty when it validates, else what xmllint said. With the environment
// variable KALVYNEX_STATIONXML_DIR set, a valid document with a pole-zero
// stage and no response list is also kept in that directory, with what read_stationxml reads
// from it as JSON, for the third-party reader's test (tests/js).
std::string stationxml_schema_errors(const std::string& document);

struct DocumentChannel {
  std::string network, station, location, channel;
  std::string start, end;  // attributes as written; end empty when absent
  double latitude = 0.0, longitude = 0.0, elevation = 0.0;
  std::string station_comment;  // the station's first Comment value, if any
  std::string site_name;
  // Sensitivity; present when the channel has a Response.
  bool has_response = false;
  double sensitivity = 0.0, sensitivity_frequency = 0.0;
  // PolesZeros stage, when there is one.
  bool has_pole_zero = false;
  double normalization_factor = 0.0, normalization_frequency = 0.0, stage_gain = 0.0;
  std::vector<std::complex<double>> zeros, poles;
  // ResponseList stage, when there is one: frequency, amplitude, phase.
  std::vector<std::vector<double>> list;

  // The pole-zero stage at `frequency_hz`: gain x A0 x prod(s - z) / prod(s - p).
  std::complex<double> evaluate(double frequency_hz) const;
};

// Every Channel of the document, in document order, with its network and
// station. Throws std::runtime_error when the text is not well-formed XML.
std::vector<DocumentChannel> read_stationxml(const std::string& document);

// The text of the root's Created element.
std::string stationxml_created(const std::string& document);

}  // namespace kalvynex

#endif  // KALVYNEX_TESTS_SUPPORT_STATIONXML_H_
