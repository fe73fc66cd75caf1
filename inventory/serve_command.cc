// serve: the station web service over the calibration table. Each request
// runs on its connection's thread; a query borrows one of the pool's
// catalogs and writes its document on a thread of its own into a stream
// that the connection sends as it fills.
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <thread>
#include <utility>

#include "config/station_file.h"
#include "core/process_guard.h"
#include "core/string_printf.h"
#include "inventory/catalog_pool.h"
#include "inventory/commands.h"
#include "inventory/fdsn_error.h"
#include "inventory/http_service.h"
#include "inventory/page_assets.h"
#include "inventory/period_view.h"
#include "inventory/query_document.h"
#include "inventory/station_document.h"
#include "inventory/station_query.h"

namespace kalvynex {

namespace {

constexpr char kQueryPath[] = "/fdsnws/station/1/query";
constexpr char kVersionPath[] = "/fdsnws/station/1/version";
constexpr char kWadlPath[] = "/fdsnws/station/1/application.wadl";
constexpr char kSacPzPath[] = "/sacpz/1/query";
constexpr char kPeriodPath[] = "/viewer/1/period";

constexpr char kTextType[] = "text/plain; charset=utf-8";
constexpr char kXmlType[] = "application/xml";

// How long the requests under way may take to finish once told to stop.
constexpr std::chrono::seconds kStopDrain(30);

constexpr char kDatabaseUnavailable[] = "Database unavailable; try again later";

std::string wadl_document() {
  static const char* const kParameters[][2] = {
      {"starttime", "xs:dateTime"},  {"start", "xs:dateTime"},     {"endtime", "xs:dateTime"},
      {"end", "xs:dateTime"},        {"startbefore", "xs:dateTime"}, {"startafter", "xs:dateTime"},
      {"endbefore", "xs:dateTime"},  {"endafter", "xs:dateTime"},  {"network", "xs:string"},
      {"net", "xs:string"},          {"station", "xs:string"},     {"sta", "xs:string"},
      {"location", "xs:string"},     {"loc", "xs:string"},         {"channel", "xs:string"},
      {"cha", "xs:string"},          {"minlatitude", "xs:double"}, {"minlat", "xs:double"},
      {"maxlatitude", "xs:double"},  {"maxlat", "xs:double"},      {"minlongitude", "xs:double"},
      {"minlon", "xs:double"},       {"maxlongitude", "xs:double"}, {"maxlon", "xs:double"},
      {"latitude", "xs:double"},     {"lat", "xs:double"},         {"longitude", "xs:double"},
      {"lon", "xs:double"},          {"minradius", "xs:double"},   {"maxradius", "xs:double"},
      {"level", "xs:string"},        {"format", "xs:string"},      {"nodata", "xs:int"},
      {"includerestricted", "xs:boolean"}, {"includeavailability", "xs:boolean"},
      {"matchtimeseries", "xs:boolean"},
  };
  std::string params;
  for (const auto& p : kParameters) {
    params += string_printf("        <param name=\"%s\" style=\"query\" type=\"%s\"/>\n",
                            p[0], p[1]);
  }
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<application xmlns=\"http://wadl.dev.java.net/2009/02\"\n"
         "             xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">\n"
         "  <resources base=\"fdsnws/station/1/\">\n"
         "    <resource path=\"query\">\n"
         "      <method name=\"GET\" id=\"query\">\n"
         "        <request>\n" +
         params +
         "        </request>\n"
         "        <response status=\"200\">\n"
         "          <representation mediaType=\"application/xml\"/>\n"
         "          <representation mediaType=\"text/plain\"/>\n"
         "        </response>\n"
         "        <response status=\"204 400 404 413 414 503\">\n"
         "          <representation mediaType=\"text/plain\"/>\n"
         "        </response>\n"
         "      </method>\n"
         "      <method name=\"POST\" id=\"postQuery\">\n"
         "        <request>\n"
         "          <representation mediaType=\"text/plain\"/>\n"
         "        </request>\n"
         "        <response status=\"200\">\n"
         "          <representation mediaType=\"application/xml\"/>\n"
         "          <representation mediaType=\"text/plain\"/>\n"
         "        </response>\n"
         "      </method>\n"
         "    </resource>\n"
         "    <resource path=\"version\">\n"
         "      <method name=\"GET\"><response>"
         "<representation mediaType=\"text/plain\"/></response></method>\n"
         "    </resource>\n"
         "    <resource path=\"application.wadl\">\n"
         "      <method name=\"GET\"><response>"
         "<representation mediaType=\"application/xml\"/></response></method>\n"
         "    </resource>\n"
         "  </resources>\n"
         "</application>\n";
}

// The document's sink on the stream the connection sends.
class StreamSink : public DocumentSink {
 public:
  explicit StreamSink(BodyStream& stream) : stream_(stream) {}
  FileStatus open() override {
    stream_.open();
    opened_ = true;
    return FileStatus();
  }
  FileStatus write(std::string_view bytes) override {
    return stream_.write(bytes) ? FileStatus() : file_failure("write", EPIPE);
  }
  FileStatus finish() override { return FileStatus(); }
  std::string name() const override { return "the client"; }
  bool opened() const { return opened_; }

