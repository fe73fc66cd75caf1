#include "inventory/period_walk.h"

namespace kalvynex {

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
