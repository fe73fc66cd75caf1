// What a connection to the calibration database needs, as both programs
// gather it from their settings.
#ifndef KALVYNEX_CORE_CONNECTION_PARAMETERS_H_
#define KALVYNEX_CORE_CONNECTION_PARAMETERS_H_

#include <string>

namespace kalvynex {

// Seconds that a login, and a query of a stage, may take by default.
constexpr int kDefaultLoginTimeout = 30;
constexpr int kDefaultQueryTimeout = 300;

// Empty user and password are passed as empty strings. A timeout of 0 means
// none.
struct ConnectionParameters {
  std::string data_source;
  std::string user;
  std::string password;
  int login_timeout = kDefaultLoginTimeout;  // seconds for the connection
  int query_timeout = kDefaultQueryTimeout;  // seconds for each stage's queries
};

}  // namespace kalvynex

#endif  // KALVYNEX_CORE_CONNECTION_PARAMETERS_H_
