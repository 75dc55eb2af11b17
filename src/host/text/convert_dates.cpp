// Reading and writing dates. Baselines were written by systems with
// different habits, so three forms are read; everything written uses
// "yyyy-mm-dd hh:mm:ss".
#include <cstdio>
#include <ctime>
#include <string_view>

#include "errors/vl_error.h"
#include "host/text/convert.h"

namespace vl {

namespace {

// A cursor over the text of a date.
class DateScanner {
 public:
  explicit DateScanner(std::string_view s) : s_(s) {}

  bool AtEnd() const { return pos_ == s_.size(); }
  bool Peek(char c) const { return pos_ < s_.size() && s_[pos_] == c; }
  bool Take(char c) {
    if (!Peek(c)) return false;
    ++pos_;
    return true;
  }
  // Reads `min`..`max` decimal digits.
  bool Number(size_t min, size_t max, int& out) {
    size_t start = pos_;
    int value = 0;
    while (pos_ < s_.size() && pos_ - start < max && s_[pos_] >= '0' && s_[pos_] <= '9')
      value = value * 10 + (s_[pos_++] - '0');
    out = value;
    return pos_ - start >= min;
  }
  size_t SkipBlanks() {
    size_t start = pos_;
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t')) ++pos_;
    return pos_ - start;
  }
  // Takes "AM" or "PM" in any case; 0 when neither, 1 for AM, 2 for PM.
  int TakeMeridiem() {
    if (s_.size() - pos_ < 2) return 0;
    char a = static_cast<char>(s_[pos_] & ~0x20), m = static_cast<char>(s_[pos_ + 1] & ~0x20);
    if (m != 'M' || (a != 'A' && a != 'P')) return 0;
    pos_ += 2;
    return a == 'A' ? 1 : 2;
  }

 private:
  std::string_view s_;
  size_t pos_ = 0;
};

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

bool IsPossible(const VlDate& d) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (d.year < 100 || d.year > 9999 || d.month < 1 || d.month > 12 || d.day < 1) return false;
  int days = kDays[d.month - 1] + (d.month == 2 && IsLeapYear(d.year) ? 1 : 0);
  return d.day <= days && d.hour >= 0 && d.hour <= 23 && d.minute >= 0 && d.minute <= 59 &&
         d.second >= 0 && d.second <= 59;
}

// "hh:mm[:ss[.fff]]" and an optional zone ("Z", "+hh:mm", "-hhmm"), which
// is ignored: dates are kept as the baseline wrote them.
bool ReadIsoTime(DateScanner& sc, VlDate& d) {
  if (!sc.Number(1, 2, d.hour) || !sc.Take(':') || !sc.Number(2, 2, d.minute)) return false;
  if (sc.Take(':')) {
    if (!sc.Number(2, 2, d.second)) return false;
    int fraction = 0;
    if (sc.Take('.') && !sc.Number(1, 9, fraction)) return false;
  }
  int zone = 0;
  if (sc.Take('Z')) return true;
  if (sc.Take('+') || sc.Take('-')) {
    if (!sc.Number(2, 2, zone)) return false;
    sc.Take(':');
    sc.Number(0, 2, zone);
  }
  return true;
}

// "yyyy-mm-dd", then " " or "T" and the time.
bool ReadIsoForm(DateScanner& sc, VlDate& d) {
  if (!sc.Number(4, 4, d.year) || !sc.Take('-') || !sc.Number(1, 2, d.month) || !sc.Take('-') ||
      !sc.Number(1, 2, d.day))
    return false;
  if (sc.AtEnd()) return true;
  if (!sc.Take('T') && sc.SkipBlanks() == 0) return false;
  return ReadIsoTime(sc, d) && sc.AtEnd();
}

// "m/d/yyyy", then "h:mm[:ss]" with an optional AM or PM.
bool ReadUsForm(DateScanner& sc, VlDate& d) {
  if (!sc.Number(1, 2, d.month) || !sc.Take('/') || !sc.Number(1, 2, d.day) || !sc.Take('/') ||
      !sc.Number(4, 4, d.year))
    return false;
  if (sc.AtEnd()) return true;
  if (sc.SkipBlanks() == 0) return false;
  if (!sc.Number(1, 2, d.hour) || !sc.Take(':') || !sc.Number(2, 2, d.minute)) return false;
  if (sc.Take(':') && !sc.Number(2, 2, d.second)) return false;
  sc.SkipBlanks();
  if (int meridiem = sc.TakeMeridiem()) {
    if (d.hour < 1 || d.hour > 12) return false;
    d.hour = d.hour % 12 + (meridiem == 2 ? 12 : 0);  // 12 AM is midnight, 12 PM noon
  }
  return sc.AtEnd();
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace

std::optional<VlDate> ParseDate(const std::string& text) {
  std::string_view t = TrimBlanks(text);
  VlDate d{0, 0, 0, 0, 0, 0};
  DateScanner iso(t);
  bool ok = ReadIsoForm(iso, d);
  if (!ok) {
    d = VlDate{0, 0, 0, 0, 0, 0};
    DateScanner us(t);
    ok = ReadUsForm(us, d);
  }
  if (!ok || !IsPossible(d)) return std::nullopt;
  return d;
}

VlDate CDate(const std::string& text) {
  std::optional<VlDate> d = ParseDate(text);
  if (!d) throw VlError(err::kTypeMismatch, "CDate", "Type mismatch");
  return *d;
}

std::string FormatDateTime(const VlDate& d) {
  // Every history row and document carries dates: the usual ones are
  // written digit by digit, anything else through the general formatter.
  auto two = [](int v) { return v >= 0 && v <= 99; };
  if (d.year >= 0 && d.year <= 9999 && two(d.month) && two(d.day) && two(d.hour) && two(d.minute) &&
      two(d.second)) {
    std::string out = "0000-00-00 00:00:00";
    auto put = [&out](size_t at, int v, int digits) {
      for (int k = digits - 1; k >= 0; --k, v /= 10) out[at + k] = static_cast<char>('0' + v % 10);
    };
    put(0, d.year, 4);
    put(5, d.month, 2);
    put(8, d.day, 2);
    put(11, d.hour, 2);
    put(14, d.minute, 2);
    put(17, d.second, 2);
    return out;
  }
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day, d.hour,
                d.minute, d.second);
  return buf;
}

VlDate Now() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return VlDate{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

int64_t DaysSince1970(int64_t year, int64_t month, int64_t day) {
  // Counted in eras of 400 years, each year starting in March, so that a
  // leap day ends its year.
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t year_of_era = year - era * 400;
  const int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

}  // namespace vl
