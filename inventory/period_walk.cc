#include "inventory/period_walk.h"

namespace kalvynex {

bool has_calendar_dates(const CatalogPeriod& p) {
  return is_calendar_time(p.startdate) && (is_open_end(p.enddate) || is_calendar_time(p.enddate));
}

CalibrationRecord record_of(const CatalogPeriod& p) {
  CalibrationRecord record;
  record.codes = p.codes;
  record.startdate = p.startdate;
  record.enddate = p.enddate;
  record.sens = p.sens;
  record.id_sens = p.id_sens;
  record.freq = p.freq;
  record.id_freq = p.id_freq;
  record.lddate = p.lddate;
  return record;
}

}  // namespace kalvynex
