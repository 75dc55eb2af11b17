// A value as the copiers and the data services pass it around: the
// classic variant types, each with its type code.
#pragma once

#include <cstdint>
#include <string>

namespace vl {

enum VarType {
  vbEmpty = 0,
  vbNull = 1,
  vbInteger = 2,  // 16-bit
  vbLong = 3,     // 32-bit
  vbSingle = 4,
  vbDouble = 5,
  vbCurrency = 6,
  vbDate = 7,
  vbString = 8,
  vbObject = 9,
  vbError = 10,
  vbBoolean = 11,
};

// A calendar date and time to the second (no time zone).
struct VlDate {
  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;

  friend bool operator==(const VlDate&, const VlDate&) = default;
};

class Variant {
 public:
  Variant() = default;  // Empty
  static Variant Null();
  static Variant Integer(int16_t v);
  static Variant Long(int32_t v);
  static Variant Single(float v);
  static Variant Double(double v);
  static Variant Currency(double v);
  static Variant Date(const VlDate& v);
  static Variant String(std::string v);
  static Variant Boolean(bool v);

  VarType type() const { return type_; }
  bool IsEmpty() const { return type_ == vbEmpty; }
  bool IsNull() const { return type_ == vbNull; }
  bool IsNumber() const { return type_ >= vbInteger && type_ <= vbCurrency; }

  // Raw access; valid for the matching types.
  int64_t AsInt() const { return i_; }  // Integer, Long, Boolean (1/0)
  double AsDouble() const;              // any number type
  const VlDate& AsDate() const { return date_; }
  const std::string& AsString() const { return s_; }
  bool AsBool() const { return i_ != 0; }

  // Text form: strings as they are, numbers in their general form with ".",
  // dates as "yyyy-mm-dd hh:mm:ss", Booleans "True"/"False", Empty and Null
  // as "".
  std::string ToText() const;

  friend bool operator==(const Variant& a, const Variant& b);

 private:
  explicit Variant(VarType type) : type_(type) {}
  // A number of `type` held as a whole number or as a double.
  static Variant Whole(VarType type, int64_t value);
  static Variant Real(VarType type, double value);

  VarType type_ = vbEmpty;
  int64_t i_ = 0;
  double d_ = 0;
  VlDate date_;
  std::string s_;
};

}  // namespace vl
