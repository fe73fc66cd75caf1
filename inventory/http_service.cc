#include "inventory/http_service.h"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "core/string_printf.h"
#include "core/utf8_text.h"
#include "inventory/fdsn_error.h"

namespace kalvynex {

namespace {

using Clock = std::chrono::steady_clock;

// The most bytes libmicrohttpd asks of a stream at once.
constexpr std::size_t kStreamBlock = std::size_t{16} * 1024;

std::string address_text(const sockaddr* address) {
  char text[INET6_ADDRSTRLEN] = "";
  if (address == nullptr) return "-";
  if (address->sa_family == AF_INET) {
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text, sizeof text);
  } else if (address->sa_family == AF_INET6) {
    inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, text,
              sizeof text);
  } else {
    return "-";
  }
  return text;
}

std::string utc_now_text() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  char text[32] = "";
  if (gmtime_r(&now, &parts) != nullptr) {
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  }
  return text;
}

// An answer written straight onto a socket, for a connection cut off
// before libmicrohttpd had anything to send.
std::string raw_answer(const HttpAnswer& answer) {
  std::string out = string_printf("HTTP/1.1 %d %s\r\n", answer.status, http_reason(answer.status));
  if (!answer.content_type.empty()) out += "Content-Type: " + answer.content_type + "\r\n";
  for (const auto& header : answer.headers) out += header.first + ": " + header.second + "\r\n";
  out += string_printf("Content-Length: %zu\r\nConnection: close\r\n\r\n", answer.body.size());
  return out + answer.body;
}

}  // namespace

bool parse_listen_address(const std::string& text, ListenAddress* out, std::string* error) {
  *out = ListenAddress();
  const std::size_t colon = text.rfind(':');
  std::string host = colon == std::string::npos ? std::string() : text.substr(0, colon);
  const std::string port = colon == std::string::npos ? std::string() : text.substr(colon + 1);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
    out->ipv6 = true;
  }
  in_addr v4{};
  in6_addr v6{};
  const bool host_ok = out->ipv6 ? inet_pton(AF_INET6, host.c_str(), &v6) == 1
                                 : inet_pton(AF_INET, host.c_str(), &v4) == 1;
  const bool port_ok = !port.empty() && port.size() <= 5 &&
                       port.find_first_not_of("0123456789") == std::string::npos &&
                       std::strtol(port.c_str(), nullptr, 10) <= 65535;
  if (!host_ok || !port_ok) {
    *error = "invalid listen address '" + text +
             "' (ADDRESS:PORT with a numeric address, e.g. 127.0.0.1:8080 or [::1]:8080)";
    return false;
  }
  out->host = host;
  out->port = static_cast<int>(std::strtol(port.c_str(), nullptr, 10));
  return true;
}

std::string listen_url(const ListenAddress& address) {
  const std::string host = address.ipv6 ? "[" + address.host + "]" : address.host;
  return "http://" + host + ":" + std::to_string(address.port) + "/";
}

namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool decode_component(const std::string& text, std::size_t begin, std::size_t end,
                      std::string* out, std::string* error) {
  out->clear();
  for (std::size_t i = begin; i < end; ++i) {
    const char c = text[i];
    if (c == '+') {
      *out += ' ';
    } else if (c != '%') {
      *out += c;
    } else if (i + 2 < end && hex_value(text[i + 1]) >= 0 && hex_value(text[i + 2]) >= 0) {
      *out += static_cast<char>(hex_value(text[i + 1]) * 16 + hex_value(text[i + 2]));
      i += 2;
    } else {
      *error = "Malformed percent-encoding in the query: " +
               text.substr(i, std::min<std::size_t>(3, end - i));
      return false;
    }
  }
  if (!is_valid_utf8(*out)) {
    *error = "A parameter that is not UTF-8: " + *out;
    return false;
  }
  for (const char c : *out) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      *error = "A control character in a parameter: " + *out;
      return false;
    }
  }
  return true;
}

}  // namespace

bool decode_form(const std::string& text, std::vector<FormField>* out, std::string* error) {
  out->clear();
  std::size_t begin = 0;
  while (begin <= text.size()) {
    std::size_t end = text.find('&', begin);
    if (end == std::string::npos) end = text.size();
    if (end > begin) {
      const std::size_t equals = text.find('=', begin);
      const std::size_t name_end = equals < end ? equals : end;
      FormField field;
      if (!decode_component(text, begin, name_end, &field.name, error)) return false;
      if (equals < end && !decode_component(text, equals + 1, end, &field.value, error)) {
        return false;
      }
      out->push_back(std::move(field));
    }
    begin = end + 1;
  }
  return true;
}

