#include "fatfamily/FatTime.h"

#include "platform/Clock.h"

namespace salvora {
namespace {

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

}  // namespace

uint64_t FatDateTimeToFileTime(uint16_t date, uint16_t time, int extraSeconds, int milliseconds) {
  const int day = date & 0x1F, month = (date >> 5) & 0x0F, year = 1980 + (date >> 9);
  const int second = 2 * (time & 0x1F) + extraSeconds, minute = (time >> 5) & 0x3F, hour = time >> 11;
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return 0;
  if (hour > 23 || minute > 59 || second > 59) return 0;
  int64_t unix = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
  return platform::UnixToFileTime(unix) + uint64_t(milliseconds) * 10000;
}

uint64_t FatCreationFileTime(const FatDirEntry& entry) {
  // The hundredths byte counts 10-ms units; above 100 it carries whole seconds.
  int t = entry.CreationHundredths(), extraSeconds = 0, ms = t;
  if (t > 100) {
    extraSeconds = t / 100;
    ms = t % 100;
  }
  ms -= ms % 10;
  return FatDateTimeToFileTime(entry.CreationDate(), entry.CreationTime(), extraSeconds, ms);
}

uint64_t FatAccessFileTime(const FatDirEntry& entry) {
  return FatDateTimeToFileTime(entry.LastAccessDate(), 0);
}

uint64_t FatWriteFileTime(const FatDirEntry& entry) {
  return FatDateTimeToFileTime(entry.WriteDate(), entry.WriteTime());
}

}  // namespace salvora
