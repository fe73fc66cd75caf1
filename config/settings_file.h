// Reader of INI-style settings files ("kalvynex.ini", "qev.ini").
//
// Written here because the format is the one of the Windows profile reader
// (first match wins, later duplicate sections ignored, 1023-byte values),
// which no Debian INI library reproduces rule for rule.
//
// Rules: "[name]" starts a section, its name running up to the first "]"
// (the rest of that line is ignored); "key=value" lines; section and key
// names are compared without regard to case; blanks around names and values
// are trimmed, and one pair of matching quotes (" or ') around a whole value
// is dropped; lines starting with ";" or "#" are comments, and a line without
// "=" is passed over. The first occurrence of a key in the first section of
// that name wins; a later section of the same name is not read. Lines may end
// in LF or CR LF; a UTF-8 byte order mark at the start is skipped. A missing
// file, section or key gives the default; so does a file that is no regular
// file (a FIFO, a device, a directory). Of a line, at most 2048 bytes are
// kept (a key and a whole value); the rest is read and dropped. The files
// are opened anew for every
// lookup and never written.
#ifndef KALVYNEX_CONFIG_SETTINGS_FILE_H_
#define KALVYNEX_CONFIG_SETTINGS_FILE_H_

#include <cstddef>
#include <string>

namespace kalvynex {

// True when `path` is a regular file that can be opened for reading. Any
// other kind of file (a FIFO, a device, a directory) counts as missing for
// the settings readers.
bool is_readable_regular_file(const std::string& path);

// Values read from a settings file are cut to this many bytes.
constexpr std::size_t kMaxSettingsValueLength = 1023;

// The value of `key` in `section` of the file at `path`, or `default_value`.
// An empty path names no file.
std::string read_settings_string(const std::string& path,
                                 const std::string& section,
                                 const std::string& key,
                                 const std::string& default_value);

// The value of `key` read as an integer by the atoi rule (clamped to the
// range of int), or `default_value` when the key is missing.
int read_settings_int(const std::string& path, const std::string& section,
                      const std::string& key, int default_value);

}  // namespace kalvynex

#endif  // KALVYNEX_CONFIG_SETTINGS_FILE_H_