// ---- BodyStream ----

void BodyStream::open() {
  std::lock_guard<std::mutex> lock(mutex_);
  opened_ = true;
  changed_.notify_all();
}

bool BodyStream::write(std::string_view bytes) {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!bytes.empty()) {
    changed_.wait(lock, [this] { return cancelled_ || buffer_.size() < capacity_; });
    if (cancelled_) return false;
    const std::size_t take = std::min(bytes.size(), capacity_ - buffer_.size());
    buffer_.append(bytes.data(), take);
    bytes.remove_prefix(take);
    changed_.notify_all();
  }
  return !cancelled_;
}

void BodyStream::finish(bool complete) {
  std::lock_guard<std::mutex> lock(mutex_);
  finished_ = true;
  complete_ = complete;
  changed_.notify_all();
}

bool BodyStream::wait_opened() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return opened_ || finished_; });
  return opened_;
}

long BodyStream::read(char* buffer, std::size_t size, std::chrono::milliseconds wait) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_for(lock, wait, [this] { return !buffer_.empty() || finished_; });
  if (!buffer_.empty()) {
    const std::size_t take = std::min(size, buffer_.size());
    std::memcpy(buffer, buffer_.data(), take);
    buffer_.erase(0, take);
    bytes_read_ += take;
    changed_.notify_all();
    return static_cast<long>(take);
  }
  if (!finished_) return 0;
  return complete_ ? -1 : -2;
}

void BodyStream::cancel() {
  std::lock_guard<std::mutex> lock(mutex_);
  cancelled_ = true;
  buffer_.clear();
  buffer_.shrink_to_fit();
  changed_.notify_all();
}

std::uint64_t BodyStream::bytes_read() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return bytes_read_;
}

// ---- HttpService ----

// One connection, for the deadline of the request being read on it.
struct HttpService::Watch {
  int fd = -1;
  sockaddr_storage peer{};
  socklen_t peer_size = 0;
  Clock::time_point since;
  bool reading = true;  // a request is being read (or awaited)
  bool first = true;    // no request answered on it yet
  bool cut = false;
  Exchange* exchange = nullptr;  // the request under way
};

// One request and its answer.
struct HttpService::Exchange {
  HttpRequest request;
  Clock::time_point start;
  Watch* watch = nullptr;
  bool seen = false;        // the access handler has been called
  bool too_large = false;   // the body passed max_body
  bool counted = false;     // counted in answering_
  bool queued = false;
  int status = 0;
  std::uint64_t body_bytes = 0;
  std::shared_ptr<BodyStream> stream;
};

namespace {

struct StreamReader {
  std::shared_ptr<BodyStream> stream;
  const std::atomic<bool>* breaking;
};

ssize_t read_stream(void* cls, uint64_t /*pos*/, char* buffer, size_t size) {
  auto* reader = static_cast<StreamReader*>(cls);
  for (;;) {
    const long n = reader->stream->read(buffer, size, std::chrono::milliseconds(500));
    if (n > 0) return n;
    if (n == -1) return MHD_CONTENT_READER_END_OF_STREAM;
    if (n == -2 || reader->breaking->load()) return MHD_CONTENT_READER_END_WITH_ERROR;
  }
}

// Whether the peer of `fd` has closed the connection or its sending side.
// The descriptor stays the connection's while its handler runs.
std::function<bool()> client_gone_test(int fd) {
  return [fd] {
    pollfd watched{fd, POLLRDHUP, 0};
    return poll(&watched, 1, 0) == 1 && (watched.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
  };
}

void free_stream(void* cls) {
  auto* reader = static_cast<StreamReader*>(cls);
  reader->stream->cancel();
  delete reader;
}

}  // namespace

// libmicrohttpd's callbacks, with access to the service.
class HttpService::Callbacks {
 public:
  static void connection(void* cls, MHD_Connection* connection, void** socket_context,
                         MHD_ConnectionNotificationCode code) {
    auto* self = static_cast<HttpService*>(cls);
    std::lock_guard<std::mutex> lock(self->watch_mutex_);
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
      auto watch = std::make_unique<Watch>();
      const MHD_ConnectionInfo* fd_info =
          MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
      if (fd_info != nullptr) watch->fd = fd_info->connect_fd;
      watch->peer_size = sizeof watch->peer;
      if (watch->fd < 0 || getpeername(watch->fd, reinterpret_cast<sockaddr*>(&watch->peer),
                                       &watch->peer_size) != 0) {
        watch->fd = -1;
      }
      watch->since = Clock::now();
      *socket_context = watch.get();
      self->watches_.emplace(watch.get(), std::move(watch));
    } else if (code == MHD_CONNECTION_NOTIFY_CLOSED) {
      auto* watch = static_cast<Watch*>(*socket_context);
      const auto found = self->watches_.find(watch);
      if (found == self->watches_.end()) return;
      // A request that was never handed to the access handler has no
      // completion to free it.
      delete watch->exchange;
      self->watches_.erase(found);
      *socket_context = nullptr;
      self->watch_changed_.notify_all();
    }
  }

