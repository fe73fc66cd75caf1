#include "inventory/station_area.h"

#include <cmath>

namespace kalvynex {

bool GeoArea::any() const {
  return min_latitude || max_latitude || min_longitude || max_longitude || min_radius ||
         max_radius;
}

double arc_degrees(double latitude1, double longitude1, double latitude2, double longitude2) {
  constexpr double kRadians = M_PI / 180.0;
  const double phi1 = latitude1 * kRadians;
  const double phi2 = latitude2 * kRadians;
  const double delta = (longitude2 - longitude1) * kRadians;
  // The atan2 form stays exact for points near each other and for
  // antipodes, where the arc cosine of the plain formula does not.
  const double a = std::cos(phi2) * std::sin(delta);
  const double b = std::cos(phi1) * std::sin(phi2) - std::sin(phi1) * std::cos(phi2) * std::cos(delta);
  const double c = std::sin(phi1) * std::sin(phi2) + std::cos(phi1) * std::cos(phi2) * std::cos(delta);
  return std::atan2(std::hypot(a, b), c) / kRadians;
}

bool area_contains(const GeoArea& area, double latitude, double longitude) {
  if (area.min_latitude && latitude < *area.min_latitude) return false;
  if (area.max_latitude && latitude > *area.max_latitude) return false;
  if (area.min_longitude && area.max_longitude && *area.min_longitude > *area.max_longitude) {
    if (longitude < *area.min_longitude && longitude > *area.max_longitude) return false;
  } else {
    if (area.min_longitude && longitude < *area.min_longitude) return false;
    if (area.max_longitude && longitude > *area.max_longitude) return false;
  }
  if (area.min_radius || area.max_radius) {
    const double distance =
        arc_degrees(area.latitude.value_or(0.0), area.longitude.value_or(0.0), latitude, longitude);
    if (area.min_radius && distance < *area.min_radius) return false;
    if (area.max_radius && distance > *area.max_radius) return false;
  }
  return true;
}

}  // namespace kalvynex
