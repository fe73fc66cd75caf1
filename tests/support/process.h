// Runs a program as a child process and collects what it printed.
#ifndef KALVYNEX_TESTS_SUPPORT_PROCESS_H_
#define KALVYNEX_TESTS_SUPPORT_PROCESS_H_

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kalvynex {

struct ProcessOptions {
  // Environment changes: a value sets the variable, std::nullopt removes it.
  std::map<std::string, std::optional<std::string>> environment;
  // Working directory of the child; empty keeps the parent's.
  std::string working_directory;
  // Argument 0 as the child sees it; empty means the program path.
  std::string argument0;
  // Runs in the child just before exec (resource limits, signals, users).
  std::function<void()> before_exec;
};

struct ProcessResult {
  long pid = 0;          // the child's process id
  int exit_status = -1;  // 0-255, or 128 + signal number when killed
  std::string out;       // everything written to standard output
  std::string err;       // everything written to standard error
};

// Starts `program` with `arguments` (argument 0 excluded) and waits for it.
// When KALVYNEX_TEST_PIDS names a file, the child's process id is appended
// to it as a line of its own (the test command's check for driver logs left
// behind counts the logs of those processes only).
ProcessResult run_process(const std::string& program, const std::vector<std::string>& arguments,
                          const ProcessOptions& options = {});

// The text of the command line of process `pid`, arguments joined by NULs.
std::string command_line_of(const std::string& pid);

// The process ids whose command line holds `mark`.
std::vector<std::string> processes_with(const std::string& mark);

// Sends `signal_number` to the process whose command line holds `mark` as
// soon as it holds a file under `directory` open (named or unnamed), while
// `running` says the process may still be there. Whether it was sent.
bool signal_while_writing(const std::string& mark, const std::string& directory,
                          int signal_number, const std::function<bool()>& running);

}  // namespace kalvynex

#endif  // KALVYNEX_TESTS_SUPPORT_PROCESS_H_