  static void* begin(void* cls, const char* uri, MHD_Connection* connection) {
    auto* self = static_cast<HttpService*>(cls);
    auto* exchange = new Exchange();
    exchange->start = Clock::now();
    exchange->request.received = std::time(nullptr);
    exchange->request.target = uri != nullptr ? uri : "";
    const std::size_t question = exchange->request.target.find('?');
    exchange->request.path = exchange->request.target.substr(0, question);
    if (question != std::string::npos) {
      exchange->request.query = exchange->request.target.substr(question + 1);
      // The query is read here, from the copy (decode_form). libmicrohttpd
      // would split it into its own list, an entry of some 50 bytes for
      // every "&" in the connection's memory, and drop the connection
      // without an answer when they do not fit (some 800 "a&" do not in 64
      // KiB): it is blanked in the library's buffer, which holds the URI
      // until it is parsed, so that the library finds no query at all.
      char* text = const_cast<char*>(uri);
      std::memset(text + question, '\0', exchange->request.target.size() - question);
    }
    const MHD_ConnectionInfo* address =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    exchange->request.client = address_text(address != nullptr ? address->client_addr : nullptr);
    const MHD_ConnectionInfo* context =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    std::lock_guard<std::mutex> lock(self->watch_mutex_);
    if (context != nullptr && context->socket_context != nullptr) {
      auto* watch = static_cast<Watch*>(context->socket_context);
      if (self->watches_.count(watch) != 0) {
        delete watch->exchange;
        watch->exchange = exchange;
        exchange->watch = watch;
      }
    }
    return exchange;
  }

