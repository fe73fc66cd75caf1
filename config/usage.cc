#include "config/usage.h"

#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <clocale>
#include <cstdarg>
#include <vector>

namespace kalvynex {
namespace {

constexpr char kBanner[] = "Kalvynex v1.4.3";

// printf into the end of `out`.
__attribute__((format(printf, 2, 3)))
void append_format(std::string* out, const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list measure;
  va_copy(measure, args);
  const int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length > 0) {
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    out->append(buffer.data(), static_cast<std::size_t>(length));
  }
  va_end(args);
}

// The name under which iconv knows a Cyrillic single-byte charset reported
// by nl_langinfo(CODESET), or empty when `codeset` is none of them.
std::string cyrillic_iconv_name(const std::string& codeset) {
  // Compared in upper case without "-" and "_", so that CP866, cp-866 and
  // IBM_866 are one name.
  std::string key;
  for (char c : codeset) {
    if (c == '-' || c == '_') continue;
    key += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  struct Alias {
    const char* key;
    const char* iconv_name;
  };
  static const Alias kAliases[] = {
      {"CP866", "CP866"},           {"IBM866", "CP866"},
      {"866", "CP866"},             {"CSIBM866", "CP866"},
      {"KOI8R", "KOI8-R"},          {"CSKOI8R", "KOI8-R"},
      {"KOI8U", "KOI8-U"},          {"CP1251", "CP1251"},
      {"WINDOWS1251", "CP1251"},    {"MSCYRL", "CP1251"},
      {"ISO88595", "ISO-8859-5"},   {"ISOIR144", "ISO-8859-5"},
      {"CYRILLIC", "ISO-8859-5"},
  };
  for (const Alias& alias : kAliases) {
    if (key == alias.key) return alias.iconv_name;
  }
  return std::string();
}

// Length of the UTF-8 sequence that begins with `lead`; 1 for a byte that
// cannot begin one, so that a broken byte is stepped over alone.
std::size_t utf8_sequence_length(unsigned char lead) {
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
  if (lead >= 0xC2) return 2;
  return 1;
}

// `utf8` converted with iconv into `target`; a character that the target
// cannot hold (even transliterated) becomes "?". Empty result with
// *ok == false when iconv does not know the target.
std::string convert_with_iconv(const std::string& utf8, const std::string& target,
                               bool* ok) {
  *ok = false;
  const std::string to = target + "//TRANSLIT";
  iconv_t cd = iconv_open(to.c_str(), "UTF-8");
  // iconv_open reports failure as (iconv_t)-1; the cast names that value.
  if (cd == reinterpret_cast<iconv_t>(-1)) {  // NOLINT(performance-no-int-to-ptr)
    return std::string();
  }

  std::string input = utf8;  // iconv wants a non-const input pointer
  char* in = input.empty() ? nullptr : &input[0];
  std::size_t in_left = input.size();
  std::string result;
  std::vector<char> buffer(4096);

  while (in_left > 0) {
    char* out = buffer.data();
    std::size_t out_left = buffer.size();
    const std::size_t rc = iconv(cd, &in, &in_left, &out, &out_left);
    result.append(buffer.data(), buffer.size() - out_left);
    if (rc != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) continue;  // buffer full: emptied above, go on
    // EILSEQ (no such character in the target) or EINVAL (a sequence cut
    // at the end): put a mark in its place and step over it.
    result += '?';
    iconv(cd, nullptr, nullptr, nullptr, nullptr);  // reset the shift state
    std::size_t skip = utf8_sequence_length(static_cast<unsigned char>(*in));
    if (skip > in_left) skip = in_left;
    in += skip;
    in_left -= skip;
  }
  iconv_close(cd);
  *ok = true;
  return result;
}

}  // namespace

std::string usage_text() {
  // The screen is built step by step with the formats in which it was first
  // laid out: indentation comes from empty texts in fixed-width fields, the
  // parameter names are padded so that their descriptions line up.
  std::string s;
  const char* const e = "";  // the empty text of the indentation fields

  append_format(&s, "%s\n", "Описание:");
  append_format(&s, "  %s%s\n", kBanner,
                " - Программа сохраняет в файл АЧХ из базы данных (таблица "
                "CALIBRATION, поля SAC и FAP) в указанном формате.");
  append_format(&s, "\n%s\n", "Примечания:");
  append_format(&s, "  %s\n",
                "В поле SAC хранится прямая характеристика по смещению в Count/М");
  append_format(&s, "  %s\n",
                "В поле FAP хранится обратная характеристика по смещению в мкМ/Count");
  append_format(&s, "  %s\n",
                "В SAC-файл сохраняется прямая скоростная характеристика в "
                "Count/(М/сек)");
  append_format(&s, "  %s\n", "В FAP-файл сохраняется характеристика в формате GSE2");
  append_format(&s, "\n%s\n  kalvynex.exe select=STA:CHAN:NETWORK:LOCATION\n",
                "Использование:");
  // This step ends without a line end: the next text continues its line.
  append_format(&s, "\n%s\n%-2sSELECT=STA:CHAN:NETWORK:LOCATION",
                "Обязательные параметры:", e);
  s += " - Описывает выгружаемую хар-ку, где:\n";
  append_format(&s, "%-4s%-8s - %s\n", e, "STA", "Код станции в таблице CALIBRATION");
  append_format(&s, "%-4s%-8s - %s\n", e, "CHAN", "Код канала в таблице CALIBRATION");
  append_format(&s, "%-4s%-8s - %s\n", e, "NETWORK", "Код сети в таблице CALIBRATION");
  append_format(&s, "%-4s%-8s - %s\n", e, "LOCATION",
                "Код расположения в таблице CALIBRATION");

  append_format(&s, "\n%s\n", "Дополнительные параметры:");
  append_format(&s, "%-2s%-10s%s\n", e, "ODBC=", " - Имя источника данных ODBC");
  append_format(&s, "%-2s%-10s%s\n", e, "USER=", " - Имя пользователя");
  append_format(&s, "%-2s%-10s%s\n", e, "PASSWORD=", " - Пароль пользователя");
  append_format(&s, "%-2s%-10s%s\n", e, "OUT_DIR=",
                " - Путь к каталогу с выгружаемыми данными");
  append_format(&s, "%-2s%-10s%s\n", e, "DATE=",
                " - Время характеристики в формате (ГГГГ:ММ:ДД чч:мм:сс),");
  // The continuation line takes its line end from its text.
  append_format(&s, "%-15s%s", e,
                "где обязательной частью является год в формате (ГГГГ)\n");
  append_format(&s, "%-2s%-10s%s\n", e, "-FAP",
                " - Выгрузить характеристику в хранящуююся в поле FAP");
  append_format(&s, "%-2s%-10s%s\n", e, "/FAP", " - Работает аналогично ключу -FAP");
  append_format(&s, "%-2s%-10s%s\n", e, "-SAC",
                " - Выгрузить характеристику в хранящуююся в поле SAC");
  append_format(&s, "%-2s%-10s%s\n", e, "/SAC", " - Работает аналогично ключу -SAC");
  append_format(&s, "%-2s%-10s%s\n", e, "TYPE=",
                " - Работает аналогично параметру TYPE_OUT");
  append_format(&s, "%-2s%-10s%s\n", e, "TYPE_OUT=",
                " - Выгрузить характеристику в формате:");
  append_format(&s, "%-4s%-18s%s\n", e, "TYPE_OUT=QEV",
                " - Формат QEV (Смещение, Обратная, мкМ/Count)");
  append_format(&s, "%-4s%-18s%s\n", e, "TYPE_OUT=GSE2",
                " - Формат GSE2 (Скорость, Прямая, Count/(нМ/сек))");
  append_format(&s, "%-4s%-18s%s\n", e, "TYPE_OUT=n1,n2,n3",
                " - Произвольный формат, где: ");
  append_format(&s, "%-6sn1%s\n", e, " = {0,1,2} => {Смещение, Скорость, Ускорение}");
  append_format(&s, "%-6sn2%s\n", e, " = {0,1} => {Прямая, Обратная}");
  append_format(&s, "%-6sn3%s\n", e,
                " = Порядок характеристики. Например: мкМ => -6, нМ => -9");
  append_format(&s, "%-3s%s\n", e,
                "В SAC-формате учитывается ТОЛЬКО 1-ый параметр произвольного "
                "формата, т.к.");
  append_format(&s, "%-3s%s\n", e,
                " для SAC-формата ВСЕГДА прямая характеристка в метрах.");
  append_format(&s, "%-3s%s\n", e,
                "Значения по умолчанию: GSE2 (для FAP) и Скоростная "
                "характеристки (для SAC)");

  append_format(&s, "\n%s\n", "Возвращаемые значения:");
  append_format(&s, "%-2s%-3s%s\n", e, "0", " => Операция успешно завершена");
  append_format(&s, "%-2s%-3s%s\n", e, "-1",
                " => Ошибка ввода обязательного параметра SELECT=");
  append_format(&s, "%-2s%-3s%s\n", e, "-2", " => Ошибка подключения к базе данных");
  append_format(&s, "%-2s%-3s%s\n", e, "-3", " => Ошибка проверки таблицы CALIBRATION");
  append_format(&s, "%-2s%-3s%s\n", e, "-4", " => Ошибка выборки из базы данных");
  append_format(&s, "%-2s%-3s%s\n", e, "-5",
                " => Ошибка сохранения характеристики в файл");
  append_format(&s, "%-2s%-3s%s\n", e, "1",
                " => В базе данных отсутствует информация по данному запросу");
  append_format(&s, "%-2s%-3s%s\n", e, "2",
                " => В базе данных не заполнено поле SAC для данного запроса");
  append_format(&s, "%-2s%-3s%s\n", e, "3",
                " => В базе данных не заполнено поле FAP для данного запроса");
  append_format(&s, "%-2s%-3s%s\n", e, "4",
                " => В базе данных не заполнены поля SAC и FAP для данного запроса");
  return s;
}

std::string to_console_charset(const std::string& utf8, const std::string& codeset) {
  // UTF-8, ASCII (the C locale) and unknown charsets get the UTF-8 bytes:
  // the Latin text stays readable in every case.
  const std::string target = cyrillic_iconv_name(codeset);
  if (target.empty()) return utf8;
  bool ok = false;
  std::string converted = convert_with_iconv(utf8, target, &ok);
  return ok ? converted : utf8;
}

void print_usage(std::FILE* out) {
  // The console's charset comes from the user's locale; only LC_CTYPE is
  // taken from it, so number formatting elsewhere is not affected.
  std::setlocale(LC_CTYPE, "");
  const char* codeset = nl_langinfo(CODESET);
  const std::string text =
      to_console_charset(usage_text(), codeset != nullptr ? codeset : "");
  // A failed write is not reported: the run ends with 0 in any case.
  std::fwrite(text.data(), 1, text.size(), out);
  std::fflush(out);
}

}  // namespace kalvynex
