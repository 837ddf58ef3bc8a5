#include "ledger/LedgerDays.h"

#include <cstdio>

namespace quill {
namespace {

bool isLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month)
{
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeap(year) ? 29 : days[month - 1];
}

bool readDigits(std::string_view text, size_t at, size_t count, int& value)
{
    value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

} // namespace

std::optional<int> parseLogDay(std::string_view text)
{
    int year = 0, month = 0, day = 0;
    if (text.size() != 10 || text[4] != '-' || text[7] != '-' || !readDigits(text, 0, 4, year) ||
        !readDigits(text, 5, 2, month) || !readDigits(text, 8, 2, day))
        return std::nullopt;
    if (year < 1000 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month))
        return std::nullopt;
    return year * 10000 + month * 100 + day;
}

std::string dayText(int day)
{
    if (day < 10000000 || day > 99999999) {
        char text[16];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d", day / 10000, day / 100 % 100, day % 100);
        return text;
    }
    // Lists print a day in every row: written by hand rather than by printf.
    std::string text = "0000-00-00";
    for (int at : {9, 8, 6, 5, 3, 2, 1, 0}) {
        text[static_cast<size_t>(at)] = static_cast<char>('0' + day % 10);
        day /= 10;
    }
    return text;
}

// Proleptic Gregorian calendar, counted in 400-year eras of 146097 days.
int dayNumber(int day)
{
    int y = day / 10000;
    const int m = day / 100 % 100;
    const int d = day % 100;
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

int dayFromNumber(int number)
{
    const int z = number + 719468;
    const int era = (z >= 0 ? z : z - 146096) / 146097;
    const int doe = z - era * 146097;
    const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int mp = (5 * doy + 2) / 153;
    const int d = doy - (153 * mp + 2) / 5 + 1;
    const int m = mp + (mp < 10 ? 3 : -9);
    const int y = yoe + era * 400 + (m <= 2);
    return y * 10000 + m * 100 + d;
}

} // namespace quill
