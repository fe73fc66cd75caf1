#include "core/pending_files.h"

#include <unistd.h>

#include <atomic>
#include <cstring>

namespace kalvynex {

namespace {

std::atomic<const char*> slots[kPendingFileSlots];

}  // namespace

PendingName::PendingName(const std::string& name) : name_(new char[name.size() + 1]) {
  std::memcpy(name_.get(), name.c_str(), name.size() + 1);
  for (std::size_t i = 0; i < kPendingFileSlots; ++i) {
    const char* expected = nullptr;
    if (slots[i].compare_exchange_strong(expected, name_.get())) {
      slot_ = static_cast<int>(i);
      return;
    }
  }
}

PendingName::PendingName(PendingName&& other) noexcept
    : name_(std::move(other.name_)), slot_(other.slot_) {
  other.slot_ = -1;
}

PendingName& PendingName::operator=(PendingName&& other) noexcept {
  if (this != &other) {
    unlist();
    name_ = std::move(other.name_);
    slot_ = other.slot_;
    other.slot_ = -1;
  }
  return *this;
}

void PendingName::unlist() {
  if (slot_ < 0) return;
  // remove_pending_files() takes a name out of its slot before it removes
  // the file. Finding the slot empty means that it may be using the text
  // right now (a signal handled on another thread): the text is left to it.
  if (slots[slot_].exchange(nullptr) == nullptr) static_cast<void>(name_.release());
  slot_ = -1;
}

void remove_pending_files() {
  for (std::atomic<const char*>& slot : slots) {
    const char* name = slot.exchange(nullptr);
    if (name != nullptr) ::unlink(name);
  }
}

}  // namespace kalvynex
