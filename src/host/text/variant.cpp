#include "host/text/variant.h"

#include <charconv>
#include <cmath>

#include "host/text/convert.h"

namespace vl {

namespace {

// Days from 1899-12-30 (day 0 of the classic date serial) to y-m-d.
int64_t DaysFromEpoch(int y, int m, int d) {
  return DaysSince1970(y, m, d) + 25569;  // 1899-12-30 lies 25569 days before 1970-01-01
}

// A single-precision value shows the digits it really holds (7), not the
// noise of its double widening (0.1f is "0.1", not "0.100000001490116").
double SingleAsShown(double v) {
  char buf[64];
  auto res =
      std::to_chars(buf, buf + sizeof buf, static_cast<float>(v), std::chars_format::general, 7);
  double shown = v;
  std::from_chars(buf, res.ptr, shown);
  return shown;
}

}  // namespace

Variant Variant::Whole(VarType type, int64_t value) {
  Variant v(type);
  v.i_ = value;
  return v;
}

Variant Variant::Real(VarType type, double value) {
  Variant v(type);
  v.d_ = value;
  return v;
}

Variant Variant::Null() { return Variant(vbNull); }
Variant Variant::Integer(int16_t value) { return Whole(vbInteger, value); }
Variant Variant::Long(int32_t value) { return Whole(vbLong, value); }
Variant Variant::Boolean(bool value) { return Whole(vbBoolean, value ? 1 : 0); }
Variant Variant::Single(float value) { return Real(vbSingle, value); }
Variant Variant::Double(double value) { return Real(vbDouble, value); }

Variant Variant::Currency(double value) {
  // Currency holds four decimal places.
  return Real(vbCurrency, std::round(value * 10000.0) / 10000.0);
}

Variant Variant::Date(const VlDate& value) {
  Variant v(vbDate);
  v.date_ = value;
  return v;
}

Variant Variant::String(std::string value) {
  Variant v(vbString);
  v.s_ = std::move(value);
  return v;
}

double Variant::AsDouble() const {
  switch (type_) {
    case vbInteger:
    case vbLong:
    case vbBoolean:
      return static_cast<double>(i_);
    case vbSingle:
    case vbDouble:
    case vbCurrency:
      return d_;
    case vbDate: {
      const double days = static_cast<double>(DaysFromEpoch(date_.year, date_.month, date_.day));
      const double frac = (date_.hour * 3600.0 + date_.minute * 60.0 + date_.second) / 86400.0;
      // Before day 0 the fraction still counts forward in time, as in the
      // classic serial form (-1.25 is 1899-12-29 06:00).
      return days >= 0 ? days + frac : days - frac;
    }
    default:
      return 0;
  }
}

std::string Variant::ToText() const {
  switch (type_) {
    case vbString:
      return s_;
    case vbInteger:
    case vbLong:
      return std::to_string(i_);
    case vbSingle:
      return FormatNumber(SingleAsShown(d_));
    case vbDouble:
    case vbCurrency:
      return FormatNumber(d_);
    case vbDate:
      return FormatDateTime(date_);
    case vbBoolean:
      return i_ != 0 ? "True" : "False";
    default:
      return "";
  }
}

bool operator==(const Variant& a, const Variant& b) {
  if (a.IsNumber() && b.IsNumber()) {
    const bool a_int = a.type_ == vbInteger || a.type_ == vbLong;
    const bool b_int = b.type_ == vbInteger || b.type_ == vbLong;
    if (a_int && b_int) return a.i_ == b.i_;
    return a.AsDouble() == b.AsDouble();
  }
  if (a.type_ != b.type_) return false;
  switch (a.type_) {
    case vbEmpty:
    case vbNull:
      return true;
    case vbDate:
      return a.date_ == b.date_;
    case vbString:
      return a.s_ == b.s_;
    case vbBoolean:
      return a.i_ == b.i_;
    default:
      return false;
  }
}

}  // namespace vl
