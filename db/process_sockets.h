// The sockets of this process, and the one means of freeing a driver that
// waits on a peer that no longer answers: shutting its socket down wakes
// every call blocked on it, which then fails with the driver's own text.
#ifndef KALVYNEX_DB_PROCESS_SOCKETS_H_
#define KALVYNEX_DB_PROCESS_SOCKETS_H_

#include <set>

namespace kalvynex {

// The descriptors of this process that are sockets.
std::set<int> open_sockets();

// The sockets open now that were not in `before`.
std::set<int> sockets_opened_since(const std::set<int>& before);

// Shuts down both directions of each socket (a connect still under way
// ends too); the descriptors stay open for their owners to close.
void shut_down_sockets(const std::set<int>& sockets);

}  // namespace kalvynex

#endif  // KALVYNEX_DB_PROCESS_SOCKETS_H_