  static MHD_Result access(void* cls, MHD_Connection* connection, const char* /*url*/,
                           const char* method, const char* /*version*/, const char* upload_data,
                           size_t* upload_data_size, void** con_cls) {
    auto* self = static_cast<HttpService*>(cls);
    auto* exchange = static_cast<Exchange*>(*con_cls);
    if (exchange == nullptr) {
      exchange = static_cast<Exchange*>(begin(cls, "", connection));
      *con_cls = exchange;
    }
    if (exchange->queued) {
      *upload_data_size = 0;
      return MHD_YES;
    }
    if (!exchange->seen) {
      exchange->seen = true;
      exchange->request.method = method != nullptr ? method : "";
      const char* length =
          MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
      const char* expect =
          MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_EXPECT);
      if (length != nullptr && expect != nullptr && strcasecmp(expect, "100-continue") == 0 &&
          std::strtoull(length, nullptr, 10) > self->limits_.max_body) {
        exchange->too_large = true;
        return finish_request(self, connection, exchange);
      }
      return MHD_YES;
    }
    if (*upload_data_size != 0) {
      exchange->body_bytes += *upload_data_size;
      if (exchange->body_bytes > self->limits_.max_body) {
        // Read on to the end and thrown away, so that the client, still
        // sending, reads the answer instead of a reset connection.
        if (!exchange->too_large) std::string().swap(exchange->request.body);
        exchange->too_large = true;
      } else {
        exchange->request.body.append(upload_data, *upload_data_size);
      }
      *upload_data_size = 0;
      return MHD_YES;
    }
    return finish_request(self, connection, exchange);
  }

  static void completed(void* cls, MHD_Connection* /*connection*/, void** con_cls,
                        MHD_RequestTerminationCode code) {
    auto* self = static_cast<HttpService*>(cls);
    auto* exchange = static_cast<Exchange*>(*con_cls);
    if (exchange == nullptr) return;
    *con_cls = nullptr;
    const std::uint64_t bytes =
        exchange->stream ? exchange->stream->bytes_read() : exchange->body_bytes;
    const long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                             Clock::now() - exchange->start)
                             .count();
    const HttpRequest& request = exchange->request;
    self->log(string_printf(
        "%s %s %s %s %s %llu %lldms%s", utc_now_text().c_str(), request.client.c_str(),
        request.method.empty() ? "-" : one_line_text(request.method, 16).c_str(),
        one_line_text(request.path, 200).c_str(),
        exchange->status != 0 ? std::to_string(exchange->status).c_str() : "-",
        static_cast<unsigned long long>(bytes), ms,
        code == MHD_REQUEST_TERMINATED_COMPLETED_OK ? "" : " broken off"));
    std::lock_guard<std::mutex> lock(self->watch_mutex_);
    if (exchange->counted) --self->answering_;
    Watch* watch = exchange->watch;
    if (watch != nullptr && self->watches_.count(watch) != 0 && watch->exchange == exchange) {
      watch->exchange = nullptr;
      watch->reading = true;
      watch->first = false;
      watch->since = Clock::now();
    }
    delete exchange;
    self->watch_changed_.notify_all();
  }

  static MHD_Result finish_request(HttpService* self, MHD_Connection* connection,
                                   Exchange* exchange) {
    {
      std::lock_guard<std::mutex> lock(self->watch_mutex_);
      if (exchange->watch != nullptr && self->watches_.count(exchange->watch) != 0) {
        exchange->watch->reading = false;
      }
      exchange->counted = true;
      ++self->answering_;
    }
    const MHD_ConnectionInfo* fd_info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    if (fd_info != nullptr) exchange->request.client_gone = client_gone_test(fd_info->connect_fd);
    const HttpRequest& request = exchange->request;
    HttpAnswer answer =
        request.target.size() > self->limits_.max_target
            ? self->handler_.error(request, 414,
                                   string_printf("The request's URL is longer than %zu bytes",
                                                 self->limits_.max_target))
        : exchange->too_large
            ? self->handler_.error(request, 413,
                                   string_printf("The request's body is longer than %zu bytes",
                                                 self->limits_.max_body))
            : self->handler_.answer(request);
    exchange->queued = true;
    exchange->status = answer.status;
    MHD_Response* response = nullptr;
    if (answer.stream) {
      auto* reader = new StreamReader{answer.stream, &self->breaking_};
      exchange->stream = answer.stream;
      response = MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, kStreamBlock, read_stream,
                                                   reader, free_stream);
      if (response == nullptr) free_stream(reader);
    } else {
      exchange->body_bytes = answer.body.size();
      response = MHD_create_response_from_buffer(answer.body.size(), answer.body.data(),
                                                 MHD_RESPMEM_MUST_COPY);
    }
    if (response == nullptr) return MHD_NO;
    if (!answer.content_type.empty()) {
      MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, answer.content_type.c_str());
    }
    for (const auto& header : answer.headers) {
      MHD_add_response_header(response, header.first.c_str(), header.second.c_str());
    }
    const MHD_Result queued =
        MHD_queue_response(connection, static_cast<unsigned>(answer.status), response);
    MHD_destroy_response(response);
    return queued;
  }
};

HttpService::HttpService(HttpHandler& handler, const HttpLimits& limits, std::FILE* log)
    : handler_(handler), limits_(limits), log_(log) {}

HttpService::~HttpService() { stop(std::chrono::seconds(0)); }

