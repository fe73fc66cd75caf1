#include "db/process_sockets.h"

#include <dirent.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <cstdlib>

namespace kalvynex {

std::set<int> open_sockets() {
  std::set<int> sockets;
  DIR* dir = opendir("/proc/self/fd");
  if (dir == nullptr) return sockets;
  const int own = dirfd(dir);
  while (const dirent* entry = readdir(dir)) {
    char* end = nullptr;
    const long fd = std::strtol(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != '\0' || fd == own) continue;
    struct stat st {};
    if (fstat(static_cast<int>(fd), &st) == 0 && S_ISSOCK(st.st_mode)) {
      sockets.insert(static_cast<int>(fd));
    }
  }
  closedir(dir);
  return sockets;
}

std::set<int> sockets_opened_since(const std::set<int>& before) {
  std::set<int> opened;
  for (const int fd : open_sockets()) {
    if (before.count(fd) == 0) opened.insert(fd);
  }
  return opened;
}

void shut_down_sockets(const std::set<int>& sockets) {
  for (const int fd : sockets) shutdown(fd, SHUT_RDWR);
}

}  // namespace kalvynex
