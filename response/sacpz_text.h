// The sacpz text of one calibration period: a "*" comment block that names
// the channel, its period, its place and its sensitivity, then the
// pole-zero description in the form that SAC's pole-zero reader, ObsPy and
// the sacpz web services of the FDSN data centres use; and the file name
// that the SEED tools give such a text.
#ifndef KALVYNEX_RESPONSE_SACPZ_TEXT_H_
#define KALVYNEX_RESPONSE_SACPZ_TEXT_H_

#include <optional>
#include <string>

#include "core/channel_codes.h"
#include "core/timestamp.h"
#include "response/pole_zero.h"

namespace kalvynex {

// What is known of the channel beyond its codes (from the stations file);
// a line whose value is not known is left out.
struct SacPzPlace {
  std::string description;            // the site name; empty: no line
  std::optional<double> latitude;     // degrees north
  std::optional<double> longitude;    // degrees east
  std::optional<double> elevation;    // metres
  std::optional<double> depth;        // metres below the surface
  std::optional<double> dip;          // degrees down from the horizontal (-90: up)
  std::optional<double> azimuth;      // degrees east of north
  std::optional<double> sample_rate;  // samples per second
};

// The sensitivity of the stored displacement response at its normalisation
// frequency f_n: A0 = 1 / |PZ(2 pi i f_n)| with PZ the poles and zeros alone,
// and CONSTANT / A0 counts per metre.
struct SacPzSensitivity {
  double a0 = 1.0;
  double counts_per_metre = 0.0;
};

struct SacPzPeriod {
  ChannelCodes codes;
  Timestamp start;
  Timestamp end;        // year 0 or below: open, written as 2599-12-31T23:59:59
  std::string created;  // the CREATED line's text
  SacPzPlace place;
  std::optional<SacPzSensitivity> sensitivity;  // none: no SENSITIVITY and A0 lines
};

// The location as the sacpz header and file name write it: empty for the
// table's placeholders "??" and "--" as for the empty location.
std::string sacpz_location(const std::string& location);

// "SAC_PZs_NET_STA_CHA_LOC_START_END", the times as YYYY.DDD.hh.mm.ss.ffff
// (day of the year, four fraction digits, always 0000 here) and an open end
// as 2599.365.23.59.59.99999; LOC is sacpz_location(), so an empty location
// gives "__" between channel and start.
std::string sacpz_file_name(const ChannelCodes& codes, const Timestamp& start,
                            const Timestamp& end);

// The comment block in the layout of the FDSN data centres' sacpz service:
// NETWORK (KNETWK), STATION (KSTNM), LOCATION (KHOLE, sacpz_location()),
// CHANNEL (KCMPNM), CREATED, START, END, then DESCRIPTION, LATITUDE,
// LONGITUDE, ELEVATION, DEPTH, DIP (SAC's convention: degrees from the
// vertical, the stored dip + 90), AZIMUTH and SAMPLE RATE where known,
// INPUT UNIT: M, OUTPUT UNIT: COUNTS, SENSITIVITY ("%e (M)", counts per
// metre) and A0 ("%e") where computed. Then "ZEROS n" with every zero
// listed, "POLES m" with every pole and "CONSTANT c"; numbers as "%+e", the
// place's numbers in the shortest decimal form that reads back exactly
// (with at least one fraction digit), LF line ends. The response is the
// stored displacement response, unconverted.
std::string build_sacpz_text(const SacPzPeriod& period, const PoleZeroResponse& response);

}  // namespace kalvynex

#endif  // KALVYNEX_RESPONSE_SACPZ_TEXT_H_
