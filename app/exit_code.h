// The result of a run, which is also the process exit status. The negative
// codes reach a calling shell as 255 (-1) down to 251 (-5).
#ifndef KALVYNEX_APP_EXIT_CODE_H_
#define KALVYNEX_APP_EXIT_CODE_H_

namespace kalvynex {

enum class ExitCode : int {
  Success = 0,
  BadSelect = -1,          // SELECT= missing, incomplete or with a code too long
  ConnectFailed = -2,      // the data source refused the connection
  TableOrLoadFailed = -3,  // CALIBRATION or a column missing, or the channel's load failed
  UnexpectedFailure = -4,  // a failure outside every stage (say, memory running out
                           // while the arguments are read); the usage screen's
                           // "failed query", which no stage returns
  SaveFailed = -5,         // the output file could not be written
  NotFound = 1,            // no calibration of the channel (at the date)
  NoSacData = 2,           // -SAC asked, the SAC text is empty
  NoFapData = 3,           // -FAP asked, the FAP text is empty
  NoResponseData = 4,      // neither text stored
};

}  // namespace kalvynex

#endif  // KALVYNEX_APP_EXIT_CODE_H_
