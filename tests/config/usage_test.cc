#include "config/usage.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace kalvynex {
namespace {

// The screen as it must appear, blank for blank. Line 35 ends in one blank.
constexpr char kExpectedScreen[] = R"SCREEN(Описание:
  Kalvynex v)SCREEN" KALVYNEX_VERSION R"SCREEN( - Программа сохраняет в файл АЧХ из базы данных (таблица CALIBRATION, поля SAC и FAP) в указанном формате.

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
)SCREEN";

TEST(UsageTest, ScreenMatchesByteForByte) {
  const std::string text = usage_text();
  EXPECT_EQ(text, kExpectedScreen);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 53);
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), '\n');
  EXPECT_EQ(text.find("\n\n\n"), std::string::npos);
  // Guards the expectation itself against editors that strip trailing blanks.
  EXPECT_NE(std::string(kExpectedScreen).find("где: \n      n1"), std::string::npos);
}

TEST(UsageTest, ConvertsCyrillicForSingleByteConsoles) {
  // "Ж" and "ж" in each charset; the Latin text around them is unchanged.
  struct Case {
    const char* codeset;
    const char* expected;
  };
  const Case cases[] = {
      {"CP866", "SELECT= \x86\xA6 -FAP\n"},
      {"IBM866", "SELECT= \x86\xA6 -FAP\n"},
      {"KOI8-R", "SELECT= \xF6\xD6 -FAP\n"},
      {"koi8r", "SELECT= \xF6\xD6 -FAP\n"},
      {"CP1251", "SELECT= \xC6\xE6 -FAP\n"},
      {"WINDOWS-1251", "SELECT= \xC6\xE6 -FAP\n"},
      {"ISO-8859-5", "SELECT= \xB6\xD6 -FAP\n"},
      {"UTF-8", "SELECT= Жж -FAP\n"},
      {"utf8", "SELECT= Жж -FAP\n"},
      {"ANSI_X3.4-1968", "SELECT= Жж -FAP\n"},
      {"", "SELECT= Жж -FAP\n"},
      {"NO-SUCH-CHARSET", "SELECT= Жж -FAP\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(to_console_charset("SELECT= Жж -FAP\n", c.codeset), c.expected)
        << c.codeset;
  }
}

TEST(UsageTest, WholeScreenConvertsWithoutLoss) {
  const std::string utf8 = usage_text();
  for (const char* codeset : {"CP866", "KOI8-R", "CP1251"}) {
    const std::string converted = to_console_charset(utf8, codeset);
    // One byte per character: every Cyrillic letter took two bytes in UTF-8.
    std::size_t continuation_bytes = 0;
    for (unsigned char c : utf8) continuation_bytes += (c & 0xC0) == 0x80;
    EXPECT_EQ(converted.size(), utf8.size() - continuation_bytes) << codeset;
    EXPECT_EQ(converted.find('?'), std::string::npos) << codeset;
    EXPECT_NE(converted.find("  Kalvynex v1.4.3 - "), std::string::npos) << codeset;
    EXPECT_EQ(std::count(converted.begin(), converted.end(), '\n'), 53) << codeset;
  }
}

TEST(UsageTest, UnconvertibleOrBrokenInputDoesNotLoseLatinText) {
  // A character missing from the target and a cut UTF-8 sequence at the end.
  const std::string input = "a\xF0\x9F\x98\x80" "b\xFF" "c\xD0";
  const std::string converted = to_console_charset(input, "CP866");
  EXPECT_EQ(converted.front(), 'a');
  EXPECT_NE(converted.find('b'), std::string::npos);
  EXPECT_NE(converted.find('c'), std::string::npos);
  EXPECT_EQ(to_console_charset("", "CP866"), "");
}

}  // namespace
}  // namespace kalvynex
