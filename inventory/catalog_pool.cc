#include "inventory/catalog_pool.h"

#include <algorithm>
#include <utility>

namespace kalvynex {

CatalogPool::CatalogPool(std::size_t size, ConnectionParameters parameters, Factory factory)
    : parameters_(std::move(parameters)), factory_(std::move(factory)), slots_(size) {}

CatalogPool::Lease& CatalogPool::Lease::operator=(Lease&& other) noexcept {
  if (this != &other) {
    if (pool_ != nullptr) pool_->give_back(slot_);
    pool_ = other.pool_;
    slot_ = other.slot_;
    other.pool_ = nullptr;
  }
  return *this;
}

CatalogPool::Lease::~Lease() {
  if (pool_ != nullptr) pool_->give_back(slot_);
}

// A lent slot is touched by its lease's holder only: no lock needed.
Status CatalogPool::Lease::ready() {
  Slot& slot = pool_->slots_[slot_];
  if (slot.ready) return Status();
  // A catalog that failed is dropped whole, its connection with it.
  slot.catalog = pool_->factory_();
  Status status = slot.catalog->connect(pool_->parameters_);
  if (status.ok()) status = slot.catalog->check_table();
  if (status.ok()) {
    slot.ready = true;
  } else {
    slot.catalog.reset();
  }
  return status;
}

PeriodCatalog& CatalogPool::Lease::catalog() { return *pool_->slots_[slot_].catalog; }

void CatalogPool::Lease::discard() {
  Slot& slot = pool_->slots_[slot_];
  slot.ready = false;
  slot.catalog.reset();
}

CatalogPool::Lease CatalogPool::acquire(std::chrono::milliseconds wait,
                                        const std::function<bool()>& abandon) {
  using Clock = std::chrono::steady_clock;
  std::unique_lock<std::mutex> lock(mutex_);
  Lease lease;
  if (waiting_.empty()) {  // nobody asked before
    for (std::size_t i = 0; i < slots_.size(); ++i) {
      if (slots_[i].lent) continue;
      slots_[i].lent = true;
      lease.pool_ = this;
      lease.slot_ = i;
      return lease;
    }
  }
  Waiter waiter;
  waiting_.push_back(&waiter);
  const Clock::time_point until = Clock::now() + wait;
  while (!waiter.slot) {
    const Clock::time_point now = Clock::now();
    if (now >= until) break;
    waiter.served.wait_for(lock, std::min<Clock::duration>(until - now, kAbandonCheck));
    if (waiter.slot || !abandon) continue;
    lock.unlock();
    const bool abandoned = abandon();
    lock.lock();
    if (abandoned) break;
  }
  if (waiter.slot) {
    lease.pool_ = this;
    lease.slot_ = *waiter.slot;
  } else {
    waiting_.erase(std::find(waiting_.begin(), waiting_.end(), &waiter));
  }
  return lease;
}

void CatalogPool::give_back(std::size_t slot) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (waiting_.empty()) {
    slots_[slot].lent = false;
    return;
  }
  // Handed over as it is, still lent.
  Waiter* first = waiting_.front();
  waiting_.pop_front();
  first->slot = slot;
  first->served.notify_one();
}

}  // namespace kalvynex
