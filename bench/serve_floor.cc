// The floor of bench/serve-run: the station service's documents written
// without HTTP. C threads each loop for the given time: borrow a catalog of
// a pool of N (the service's pool and wait, connected as serve connects),
// write the query's document (the service's writer) into a sink that counts
// the bytes and drops them, give the catalog back. Prints one line:
//
//   documents=D seconds=S rate=R p50_ms=A p99_ms=B errors=E bytes=X
//
// rate is documents per second, of those finished in time (as wrk counts);
// the percentiles are of the time from asking for a catalog to the
// document's end; errors the documents that failed (no catalog free within
// the service's wait, or a database failure); bytes the size of the last
// document.
//
//   serve_floor --dsn NAME [--user USER] [--sacpz] --query QUERY
//               --threads C --workers N --seconds S
//
// QUERY is a URL's query string, read as the service reads it. The password
// comes from KALVYNEX_PASSWORD, odbc.ini from ODBCINI, as for the program.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "config/settings.h"
#include "db/calibration_catalog.h"
#include "inventory/catalog_pool.h"
#include "inventory/commands.h"
#include "inventory/http_service.h"
#include "inventory/query_document.h"
#include "inventory/session.h"
#include "inventory/station_query.h"

namespace {

using namespace kalvynex;
using Clock = std::chrono::steady_clock;

class CountingSink : public DocumentSink {
 public:
  FileStatus open() override { return FileStatus(); }
  FileStatus write(std::string_view bytes) override {
    bytes_ += bytes.size();
    return FileStatus();
  }
  FileStatus finish() override { return FileStatus(); }
  std::string name() const override { return "the floor"; }
  std::size_t bytes() const { return bytes_; }

 private:
  std::size_t bytes_ = 0;
};

std::optional<std::string> environment_value(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

int usage() {
  std::fprintf(stderr,
               "usage: serve_floor --dsn NAME [--user USER] [--sacpz] --query QUERY "
               "--threads C --workers N --seconds S\n");
  return 1;
}

double percentile(std::vector<double>& values, double fraction) {
  if (values.empty()) return 0;
  const auto rank = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(rank),
                   values.end());
  return values[rank];
}

}  // namespace

int main(int argc, char** argv) {
  InventoryOptions options;
  std::string query_text;
  QueryDocumentKind kind = QueryDocumentKind::kStation;
  long threads = 0;
  long workers = 0;
  long seconds = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--sacpz") {
      kind = QueryDocumentKind::kSacPz;
      continue;
    }
    if (i + 1 >= argc) return usage();
    const std::string value = argv[++i];
    if (arg == "--dsn") {
      options.dsn = value;
    } else if (arg == "--user") {
      options.user = value;
    } else if (arg == "--query") {
      query_text = value;
    } else if (arg == "--threads") {
      threads = std::strtol(value.c_str(), nullptr, 10);
    } else if (arg == "--workers") {
      workers = std::strtol(value.c_str(), nullptr, 10);
    } else if (arg == "--seconds") {
      seconds = std::strtol(value.c_str(), nullptr, 10);
    } else {
      return usage();
    }
  }
  if (!options.dsn || threads < 1 || threads > 4096 || workers < 1 || workers > 64 ||
      seconds < 1) {
    return usage();
  }

  std::vector<FormField> fields;
  std::vector<QueryParameter> parameters;
  StationQuery query;
  std::string reason;
  if (!decode_form(query_text, &fields, &reason)) {
    std::fprintf(stderr, "serve_floor: %s\n", reason.c_str());
    return 1;
  }
  parameters.reserve(fields.size());
  for (FormField& field : fields) {
    parameters.push_back(QueryParameter{std::move(field.name), std::move(field.value)});
  }
  if (!parse_station_query(parameters, &query, &reason)) {
    std::fprintf(stderr, "serve_floor: %s\n", reason.c_str());
    return 1;
  }

  InventoryEnvironment env;
  env.settings_files = locate_settings_files(SettingsEnvironment::from_process(argv[0]));
  env.password = environment_value("KALVYNEX_PASSWORD");
  env.source_date_epoch = environment_value("SOURCE_DATE_EPOCH");
  const SessionSetup setup = session_setup(options, env, env.password);
  CatalogPool pool(static_cast<std::size_t>(workers), setup.parameters,
                   [] { return std::make_unique<CalibrationCatalog>(); });

  std::mutex mutex;
  std::vector<double> latencies;  // ms
  std::size_t errors = 0;
  std::size_t last_bytes = 0;
  std::atomic<bool> reported{false};
  const Clock::time_point start = Clock::now();
  const Clock::time_point end = start + std::chrono::seconds(seconds);
  std::vector<std::thread> running;
  for (long t = 0; t < threads; ++t) {
    running.emplace_back([&] {
      Reporter reporter(stderr, true, false);
      std::vector<double> own;
      std::size_t own_errors = 0;
      std::size_t bytes = 0;
      while (Clock::now() < end) {
        const Clock::time_point asked = Clock::now();
        // Waits as the service's requests wait, but not past the end.
        CatalogPool::Lease lease =
            pool.acquire(kLeaseWait, [end] { return Clock::now() >= end; });
        if (!lease) {
          if (Clock::now() < end) ++own_errors;
          continue;
        }
        Outcome outcome;
        CountingSink sink;
        const Status status = lease.ready();
        if (status.ok()) {
          outcome = write_query_document(lease.catalog(), query, kind, nullptr,
                                         created_epoch(env.source_date_epoch), reporter, sink)
                        .outcome;
        } else {
          outcome = Outcome::database(status);
        }
        if (outcome.exit == InventoryExit::kDatabase) {
          lease.discard();
          if (!reported.exchange(true)) reporter.database(outcome.status, setup.data_source);
        }
        lease = CatalogPool::Lease();
        if (!outcome.is_done()) {
          ++own_errors;
          continue;
        }
        if (Clock::now() > end) break;  // as wrk, which counts what came in time
        bytes = sink.bytes();
        own.push_back(std::chrono::duration<double, std::milli>(Clock::now() - asked).count());
      }
      std::lock_guard<std::mutex> lock(mutex);
      latencies.insert(latencies.end(), own.begin(), own.end());
      errors += own_errors;
      if (bytes != 0) last_bytes = bytes;
    });
  }
  for (std::thread& thread : running) thread.join();
  const auto elapsed = static_cast<double>(seconds);
  const std::size_t documents = latencies.size();
  const double p50 = percentile(latencies, 0.50);
  const double p99 = percentile(latencies, 0.99);
  std::printf("documents=%zu seconds=%.2f rate=%.2f p50_ms=%.2f p99_ms=%.2f errors=%zu bytes=%zu\n",
              documents, elapsed, static_cast<double>(documents) / elapsed, p50, p99, errors,
              last_bytes);
  return 0;
}
