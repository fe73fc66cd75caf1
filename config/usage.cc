#include "config/usage.h"

#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <clocale>
#include <vector>

namespace kalvynex {
namespace {

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

// The screen in UTF-8, one raw text with the version put in from the build.
// Note the blank at the end of the line "Произвольный формат, где: ": it
// belongs to the screen.
constexpr char kUsageScreen[] = R"(Описание:
  Kalvynex v)" KALVYNEX_VERSION R"( - Программа сохраняет в файл АЧХ из базы данных (таблица CALIBRATION, поля SAC и FAP) в указанном формате.

Примечания:
  В поле SAC хранится прямая характеристика по смещению в Count/М
  В поле FAP хранится обратная характеристика по смещению в мкМ/Count
  В SAC-файл сохраняется прямая скоростная характеристика в Count/(М/сек)
  В FAP-файл сохраняется характеристика в формате GSE2

Использование:
  kalvynex.exe select=STA:CHAN:NETWORK:LOCATION

Обязательные параметры:
  SELECT=STA:CHAN:NETWORK:LOCATION - Описывает выгружаемую хар-ку, где:
    STA      - Код станции в таблице CALIBRATION
    CHAN     - Код канала в таблице CALIBRATION
    NETWORK  - Код сети в таблице CALIBRATION
    LOCATION - Код расположения в таблице CALIBRATION

Дополнительные параметры:
  ODBC=      - Имя источника данных ODBC
  USER=      - Имя пользователя
  PASSWORD=  - Пароль пользователя
  OUT_DIR=   - Путь к каталогу с выгружаемыми данными
  DATE=      - Время характеристики в формате (ГГГГ-ММ-ДД чч:мм:сс),
               где обязательной частью является год в формате (ГГГГ)
  -FAP       - Выгрузить характеристику в хранящуююся в поле FAP
  /FAP       - Работает аналогично ключу -FAP
  -SAC       - Выгрузить характеристику в хранящуююся в поле SAC
  /SAC       - Работает аналогично ключу -SAC
  TYPE=      - Работает аналогично параметру TYPE_OUT
  TYPE_OUT=  - Выгрузить характеристику в формате:
    TYPE_OUT=QEV       - Формат QEV (Смещение, Обратная, мкМ/Count)
    TYPE_OUT=GSE2      - Формат GSE2 (Скорость, Прямая, Count/(нМ/сек))
    TYPE_OUT=n1,n2,n3  - Произвольный формат, где: 
      n1 = {0,1,2} => {Смещение, Скорость, Ускорение}
      n2 = {0,1} => {Прямая, Обратная}
      n3 = Порядок характеристики. Например: мкМ => -6, нМ => -9
   В SAC-формате учитывается ТОЛЬКО 1-ый параметр произвольного формата, т.к.
    для SAC-формата ВСЕГДА прямая характеристка в метрах.
   Значения по умолчанию: GSE2 (для FAP) и Скоростная характеристки (для SAC)

Возвращаемые значения:
  0   => Операция успешно завершена
  -1  => Ошибка ввода обязательного параметра SELECT=
  -2  => Ошибка подключения к базе данных
  -3  => Ошибка проверки таблицы CALIBRATION
  -4  => Ошибка выборки из базы данных
  -5  => Ошибка сохранения характеристики в файл
  1   => В базе данных отсутствует информация по данному запросу
  2   => В базе данных не заполнено поле SAC для данного запроса
  3   => В базе данных не заполнено поле FAP для данного запроса
  4   => В базе данных не заполнены поля SAC и FAP для данного запроса
)";

}  // namespace

std::string usage_text() { return kUsageScreen; }

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
