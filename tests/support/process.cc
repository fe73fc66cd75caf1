#include "tests/support/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace kalvynex {

namespace {

void drain(int fds[2], std::string* out, std::string* err) {
  pollfd polls[2] = {{fds[0], POLLIN, 0}, {fds[1], POLLIN, 0}};
  std::string* sinks[2] = {out, err};
  int open_count = 2;
  char buffer[65536];
  while (open_count > 0) {
    if (poll(polls, 2, -1) < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error("poll failed");
    }
    for (int i = 0; i < 2; ++i) {
      if (polls[i].fd < 0 || polls[i].revents == 0) continue;
      const ssize_t n = read(polls[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        close(polls[i].fd);
        polls[i].fd = -1;
        --open_count;
      }
    }
  }
}

// One line "<pid>\n" appended to the file KALVYNEX_TEST_PIDS names, in one
// write, so that tests running side by side do not mix their lines.
void record_pid(pid_t pid) {
  const char* const file = getenv("KALVYNEX_TEST_PIDS");
  if (file == nullptr || *file == '\0') return;
  const std::string line = std::to_string(pid) + "\n";
  const int fd = open(file, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  const bool written =
      fd >= 0 && write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
  if (fd >= 0) close(fd);
  // The child runs already; the test goes on, and the check is told.
  if (!written) {
    std::fprintf(stderr, "cannot record process %ld in %s\n", static_cast<long>(pid), file);
  }
}

}  // namespace

ProcessResult run_process(const std::string& program, const std::vector<std::string>& arguments,
                          const ProcessOptions& options) {
  int out_pipe[2], err_pipe[2];
  if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0) throw std::runtime_error("pipe failed");

  std::vector<std::string> argv_text;
  argv_text.push_back(options.argument0.empty() ? program : options.argument0);
  argv_text.insert(argv_text.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);

  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(out_pipe[1], STDOUT_FILENO);
    dup2(err_pipe[1], STDERR_FILENO);
    close(out_pipe[0]);
    close(out_pipe[1]);
    close(err_pipe[0]);
    close(err_pipe[1]);
    for (const auto& [name, value] : options.environment) {
      if (value) {
        setenv(name.c_str(), value->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
    if (!options.working_directory.empty() && chdir(options.working_directory.c_str()) != 0) {
      _exit(126);
    }
    if (options.before_exec) options.before_exec();
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  record_pid(pid);

  ProcessResult result;
  result.pid = pid;
  int fds[2] = {out_pipe[0], err_pipe[0]};
  drain(fds, &result.out, &result.err);

  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) throw std::runtime_error("waitpid failed");
  }
  result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

std::string command_line_of(const std::string& pid) {
  // The process may end while it is read: what was read is kept.
  std::string text;
  const int fd = ::open(("/proc/" + pid + "/cmdline").c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return text;
  char buffer[4096];
  ssize_t n = 0;
  while ((n = ::read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(n));
  ::close(fd);
  return text;
}

std::vector<std::string> processes_with(const std::string& mark) {
  std::vector<std::string> found;
  DIR* dir = opendir("/proc");
  if (dir == nullptr) return found;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    if (command_line_of(name).find(mark) != std::string::npos) found.push_back(name);
  }
  closedir(dir);
  return found;
}

bool signal_while_writing(const std::string& mark, const std::string& directory,
                          int signal_number, const std::function<bool()>& running) {
  while (running()) {
    for (const std::string& pid : processes_with(mark)) {
      std::error_code error;
      for (const auto& entry : std::filesystem::directory_iterator("/proc/" + pid + "/fd", error)) {
        const std::string link = std::filesystem::read_symlink(entry.path(), error).string();
        if (link.rfind(directory + "/", 0) == 0) return kill(std::stoi(pid), signal_number) == 0;
      }
    }
  }
  return false;
}

}  // namespace kalvynex
