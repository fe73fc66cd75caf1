#include "inventory/sacpz_period.h"

#include <optional>

#include "core/period_label.h"
#include "core/string_printf.h"
#include "response/stationxml_writer.h"

namespace kalvynex {

namespace {

// The header lines of a station's place, from the stations file.
SacPzPlace sacpz_place(const StationPlace& place) {
  SacPzPlace out;
  if (!place.known) return out;
  out.description = place.site_name;
  out.latitude = place.latitude;
  out.longitude = place.longitude;
  out.elevation = place.elevation;
  return out;
}

// SENSITIVITY and A0 at the period's normalisation frequency (FREQ, or where
// the StationXML export would move it); none, reported, when the response
// cannot be normalised anywhere.
std::optional<SacPzSensitivity> sensitivity_of(Reporter& reporter, const CatalogPeriod& p,
                                               const PoleZeroResponse& response) {
  ChannelEpoch epoch;
  epoch.pole_zero = &response;
  epoch.normalization_frequency = requested_normalization_frequency(p.freq);
  const ResponsePlan plan = plan_response(epoch);
  if (!plan.writable) {
    reporter.period(p, plan.unusable + "; written without SENSITIVITY and A0");
    return std::nullopt;
  }
  if (!plan.moved.empty()) {
    reporter.warning(period_label(p.codes, p.startdate) +
                     string_printf(": A0 and SENSITIVITY at %g Hz instead of %g Hz: ",
                                   plan.frequency, epoch.normalization_frequency) +
                     plan.moved);
  }
  const PoleZeroNormalization norm = normalize_pole_zero(response, plan.frequency);
  SacPzSensitivity out;
  out.a0 = norm.factor;
  out.counts_per_metre = norm.gain;
  return out;
}

}  // namespace

std::string sacpz_created_text(std::time_t created) {
  std::tm utc{};
  gmtime_r(&created, &utc);
  return string_printf("%04d-%02d-%02dT%02d:%02d:%02d", utc.tm_year + 1900, utc.tm_mon + 1,
                       utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
}

bool SacPzPeriodTexts::text(const CatalogPeriod& p, std::string* text, Outcome* outcome) {
  if (!p.has_sac) {
    reporter_.period(p, "no SAC text; skipped");
    return false;
  }
  const Status read = walk_.read_texts(&record_);
  if (!read.ok()) {
    *outcome = Outcome::database(read);
    return false;
  }
  problems_.clear();
  if (!parse_pole_zero(record_.sac, &response_, &problems_)) {
    reporter_.period(p, string_printf("SAC text line %d: %s; skipped", problems_[0].line,
                                      problems_[0].reason.c_str()));
    return false;
  }
  SacPzPeriod period;
  period.codes = p.codes;
  period.start = p.startdate;
  period.end = p.enddate;
  period.created = created_;
  const std::string key = p.codes.network + "." + p.codes.sta;
  if (key != station_key_) {
    station_key_ = key;
    const StationPlace* found =
        places_ != nullptr ? places_->find(p.codes.network, p.codes.sta) : nullptr;
    place_ = found != nullptr ? sacpz_place(*found) : SacPzPlace();
    if (found == nullptr && places_ != nullptr) {
      reporter_.warning("station " + key + " is not in the stations file; written without "
                        "its place");
    }
  }
  period.place = place_;
  if (places_ != nullptr) {
    const ChannelPlace sensor =
        places_->find_channel(p.codes.network, p.codes.sta, p.codes.location, p.codes.chan);
    period.place.depth = sensor.depth;
    period.place.dip = sensor.dip;
    period.place.azimuth = sensor.azimuth;
    period.place.sample_rate = sensor.sample_rate;
  }
  period.sensitivity = sensitivity_of(reporter_, p, response_);
  *text = build_sacpz_text(period, response_);
  return true;
}

}  // namespace kalvynex
