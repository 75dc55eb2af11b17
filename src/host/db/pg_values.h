// Values between PostgreSQL's text form and the program's variants.
#pragma once

#include <optional>
#include <string>

#include "host/text/variant.h"

typedef unsigned int Oid;

namespace vl {

// The value of a result cell given in text form, by the column's type:
// whole numbers as Long (Double beyond 32 bits), other numbers as Double
// (a numeric without a fraction that fits 32 bits as Long, as the file
// database gives sums), booleans as Boolean, timestamps and dates as Date
// (fractions of a second dropped), bytea as its bytes, everything else as
// String. A timestamp the program cannot hold ("infinity", a year before 1)
// stays a String.
Variant PgValue(Oid type, const char* text, int length);

// The text form of `value` as a statement parameter, or nullopt for NULL
// (Empty and Null). Throws VlError when a text holds a NUL character,
// which the server cannot store.
std::optional<std::string> PgParameter(const Variant& value);

}  // namespace vl
