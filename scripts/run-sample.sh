#!/usr/bin/env bash
# Creates a project from the sample baseline into a temporary folder with
# SQLite and shows what it holds.
set -euo pipefail
cd "$(dirname "$0")/.."
out="$(mktemp -d)/SampleProject"
build/vlbaseline validate examples/sample-baseline
build/vlbaseline create examples/sample-baseline --folder "$out" --all --yes
db="$out/$(basename "$out").db"
echo
echo "Project file: $out/$(basename "$out").vlp"
for t in vlUsers vlUserGroups vlProjectHistory vlUserDefinedFields vlRequirementTypes \
         vlPackages vlDocuments vlRequirements VlToRelationships VLDISCUSSIONS; do
  printf '%-22s %s rows\n' "$t" "$(sqlite3 "$db" "select count(*) from $t")"
done
