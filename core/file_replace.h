// Putting a whole file in place or nothing, as core/replacement_file
// describes: kalvynex writes its response file this way.
#ifndef KALVYNEX_CORE_FILE_REPLACE_H_
#define KALVYNEX_CORE_FILE_REPLACE_H_

#include <string>

#include "core/file_calls.h"
#include "core/file_status.h"

namespace kalvynex {

// Writes `contents` into a new file for `path` and puts it in place once
// complete and on disk; a device, FIFO or socket at `path` is written in
// place. On failure an existing file at `path` is left as it was and no
// temporary file remains. An existing file is replaced only when this
// process may write it (else EACCES), and the new file keeps its permission
// bits; a new file is read and write as the umask allows. The directory is
// never created.
FileStatus replace_file(const std::string& path, const std::string& contents,
                        FileCalls& calls = system_file_calls());

}  // namespace kalvynex

#endif  // KALVYNEX_CORE_FILE_REPLACE_H_
