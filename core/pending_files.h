// The names of the temporary files that exist on disk while a writer puts
// a file in place, listed so that a signal that ends the process can remove
// them first. The list is a fixed table of atomic pointers: listing and
// unlisting take no lock, and remove_pending_files() neither allocates nor
// locks, so a signal handler may call it.
#ifndef KALVYNEX_CORE_PENDING_FILES_H_
#define KALVYNEX_CORE_PENDING_FILES_H_

#include <cstddef>
#include <memory>
#include <string>

namespace kalvynex {

// How many names may be listed at once; a batch of files never holds more
// than its file limit.
constexpr std::size_t kPendingFileSlots = 1024;

// One listed name: listed from construction to destruction (or until it is
// replaced by a move). Its text lives on the heap, so moving the object
// keeps the listed pointer valid.
class PendingName {
 public:
  PendingName() = default;
  // Lists `name`; when all slots are taken the name is kept but not listed.
  explicit PendingName(const std::string& name);
  ~PendingName() { unlist(); }
  PendingName(PendingName&& other) noexcept;
  PendingName& operator=(PendingName&& other) noexcept;
  PendingName(const PendingName&) = delete;
  PendingName& operator=(const PendingName&) = delete;

  const char* c_str() const { return name_ ? name_.get() : ""; }
  bool empty() const { return !name_; }
  bool listed() const { return slot_ >= 0; }

 private:
  void unlist();

  std::unique_ptr<char[]> name_;
  int slot_ = -1;
};

// Removes every listed file and empties the list. Async-signal-safe: the
// handler of a signal that ends the process calls it (core/process_guard).
void remove_pending_files();

}  // namespace kalvynex

#endif  // KALVYNEX_CORE_PENDING_FILES_H_
