#!/usr/bin/env bash
# A longer fuzzing campaign: each target in turn (one at a time: the machine is shared) runs RUNS
# inputs (default ten million), then what it found that is new is merged into the corpus kept in
# fuzz/corpus. Crashes are written to build/fuzz/artifacts and make the script fail.
#   scripts/fuzz-campaign.sh [RUNS] [TARGET...]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
export LC_ALL=C.UTF-8
runs=${1:-10000000}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(M3uReader CommandLine PlstEntry Number PathParts ProfileText PlsReader TrackUri AiffReader)

scripts/install-deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null

mkdir -p build/fuzz/artifacts
status=0
for target in "${targets[@]}"; do
  found=build/fuzz/campaign/$target
  rm -rf "$found" && mkdir -p "$found"
  log=build/fuzz/campaign/$target.log
  start=$SECONDS
  if build/fuzz/fuzz/fuzz_$target -runs="$runs" -print_final_stats=1 \
      -artifact_prefix=build/fuzz/artifacts/$target- "$found" "fuzz/corpus/$target" >"$log" 2>&1; then
    build/fuzz/fuzz/fuzz_$target -merge=1 "fuzz/corpus/$target" "$found" >/dev/null 2>&1
    echo "$target: $(grep -o 'number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*') executions" \
         "in $((SECONDS - start)) s, nothing found; corpus $(ls "fuzz/corpus/$target" | wc -l) inputs"
  else
    echo "$target: FAILED after $((SECONDS - start)) s, see $log and build/fuzz/artifacts"
    status=1
  fi
done
exit $status