bool HttpService::start(const ListenAddress& address, std::string* error) {
  sockaddr_in v4{};
  sockaddr_in6 v6{};
  const sockaddr* bind_address = nullptr;
  if (address.ipv6) {
    v6.sin6_family = AF_INET6;
    v6.sin6_port = htons(static_cast<uint16_t>(address.port));
    inet_pton(AF_INET6, address.host.c_str(), &v6.sin6_addr);
    bind_address = reinterpret_cast<const sockaddr*>(&v6);
  } else {
    v4.sin_family = AF_INET;
    v4.sin_port = htons(static_cast<uint16_t>(address.port));
    inet_pton(AF_INET, address.host.c_str(), &v4.sin_addr);
    bind_address = reinterpret_cast<const sockaddr*>(&v4);
  }
  unsigned flags = MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD |
                   MHD_USE_POLL | MHD_USE_ITC;
  if (address.ipv6) flags |= MHD_USE_IPv6;
  daemon_ = MHD_start_daemon(
      flags, static_cast<uint16_t>(address.port), nullptr, nullptr, &Callbacks::access, this,
      MHD_OPTION_SOCK_ADDR, bind_address,
      MHD_OPTION_CONNECTION_LIMIT, limits_.connections,
      MHD_OPTION_PER_IP_CONNECTION_LIMIT, limits_.connections_per_client,
      MHD_OPTION_CONNECTION_MEMORY_LIMIT, limits_.connection_memory,
      MHD_OPTION_CONNECTION_TIMEOUT, limits_.idle_seconds,
      MHD_OPTION_LISTENING_ADDRESS_REUSE, 1U,
      MHD_OPTION_URI_LOG_CALLBACK, &Callbacks::begin, this,
      MHD_OPTION_NOTIFY_COMPLETED, &Callbacks::completed, this,
      MHD_OPTION_NOTIFY_CONNECTION, &Callbacks::connection, this,
      MHD_OPTION_END);
  if (daemon_ == nullptr) {
    *error = "cannot listen on " + listen_url(address) + " (address in use or not available)";
    return false;
  }
  const MHD_DaemonInfo* port = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT);
  port_ = port != nullptr ? port->port : address.port;
  watcher_ = std::thread([this] { watch_requests(); });
  return true;
}

void HttpService::watch_requests() {
  std::unique_lock<std::mutex> lock(watch_mutex_);
  const auto deadline = std::chrono::seconds(limits_.request_seconds);
  while (!stopping_) {
    watch_changed_.wait_for(lock, std::chrono::milliseconds(250));
    const Clock::time_point now = Clock::now();
    for (auto& entry : watches_) {
      Watch& watch = *entry.second;
      if (!watch.reading || watch.cut || watch.fd < 0 || now - watch.since < deadline) continue;
      watch.cut = true;
      // The descriptor is the connection's as long as its watch is listed
      // (closed only after the notice that removes it); the peer is checked
      // all the same before anything is sent or shut.
      sockaddr_storage peer{};
      socklen_t peer_size = sizeof peer;
      if (getpeername(watch.fd, reinterpret_cast<sockaddr*>(&peer), &peer_size) != 0 ||
          peer_size != watch.peer_size || std::memcmp(&peer, &watch.peer, peer_size) != 0) {
        continue;
      }
      // Of the request under way only what was set before its exchange was
      // listed: its connection's thread writes the rest unlocked.
      HttpRequest request;
      if (watch.exchange != nullptr) {
        request.target = watch.exchange->request.target;
        request.path = watch.exchange->request.path;
        request.query = watch.exchange->request.query;
        request.client = watch.exchange->request.client;
        request.received = watch.exchange->request.received;
      }
      if (watch.first) {
        const std::string bytes = raw_answer(handler_.error(
            request, 408,
            string_printf("The request did not arrive whole within %u seconds",
                          limits_.request_seconds)));
        [[maybe_unused]] const ssize_t sent =
            send(watch.fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
      }
      shutdown(watch.fd, SHUT_RDWR);
      log(string_printf("%s %s - - 408 0 %ums request not whole in time; connection closed",
                        utc_now_text().c_str(),
                        address_text(reinterpret_cast<const sockaddr*>(&peer)).c_str(),
                        limits_.request_seconds * 1000));
    }
  }
}

void HttpService::stop(std::chrono::seconds drain) {
  if (daemon_ == nullptr) return;
  listen_socket_ = MHD_quiesce_daemon(daemon_);
  // Closed only after the daemon has stopped (a thread of it may still hold
  // it), but refusing connections at once: a client is told now rather
  // than left waiting in the backlog.
  if (listen_socket_ >= 0) shutdown(listen_socket_, SHUT_RDWR);
  {
    std::unique_lock<std::mutex> lock(watch_mutex_);
    watch_changed_.wait_for(lock, drain, [this] { return answering_ == 0; });
    stopping_ = true;
    watch_changed_.notify_all();
  }
  breaking_ = true;
  watcher_.join();
  MHD_stop_daemon(daemon_);
  daemon_ = nullptr;
  if (listen_socket_ >= 0) close(listen_socket_);
  listen_socket_ = -1;
}

void HttpService::log(const std::string& line) {
  std::lock_guard<std::mutex> lock(log_mutex_);
  const std::string whole = line + "\n";
  std::fwrite(whole.data(), 1, whole.size(), log_);
  std::fflush(log_);
}

}  // namespace kalvynex
