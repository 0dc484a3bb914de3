#!/usr/bin/env bash
# A longer fuzzing campaign: each target runs for SECONDS (default 600), then what it found that is
# new is merged into the corpus kept in fuzz/corpus. Crashes are written to build/fuzz/artifacts and
# make the script fail.
#   scripts/fuzz-campaign.sh [SECONDS]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
seconds=${1:-600}

scripts/install-deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null

mkdir -p build/fuzz/artifacts
status=0
for target in M3uReader PlstEntry Number PathParts; do
  found=build/fuzz/campaign/$target
  rm -rf "$found" && mkdir -p "$found"
  log=build/fuzz/campaign/$target.log
  if build/fuzz/fuzz/fuzz_$target -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix=build/fuzz/artifacts/$target- "$found" "fuzz/corpus/$target" >"$log" 2>&1; then
    build/fuzz/fuzz/fuzz_$target -merge=1 "fuzz/corpus/$target" "$found" >/dev/null 2>&1
    echo "$target: $(grep -o 'number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*') executions" \
         "in ${seconds} s, nothing found; corpus $(ls "fuzz/corpus/$target" | wc -l) inputs"
  else
    echo "$target: FAILED, see $log and build/fuzz/artifacts"
    status=1
  fi
done
exit $status