 private:
  BodyStream& stream_;
  bool opened_ = false;
};

// How a document's worker ended before its first byte.
struct Unopened {
  bool database_failed = false;
  bool failed = false;  // anything else that went wrong
};

// A document being written: shared by the request's thread, its worker and
// the connection's stream.
struct DocumentJob {
  StationQuery query;
  QueryDocumentKind kind = QueryDocumentKind::kStation;
  std::shared_ptr<BodyStream> stream = std::make_shared<BodyStream>();
  Unopened unopened;  // read after stream->wait_opened() gave false
};

class StationService : public HttpHandler {
 public:
  StationService(const InventoryEnvironment& env, const SessionSetup& setup, CatalogPool& pool,
                 const StationPlaces* places, std::string base_url)
      : env_(env), setup_(setup), pool_(pool), places_(places), base_url_(std::move(base_url)) {}

  void set_log(HttpService* service) { service_ = service; }
  void set_base_url(std::string base_url) {
    std::lock_guard<std::mutex> lock(mutex_);
    base_url_ = std::move(base_url);
  }

  HttpAnswer answer(const HttpRequest& request) override {
    try {
      return route(request);
    } catch (const std::bad_alloc&) {
      log("out of memory answering " + one_line_text(request.path, 200));
      return error(request, 503, "Out of memory; try again later");
    } catch (const std::exception& e) {
      log(std::string("internal error: ") + e.what());
      return error(request, 500, "Internal error");
    }
  }

  HttpAnswer error(const HttpRequest& request, int status,
                   const std::string& explanation) override {
    std::string base_url;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      base_url = base_url_;
    }
    FdsnError document;
    document.status = status;
    document.explanation = explanation;
    document.base_url = base_url;
    // The request's URL: the target under the base URL's scheme and host.
    const std::size_t scheme = base_url.find("://");
    const std::size_t host_end =
        base_url.find('/', scheme == std::string::npos ? 0 : scheme + 3);
    document.request = (host_end == std::string::npos ? base_url : base_url.substr(0, host_end)) +
                       request.target;
    document.submitted = request.received != 0 ? request.received : std::time(nullptr);
    HttpAnswer answer = plain(status, kTextType, fdsn_error_document(document));
    return answer;
  }

  // Waits until every worker has ended.
  void wait_for_workers() {
    std::unique_lock<std::mutex> lock(mutex_);
    workers_done_.wait(lock, [this] { return running_ == 0; });
  }

  void log(const std::string& line) {
    if (service_ != nullptr) service_->log(std::string(kInventoryProgram) + ": " + line);
  }

 private:
  static HttpAnswer plain(int status, const std::string& type, std::string body) {
    HttpAnswer answer;
    answer.status = status;
    answer.content_type = type;
    answer.body = std::move(body);
    answer.headers.emplace_back("Access-Control-Allow-Origin", "*");
    return answer;
  }

