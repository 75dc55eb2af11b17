// Checking the locations the user gives for the baseline's external
// projects. A location is accepted only when that project was itself
// created from a baseline that refers back to the project being created.
#pragma once

#include <string>
#include <vector>

#include "baseline/bl_proj_info.h"

namespace vl {

// Resource ids of the two refusals (inserts: location; location and name).
constexpr long kResExtLocNotProjectFile = 4101, kResExtLocNotWaiting = 4102;

// True for an empty location, or for a project file ("*.vlp" in any case)
// whose folder holds "UnResExtProjs.xml" made from the project `record`
// names and listing an "ExternalProject" whose GUID is the baseline's own
// project GUID. Otherwise shows 4101 or 4102 and returns false.
bool validateExtProjectLoc(const clsExtProjInfo& record, const BLProjInfo& baseline,
                           Messenger& messages);

// Completes the external-projects step: for each row in order, the record
// of colExtProjs with the same GUID takes the row's location once the row
// is valid; the first invalid row stops the check (later rows keep their
// stored locations). True when all rows passed.
bool SaveExtProjLocations(const std::vector<clsExtProjInfo>& rows, BLProjInfo& baseline,
                          Messenger& messages);

// Where the project file `vlp` keeps its project, for the user to see
// before anything connects to it: "SQLite database FILE" or "PostgreSQL
// schema S on SERVER (named by the project file: no password goes to it
// in clear)"; "" for an empty location, the reason when the file cannot
// be read.
std::string DescribeProjectPlace(const std::string& vlp);

}  // namespace vl
