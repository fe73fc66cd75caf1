// Runs one command as a child process and reports its wall time and peak
// resident memory:
//
//   runner COMMAND [ARGS...]
//
// prints "<wall seconds> <peak RSS in KiB> <exit status> <CPU seconds>" on
// standard output, the CPU time being user plus system time of the child.
// The child's standard output and error go to /dev/null. The wall time runs
// from just before fork to the return of wait4, so it covers exec, dynamic
// loading and process teardown. The peak RSS is ru_maxrss of that one child,
// taken from wait4.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: runner COMMAND [ARGS...]\n");
    return 1;
  }
  timespec before{}, after{};
  clock_gettime(CLOCK_MONOTONIC, &before);
  const pid_t pid = fork();
  if (pid < 0) {
    std::perror("runner: fork");
    return 1;
  }
  if (pid == 0) {
    const int null_fd = open("/dev/null", O_WRONLY);
    if (null_fd >= 0) {
      dup2(null_fd, STDOUT_FILENO);
      dup2(null_fd, STDERR_FILENO);
      close(null_fd);
    }
    execvp(argv[1], argv + 1);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  pid_t waited;
  do {
    waited = wait4(pid, &status, 0, &usage);
  } while (waited < 0 && errno == EINTR);
  clock_gettime(CLOCK_MONOTONIC, &after);
  if (waited < 0) {
    std::perror("runner: wait4");
    return 1;
  }
  const double wall = static_cast<double>(after.tv_sec - before.tv_sec) +
                      static_cast<double>(after.tv_nsec - before.tv_nsec) * 1e-9;
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
  std::printf("%.6f %ld %d %.6f\n", wall, usage.ru_maxrss, code, cpu);
  return 0;
}
