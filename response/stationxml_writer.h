// An FDSN StationXML 1.2 document written as the calibration periods
// stream in: networks, stations and channels open and close as the codes
// change, and nothing but the element being written is held in memory.
#ifndef KALVYNEX_RESPONSE_STATIONXML_WRITER_H_
#define KALVYNEX_RESPONSE_STATIONXML_WRITER_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/channel_codes.h"
#include "core/station_place.h"
#include "core/timestamp.h"
#include "response/pole_zero.h"

namespace kalvynex {

// Receives the document's bytes in order; false stops the writing.
using ByteSink = std::function<bool(const char* data, std::size_t size)>;

struct StationXmlDocumentInfo {
  std::string source;            // <Source>
  std::string module;            // <Module>, e.g. "kalvynex-inventory 1.4.3"
  int64_t created_seconds = 0;   // <Created>, seconds since 1970-01-01 UTC
};

// One stored FAP triplet: hertz, micrometres per count, degrees.
struct FapTriplet {
  double frequency = 0.0;
  double amplitude = 0.0;
  double phase = 0.0;
};

// The ground motion a response is given for: the stored displacement (m),
// or velocity (m/s) or acceleration (m/s**2), one and two orders of
// differentiation away.
enum class GroundUnits { kDisplacement = 0, kVelocity = 1, kAcceleration = 2 };

// The InputUnits name of `units`: "m", "m/s" or "m/s**2".
const char* ground_units_name(GroundUnits units);

// A displacement response (counts per metre) as the response to `units`:
// H(s) / s^k for k orders. Exact: per order one zero at the origin is
// dropped, or a pole at the origin added when none is left; CONSTANT stays.
PoleZeroResponse pole_zero_in_units(PoleZeroResponse response, GroundUnits units);

// Stored FAP triplets (micrometres per count, the phase of counts per
// metre) as the response to `units`: the amplitude multiplied by
// (2 pi f)^k, so that counts per unit are divided by it, and the phase
// moved by -90 degrees per order (wrapped as the writer wraps phases).
std::vector<FapTriplet> fap_in_units(std::vector<FapTriplet> triplets, GroundUnits units);

// One calibration period of a channel. Its response comes from the pole
// zeros when there are any, else from the FAP triplets, else it has none.
struct ChannelEpoch {
  ChannelCodes codes;
  Timestamp start;
  Timestamp end;                       // open when is_open_end()
  double normalization_frequency = 1.0;  // hertz; the row's FREQ when positive
  const PoleZeroResponse* pole_zero = nullptr;
  const std::vector<FapTriplet>* fap = nullptr;  // usable triplets only
  GroundUnits units = GroundUnits::kDisplacement;  // of the response given
  // False: the Channel element ends without its Response (and without the
  // comment on a missing one), as a document of level channel has it.
  bool with_response = true;
  // Depth (0 when absent, as the schema requires one), Azimuth, Dip and
  // SampleRate (each left out when absent).
  ChannelPlace sensor;
};

// Normalisation of a pole-zero stage at f_n: with PZ(s) = prod(s - z) /
// prod(s - p), A0 = 1 / |PZ(2 pi i f_n)| and the gain CONSTANT x
// |PZ(2 pi i f_n)|, so that gain x A0 x PZ(s) = CONSTANT x PZ(s).
struct PoleZeroNormalization {
  double factor = 1.0;  // A0
  double gain = 0.0;    // stage gain and sensitivity at f_n
};
PoleZeroNormalization normalize_pole_zero(const PoleZeroResponse& response,
                                          double frequency_hz);

// The normalisation frequency a row's FREQ asks for: FREQ when it is a
// positive finite number; else (NULL, zero, negative, inf or nan) FREQ
// counts as absent and 1 Hz is taken.
double requested_normalization_frequency(double freq);

// Where a channel's response is written from, and whether it can be: no
// number of it may be inf or nan, and neither the normalisation factor nor
// the sensitivity may be zero.
struct ResponsePlan {
  bool writable = true;
  // The pole-zero stage's normalisation frequency: the epoch's when the
  // response can be normalised there, else the first of 1, 0.1, 10, 0.01,
  // 100 ... 1e-4, 1e4 Hz where it can.
  double frequency = 1.0;
  std::string moved;     // why the epoch's frequency was not used; empty when it was
  std::string unusable;  // why the response cannot be written (writable false)
};
ResponsePlan plan_response(const ChannelEpoch& epoch);

// The InstrumentSensitivity of a written Response: for pole zeros the
// stage's gain at plan.frequency, for a FAP list 1e6 / A of the triplet
// nearest the epoch's normalisation frequency, at that triplet's frequency.
struct ResponseSensitivity {
  double value = 0.0;      // counts per input unit
  double frequency = 0.0;  // hertz
};
// Absent when `plan` (plan_response(epoch)) is not writable or the epoch has
// no response.
std::optional<ResponseSensitivity> response_sensitivity(const ChannelEpoch& epoch,
                                                        const ResponsePlan& plan);

// `degrees` within -360..360, the range StationXML allows a phase: moved by
// whole turns when outside, kept as it is when inside (360 stays 360).
double wrap_phase_degrees(double degrees);

// The index of the triplet whose frequency is nearest `frequency_hz` (the
// first of equals); `triplets` must not be empty.
std::size_t nearest_triplet(const std::vector<FapTriplet>& triplets, double frequency_hz);

// The locationCode attribute of a stored location: the table's "??", the
// "--" of the FDSN services and the empty code all mean "no location" and
// are written as ""; any other code as it is.
std::string xml_location_code(const std::string& location);

// "YYYY-MM-DDTHH:MM:SSZ".
std::string xml_date_time(const Timestamp& t);

// The startDate and endDate of a Network or Station element; each is left
// out when absent (an open end, or a date not known).
struct ElementDates {
  std::optional<Timestamp> start;
  std::optional<Timestamp> end;
};

class StationXmlWriter {
 public:
  explicit StationXmlWriter(ByteSink sink);
  ~StationXmlWriter();
  StationXmlWriter(const StationXmlWriter&) = delete;
  StationXmlWriter& operator=(const StationXmlWriter&) = delete;

  // Each call returns false once writing has failed (the sink refused
  // bytes, or memory ran out); the document is then incomplete.
  bool begin(const StationXmlDocumentInfo& info);
  // Channels must come grouped by network and station. `place` and
  // `station_dates` are used when the channel opens a new station,
  // `network_dates` when it opens a new network. The response is written as
  // plan_response(epoch) says; one that is not writable is left out, with a
  // comment (a caller reports or skips such a period first).
  bool add_channel(const ChannelEpoch& epoch, const StationPlace& place,
                   const ElementDates& network_dates = ElementDates(),
                   const ElementDates& station_dates = ElementDates());
  // A document of level station: the Station `codes.sta` of network
  // `codes.network` without channels, opening the network as add_channel
  // does. Stations must come grouped by network.
  bool add_station(const ChannelCodes& codes, const StationPlace& place,
                   const ElementDates& network_dates, const ElementDates& station_dates);
  // A document of level network: one Network element without stations, with
  // the number of its stations the document's selection holds.
  bool add_network(const std::string& network, const ElementDates& dates,
                   std::size_t selected_stations);
  // Closes every open element and flushes the document.
  bool finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace kalvynex

#endif  // KALVYNEX_RESPONSE_STATIONXML_WRITER_H_