  HttpAnswer route(const HttpRequest& request) {
    const std::string& path = request.path;
    const bool get = request.method == "GET" || request.method == "HEAD";
    const bool post = request.method == "POST";
    const bool known = path == kQueryPath || path == kVersionPath || path == kWadlPath ||
                       path == kSacPzPath || path == kPeriodPath ||
                       find_page_asset(path) != nullptr;
    if (!known) return error(request, 404, "No such path: " + path);
    if (!get && !(post && path == kQueryPath)) {
      HttpAnswer answer =
          error(request, 405, "Method " + request.method + " is not allowed for " + path);
      answer.headers.emplace_back("Allow", path == kQueryPath ? "GET, HEAD, POST" : "GET, HEAD");
      return answer;
    }
    if (path == kVersionPath) {
      return plain(200, kTextType, std::string(kStationServiceVersion) + "\n");
    }
    if (path == kWadlPath) return plain(200, kXmlType, wadl_document());
    if (path == kQueryPath || path == kSacPzPath) return query(request);
    if (path == kPeriodPath) return period(request);
    const PageAsset* asset = find_page_asset(path);
    return plain(200, std::string(asset->content_type), std::string(asset->bytes));
  }

  // The parameters of the query string; false with the error's answer.
  bool parameters(const HttpRequest& request, std::vector<QueryParameter>* out,
                  HttpAnswer* failure) {
    std::vector<FormField> fields;
    std::string reason;
    if (!decode_form(request.query, &fields, &reason)) {
      *failure = error(request, 400, reason);
      return false;
    }
    for (FormField& field : fields) {
      out->push_back(QueryParameter{std::move(field.name), std::move(field.value)});
    }
    return true;
  }

  HttpAnswer query(const HttpRequest& request) {
    auto job = std::make_shared<DocumentJob>();
    job->kind =
        request.path == kSacPzPath ? QueryDocumentKind::kSacPz : QueryDocumentKind::kStation;
    std::string reason;
    if (request.method == "POST") {
      if (!parse_station_post(request.body, &job->query, &reason)) {
        return error(request, 400, reason);
      }
    } else {
      std::vector<QueryParameter> list;
      HttpAnswer failure;
      if (!parameters(request, &list, &failure)) return failure;
      if (job->kind == QueryDocumentKind::kSacPz) {
        for (const QueryParameter& p : list) {
          if (p.name == "level" || p.name == "format") {
            return error(request, 400, "Unknown parameter: " + p.name);
          }
        }
      }
      if (!parse_station_query(list, &job->query, &reason)) return error(request, 400, reason);
    }
    // A client that has left needs no answer, and its connection would count
    // against its address meanwhile.
    CatalogPool::Lease lease = pool_.acquire(kLeaseWait, request.client_gone);
    if (!lease) return error(request, 503, "No database connection free; try again later");
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++running_;
    }
    std::thread([this, job, lease = std::move(lease)]() mutable {
      run_document(*job, lease);
      lease = CatalogPool::Lease();
      std::lock_guard<std::mutex> lock(mutex_);
      --running_;
      workers_done_.notify_all();
    }).detach();

    if (!job->stream->wait_opened()) {
      if (job->unopened.database_failed) return error(request, 503, kDatabaseUnavailable);
      if (job->unopened.failed) return error(request, 500, "Internal error");
      HttpAnswer nodata = plain(job->query.nodata, "", "");
      return nodata;
    }
    HttpAnswer answer;
    answer.status = 200;
    answer.content_type = job->kind == QueryDocumentKind::kStation &&
                                  job->query.format == QueryFormat::kXml
                              ? kXmlType
                              : kTextType;
    answer.stream = job->stream;
    answer.headers.emplace_back("Access-Control-Allow-Origin", "*");
    return answer;
  }

  // On the worker's thread: the document into the job's stream.
  void run_document(DocumentJob& job, CatalogPool::Lease& lease) {
    StreamSink sink(*job.stream);
    Reporter reporter(env_.err, true, false);
    Outcome outcome;
    try {
      const Status status = lease.ready();
      if (status.ok()) {
        outcome = write_query_document(lease.catalog(), job.query, job.kind, places_,
                                       created_epoch(env_.source_date_epoch), reporter, sink)
                      .outcome;
      } else {
        outcome = Outcome::database(status);
      }
    } catch (const std::bad_alloc&) {
      outcome = Outcome::failed(InventoryExit::kOutOfMemory);
    } catch (const std::exception& e) {
      log(std::string("internal error: ") + e.what());
      outcome = Outcome::failed(InventoryExit::kInternal);
    }
    if (outcome.exit == InventoryExit::kDatabase) {
      // The connection may be broken: made anew for the next request.
      lease.discard();
      reporter.database(outcome.status, setup_.data_source);
    }
    if (!sink.opened()) {
      job.unopened.database_failed = outcome.exit == InventoryExit::kDatabase;
      job.unopened.failed = !outcome.is_done() && !job.unopened.database_failed;
    }
    // A document broken off after its first byte ends the connection
    // without the chunked body's last chunk: the client sees it cut short.
    job.stream->finish(outcome.is_done());
  }

