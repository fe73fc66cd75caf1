// A calibration catalog in memory for the inventory's unit tests: serves
// the periods it is given, channel by channel, and fails a chosen call with
// a chosen Status.
#ifndef KALVYNEX_TESTS_SUPPORT_FAKE_CATALOG_H_
#define KALVYNEX_TESTS_SUPPORT_FAKE_CATALOG_H_

#include <map>
#include <string>
#include <vector>

#include "db/period_catalog.h"

namespace kalvynex {

// One stored period with its texts; has_sac and has_fap follow the texts.
struct FakePeriod {
  CatalogPeriod period;
  std::string sac;
  std::string fap;
};

// A period of "NET.STA.LOC.CHA" from `start` to `end` (year -1: open).
FakePeriod fake_period(const std::string& channel, const Timestamp& start, const Timestamp& end,
                       const std::string& sac, const std::string& fap);

enum class CatalogCall {
  kConnect,
  kCheckTable,
  kFindChannels,
  kFindChannelSpans,
  kOpenPeriods,
  kNextPeriod,
  kReadTexts,
};

class FakeCatalog : public PeriodCatalog {
 public:
  // Periods match a selection as the database's query matches them (codes
  // compared byte for byte, as PostgreSQL compares them; an end of year -1
  // or at the last second of 9999 is open). Channels come in the order of their
  // codes (network, station, location, channel); a channel's periods in the
  // order given.
  explicit FakeCatalog(std::vector<FakePeriod> periods);

  // The `nth` call (from 1) of `call` fails with `status`; so do the later
  // ones.
  void fail(CatalogCall call, Status status, int nth = 1);

  int calls(CatalogCall call) const;

  Status connect(const ConnectionParameters& parameters) override;
  Status check_table() override;
  Status find_channels(const CalibrationSelection& selection,
                       std::vector<ChannelCodes>* channels) override;
  // From the periods given, as the database would group them.
  Status find_channel_spans(const CalibrationSelection& selection,
                            std::vector<ChannelSpan>* spans) override;
  Status open_periods(const ChannelCodes& codes, const CalibrationSelection& selection,
                      bool with_texts) override;
  Status next_period(CatalogPeriod* period, bool* found) override;
  Status read_texts(std::string* sac, std::string* fap) override;

 private:
  struct Failure {
    Status status;
    int nth = 0;
  };
  // Counts the call; the failure planted for it, or success.
  Status count(CatalogCall call);

  std::vector<FakePeriod> periods_;
  std::map<CatalogCall, Failure> failures_;
  std::map<CatalogCall, int> calls_;
  std::vector<const FakePeriod*> open_;  // the open channel's periods
  std::size_t next_ = 0;
  bool with_texts_ = false;
  bool texts_read_ = true;
};

}  // namespace kalvynex

#endif  // KALVYNEX_TESTS_SUPPORT_FAKE_CATALOG_H_
