// What both programs do first: fill closed standard descriptors and let
// the signals that end a run remove the writers' temporary files first.
#ifndef KALVYNEX_CORE_PROCESS_GUARD_H_
#define KALVYNEX_CORE_PROCESS_GUARD_H_

namespace kalvynex {

// Which of the descriptors 0, 1 and 2 were closed when the process started.
struct ClosedDescriptors {
  bool input = false;
  bool output = false;
  bool error = false;
};

// Started with descriptor 0, 1 or 2 closed, the next file or socket opened
// would take its place: a report meant for standard output would go into a
// database connection or an output file. /dev/null fills every gap.
ClosedDescriptors fill_standard_descriptors();

// SIGINT, SIGTERM and SIGHUP end the run as they would have, after removing
// every named temporary file of a writer (core/pending_files): the signal's
// default action then gives the caller the conventional status 128 +
// signal. A signal ignored by whoever started the process stays ignored.
void handle_ending_signals();

// For a program that stops in its own time (the station service): from
// this call on, SIGINT, SIGTERM and SIGHUP no longer end the process; each
// writes a byte into a pipe whose reading end is returned (-1 when no pipe
// could be made), and the caller, watching it, finishes its work and exits.
// A second such signal ends the process as handle_ending_signals would. A
// signal ignored by whoever started the process stays ignored.
int stop_signal_descriptor();

// SIGPIPE ignored: a write to a socket or pipe whose reader has gone fails
// with EPIPE, to be handled as any failed write, instead of ending the
// process.
void ignore_broken_pipe();

}  // namespace kalvynex

#endif  // KALVYNEX_CORE_PROCESS_GUARD_H_
