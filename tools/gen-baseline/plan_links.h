// The parts of a plan that link objects across the baseline or to other
// projects: cross-project traces, query definitions and views.
#pragma once

#include "gen-baseline/baseline_plan.h"

namespace vl::gen {

// Cross-project traces: those mirrored from `external` (its traces whose
// EPGUID is this project) and options.cross_traces new ones, half under
// TTo and half under TFrom, never two alike. Fills plan.cross_traces and
// the requirements' `cross` lists. Throws std::invalid_argument when
// traces are asked for but there is no external project.
void PlanCrossTraces(BaselinePlan& plan, const Options& options, const ExternalBaseline* external);

// options.query_defs definitions on the project's own requirement types,
// then options.ext_query_defs per external project whose scope names that
// project; conditions use attributes of the scope's type (of the external
// baseline when it was read).
void PlanQueryDefs(BaselinePlan& plan, const Options& options, const ExternalBaseline* external);

// options.views_per_package views per package, using the query
// definitions in turn (the external ones first, so even few views use
// them); every third view also has a second query definition.
void PlanViews(BaselinePlan& plan, const Options& options);

// Upper-case ASCII copy (GUIDs are compared in upper case).
std::string UpperAscii(std::string text);
// True for a braced 8-4-4-4-12 hexadecimal GUID (either case).
bool IsGuidText(const std::string& text);

}  // namespace vl::gen
