// kalvynex's exit statuses as a calling shell sees them.
#ifndef KALVYNEX_TESTS_SUPPORT_EXIT_STATUS_H_
#define KALVYNEX_TESTS_SUPPORT_EXIT_STATUS_H_

namespace kalvynex {

constexpr int kBadSelect = 255;          // -1
constexpr int kConnectFailed = 254;      // -2
constexpr int kTableOrLoadFailed = 253;  // -3
constexpr int kUnexpectedFailure = 252;  // -4
constexpr int kSaveFailed = 251;         // -5

}  // namespace kalvynex

#endif  // KALVYNEX_TESTS_SUPPORT_EXIT_STATUS_H_