  HttpAnswer period(const HttpRequest& request) {
    std::vector<QueryParameter> list;
    HttpAnswer failure;
    if (!parameters(request, &list, &failure)) return failure;
    PeriodViewRequest view;
    std::string reason;
    if (!parse_period_view_request(list, &view, &reason)) return error(request, 400, reason);
    CatalogPool::Lease lease = pool_.acquire(kLeaseWait, request.client_gone);
    if (!lease) return error(request, 503, "No database connection free; try again later");
    Status status = lease.ready();
    std::string json;
    bool found = false;
    if (status.ok()) status = write_period_view(lease.catalog(), view, &json, &found);
    if (!status.ok()) {
      lease.discard();
      Reporter(env_.err, true, false).database(status, setup_.data_source);
      return error(request, 503, kDatabaseUnavailable);
    }
    if (!found) return error(request, 404, "No such period");
    return plain(200, "application/json", std::move(json));
  }

  const InventoryEnvironment& env_;
  const SessionSetup& setup_;
  CatalogPool& pool_;
  const StationPlaces* places_;
  std::string base_url_;  // guarded by mutex_
  HttpService* service_ = nullptr;
  std::mutex mutex_;
  std::condition_variable workers_done_;
  int running_ = 0;
};

// Waits for a byte on `fd` (a stop signal).
void wait_for_stop(int fd) {
  pollfd watched{fd, POLLIN, 0};
  while (poll(&watched, 1, -1) < 0 && errno == EINTR) {
  }
}

}  // namespace

InventoryExit serve_requests(const InventoryOptions& options, const InventoryEnvironment& env,
                             const SessionSetup& setup, const CatalogPool::Factory& make_catalog) {
  Reporter reporter(env.err, options.quiet, false);
  ListenAddress address;
  std::string error;
  if (!parse_listen_address(options.listen, &address, &error)) {
    return report_usage_error(env.err, "serve: " + error);
  }
  StationPlaces places;
  if (options.stations && !read_station_file(*options.stations, &places, &error)) {
    reporter.error(error);
    return InventoryExit::kUsage;
  }
  ignore_broken_pipe();
  const int stop_fd = stop_signal_descriptor();
  if (stop_fd < 0) {
    reporter.error("serve: cannot watch for the stop signals");
    return InventoryExit::kInternal;
  }

  CatalogPool pool(static_cast<std::size_t>(options.workers), setup.parameters, make_catalog);
  StationService station(env, setup, pool, options.stations ? &places : nullptr,
                         options.base_url ? *options.base_url : listen_url(address));
  HttpLimits limits;
  HttpService service(station, limits, env.err);
  station.set_log(&service);
  if (!service.start(address, &error)) {
    reporter.error("serve: " + error);
    return InventoryExit::kOutput;
  }
  address.port = service.port();
  // The error documents name the port actually listened on.
  if (!options.base_url) station.set_base_url(listen_url(address));
  station.log(string_printf("listening on %s with %d database connection%s",
                            listen_url(address).c_str(), options.workers,
                            options.workers == 1 ? "" : "s"));
  {
    // The first connection now, so that a wrong setting shows at the start;
    // the service runs on either way and connects again when asked.
    CatalogPool::Lease lease = pool.acquire(std::chrono::milliseconds(0));
    const Status status = lease ? lease.ready() : Status();
    if (!status.ok()) reporter.database(status, setup.data_source);
  }
  wait_for_stop(stop_fd);
  station.log("stopping: the requests under way finish first");
  service.stop(kStopDrain);
  station.wait_for_workers();
  station.log("stopped");
  return InventoryExit::kDone;
}

}  // namespace kalvynex
