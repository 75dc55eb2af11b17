// The values of a statement shaped for PostgreSQL (ShapeStatement with
// SqlDialect::kPostgreSQL) as parameters of the prepared shape: the type
// each is declared with, its text, and whether the server takes it where
// it stands without an error.
#pragma once

#include <string>

#include "host/db/sql_shape.h"

typedef unsigned int Oid;

namespace vl {

// The type a parameter is declared with: the type the server gives the
// literal it stands for (int4 for a whole number, numeric for a number
// with a point or an exponent, timestamp for TIMESTAMP '...', and none for
// a quoted text, whose place decides its type as it decides a literal's).
// Declared so, the parameter is read exactly as the literal is.
Oid PgParameterType(const ShapedStatement::Value& value);

// Appends the parameter's text to `out`: a whole number in its plain
// digits (leading zeros dropped, as the server reads them), anything else
// as written.
void AppendPgParameterText(const ShapedStatement::Value& value, std::string& out);

// True when the server takes `value` in a place of type `placeType` (the
// type the server infers for a parameter of no declared type there, such
// as the column an INSERT writes) without an error: a whole number in
// range, a real number that is finite there, a date that exists, a text
// in well-formed UTF-8 that reads as the place's type. False for every
// type whose rules are not checked here (a text of limited length, a
// numeric of limited precision, types of the database's own): such values
// are left to the server.
bool PgValueFits(const ShapedStatement::Value& value, Oid placeType);

// The name of a built-in type whose values an array of it reads from
// their texts exactly as a parameter of the type does ("int4", "text",
// ...); nullptr for any other type.
const char* PgArrayElementTypeName(Oid type);

// Arrays of whole numbers, texts, dates and timestamps can go to the
// server in its binary form, which it reads without parsing any text: the
// element's bytes, or its number in network byte order. True when `type`
// (an element type as PgArrayElementTypeName takes it) is one of these;
// `out` then holds the start of such an array of `count` elements, which
// must all be appended by AppendPgBinaryArrayElement.
bool StartPgBinaryArray(Oid type, size_t count, std::string& out);
// Appends the text ending at the first NUL at `text` to `out` as one
// element of a binary array of `type`, and returns where the NUL is. A
// number only in the plain form the server reads exactly as its value (a
// minus, digits, within the type's range), a date only as "yyyy-mm-dd"
// (for a timestamp also "yyyy-mm-dd hh:mm:ss") naming a day and time that
// exist, a text only below the server's limit for one value; nullptr for
// any other, and then `out` is to be dropped: the array goes as text, its
// element read as the server reads its text.
const char* AppendPgBinaryArrayElement(Oid type, const char* text, std::string& out);

// Appends the text ending at the first NUL at `text` to `out` as one
// element of an array's text: quoted, with a backslash before every quote
// and backslash in it. Returns where the NUL is.
const char* AppendPgArrayElement(const char* text, std::string& out);

}  // namespace vl
