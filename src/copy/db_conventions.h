// What every copier shares besides the run's state (copy/run_context.h):
// SQL literals, statement assembly, keys, new GUIDs, element texts.
#pragma once

#include <functional>
#include <pugixml.hpp>
#include <string>

#include "host/db/data_services.h"
#include "host/project/project.h"
#include "host/text/ordered_map.h"
#include "host/text/variant.h"

namespace vl {

// A marked table name: the table marker followed by `name`.
std::string Tbl(const char* name);

// The SQL literal of `value`. `lVarType` 0 uses the value's own type.
//  - numbers: general text form with "." ("NULL" with bEmptyAsNull when not
//    numeric or rounding to 0);
//  - dates: "{ ts 'yyyy-mm-dd hh:mm:ss'}";
//  - strings: "NULL" for "" with bEmptyAsNull; otherwise "|" becomes the
//    character 26, a quote not already doubled is doubled, blank text gives
//    "''", else the text in quotes;
//  - Booleans "1"/"0"; anything else "NULL".
std::string FormatSQLValue(const Variant& value, bool bEmptyAsNull = false, int lVarType = 0);
// Shorthands for the common literal kinds (bEmptyAsNull false).
std::string SqlText(const std::string& s);
std::string SqlLong(int64_t v);
std::string SqlBool(bool v);
std::string SqlDate(const VlDate& d);

// A new braced, upper-case GUID from the system's secure random source.
// Throws VlError(err::kGuidGenerate, "modWizardGenerateGUID", "Error
// generating GUID") when no random bytes can be had.
std::string GenerateGUID();

// Calls f(oldGuid, newGuid) for every entry of `table` (gdictPSGUIDs or
// gdictReqGUIDs of the run) in the order the entries were made, leaving out those
// with an empty new GUID: a map file must not claim a copy that never
// happened.
void ForEachTranslation(const OrderedMap<std::string>& table,
                        const std::function<void(const std::string&, const std::string&)>& f);

// The next key of `keyClass` from VlKeys.
int32_t NextKey(DataServices& oDS, const std::string& keyClass);

// The text of the child element `name` of `node` ("" when missing).
std::string ElementText(const pugi::xml_node& node, const char* name);

}  // namespace vl
