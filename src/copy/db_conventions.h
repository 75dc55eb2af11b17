// What every copier shares: SQL literals, statement assembly, keys, GUIDs
// and their translation, ID look-ups, the baseline descriptor and reading a
// baseline file.
#pragma once

#include <functional>
#include <pugixml.hpp>
#include <string>

#include "host/db/data_services.h"
#include "host/project/project.h"
#include "host/text/ordered_map.h"
#include "host/text/variant.h"

namespace vl {

class BLProjInfo;

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

// A new GUID recorded under `oldGuid` in gdictPSGUIDs (gdictReqGUIDs for
// the Req variant). When `oldGuid` is already a key, the table keeps the
// first translation and the new GUID is still returned.
std::string AssignNewGUID(const std::string& oldGuid);
std::string AssignNewReqGUID(const std::string& oldGuid);
// Adds (old, new) to gdictPSGUIDs; false when `oldGuid` was present.
bool AddGUIDTranslation(const std::string& oldGuid, const std::string& newGuid);
// The new GUID of `oldGuid`, "" when there is none.
std::string TranslateGUID(const std::string& oldGuid);
bool IsGUIDTranslated(const std::string& oldGuid);
bool IsReqGUIDTranslated(const std::string& oldGuid);
// Reading an old GUID that is not in the table (TranslateGUID, the
// Is...Translated tests, the look-ups) adds it with an empty new GUID.
// Such an entry stands for an object that was referred to but never
// copied; AssignNewGUID / AssignNewReqGUID fill it in when the object is
// copied after all.
//
// Calls f(oldGuid, newGuid) for every entry of `table` (gdictPSGUIDs or
// gdictReqGUIDs) in the order the entries were made, leaving out those
// with an empty new GUID: a map file must not claim a copy that never
// happened.
void ForEachTranslation(const OrderedMap<std::string>& table,
                        const std::function<void(const std::string&, const std::string&)>& f);

// Old GUID -> the new row's integer ID, or -1 after a message (20085 when
// the GUID has no translation, 20084 when the translated row is missing).
int32_t GetNewReqTypeID(DataServices& oDS, const std::string& oldGuid);
int32_t GetNewUserID(DataServices& oDS, const std::string& oldGuid);
int32_t GetNewGroupID(DataServices& oDS, const std::string& oldGuid);
int32_t GetNewQefID(DataServices& oDS, const std::string& oldGuid);
int32_t GetNewAttrID(DataServices& oDS, const std::string& oldGuid);
int32_t GetNewLVID(DataServices& oDS, const std::string& oldGuid);
int32_t GetNewDocID(DataServices& oDS, const std::string& oldGuid);
int32_t GetNewDocTypeID(DataServices& oDS, const std::string& oldGuid);
int32_t GetNewReqID(DataServices& oDS, const std::string& oldGuid);
// Forgets the remembered look-up results (a new run, or a reopened database).
void ResetLookupCache();
// Remembers that the vlRequirements row of `oDS` carrying `newGuid` has the
// ID `id`, as GetNewReqID would find it: the requirement copier says so
// right after writing the row, sparing the traces and discussions one
// SELECT per requirement.
void RememberNewReqID(DataServices& oDS, const std::string& newGuid, int32_t id);
// Remembers that the requirement copier wrote the vlRequirements row `id`
// of `oDS` with the REQUIREMENTPREFIX `storedPrefix` (as the database
// holds it) and the TAG `tag`. FindNewReqIDByTag gives the lowest such ID,
// as the project component's look-up by tag would find it in a new
// project, whose requirements are all written by that copier; 0 when none
// was remembered (the database may still hold one).
void RememberNewReqTag(DataServices& oDS, const std::string& storedPrefix, int32_t tag, int32_t id);
int32_t FindNewReqIDByTag(DataServices& oDS, const std::string& storedPrefix, int32_t tag);

// The next key of `keyClass` from VlKeys.
int32_t NextKey(DataServices& oDS, const std::string& keyClass);

// The baseline descriptor goBLProjInfo. Throws
// VlError(err::kObjectRequired, "goBLProjInfo", ...) when there is none.
const BLProjInfo& BaselineDescriptor();

// Loads BLXMLLoc/`fileName` into `doc` and selects `rootPath`. When the
// element is missing, shows `fileName` + text 11011 + `elementName` and
// returns an empty node.
pugi::xml_node LoadBaselineFile(pugi::xml_document& doc, const std::string& fileName,
                                const char* rootPath = "//PROJECT",
                                const char* elementName = "PROJECT");

// The text of the child element `name` of `node` ("" when missing).
std::string ElementText(const pugi::xml_node& node, const char* name);

}  // namespace vl
