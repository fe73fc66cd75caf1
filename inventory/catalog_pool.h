// The station service's database connections: a fixed number of catalogs,
// each lent to one request at a time. A catalog is connected when it is
// first lent (and its table checked); one whose call failed is dropped and
// connected anew when it is next lent, so that the service comes back by
// itself after the database was away.
#ifndef KALVYNEX_INVENTORY_CATALOG_POOL_H_
#define KALVYNEX_INVENTORY_CATALOG_POOL_H_

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "core/connection_parameters.h"
#include "core/status.h"
#include "db/period_catalog.h"

namespace kalvynex {

// How long a request of the station service waits for a free catalog.
constexpr std::chrono::seconds kLeaseWait(10);
// How often a waiting request asks whether it still wants the catalog.
constexpr std::chrono::milliseconds kAbandonCheck(250);

class CatalogPool {
 public:
  using Factory = std::function<std::unique_ptr<PeriodCatalog>()>;

  // `size` catalogs made by `factory`, connected with `parameters`.
  CatalogPool(std::size_t size, ConnectionParameters parameters, Factory factory);
  CatalogPool(const CatalogPool&) = delete;
  CatalogPool& operator=(const CatalogPool&) = delete;

  // One catalog, lent until the lease goes.
  class Lease {
   public:
    Lease() = default;
    Lease(Lease&& other) noexcept { *this = std::move(other); }
    Lease& operator=(Lease&& other) noexcept;
    ~Lease();

    explicit operator bool() const { return pool_ != nullptr; }

    // Connects the catalog and checks its table unless that was done and
    // nothing failed since; the failure (stage kConnect, kFindTable, ...)
    // otherwise, and the catalog is dropped.
    Status ready();
    PeriodCatalog& catalog();
    // A call on the catalog failed: it is dropped and connected anew when
    // next lent.
    void discard();

   private:
    friend class CatalogPool;
    CatalogPool* pool_ = nullptr;
    std::size_t slot_ = 0;
  };

  // A free catalog, waiting at most `wait` for one. Requests are served in
  // the order they asked: a catalog given back goes to the one that has
  // waited longest, never to a later one. An empty lease when none became
  // free in time, or once `abandon` (asked every kAbandonCheck while
  // waiting) says the wait is no longer wanted.
  Lease acquire(std::chrono::milliseconds wait, const std::function<bool()>& abandon = {});

  std::size_t size() const { return slots_.size(); }

 private:
  struct Slot {
    std::unique_ptr<PeriodCatalog> catalog;  // nullptr: to be made
    bool ready = false;
    bool lent = false;
  };

  // A request waiting for a catalog; `slot` is set when one is handed to it.
  struct Waiter {
    std::condition_variable served;
    std::optional<std::size_t> slot;
  };

  void give_back(std::size_t slot);

  const ConnectionParameters parameters_;
  const Factory factory_;
  std::mutex mutex_;
  std::vector<Slot> slots_;
  std::deque<Waiter*> waiting_;  // oldest first
};

}  // namespace kalvynex

#endif  // KALVYNEX_INVENTORY_CATALOG_POOL_H_
