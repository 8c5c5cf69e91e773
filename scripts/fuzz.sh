#!/usr/bin/env bash
# Runs every fuzz target for a longer while: scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
# (default 600 seconds; targets by name, e.g. split_name_version; default all). Builds build-fuzz
# first. New inputs collect in build-fuzz/fuzz/corpus/NAME, inputs that break a rule in
# build-fuzz/fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"
shift || true
scripts/setup.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
if (($#)); then
  targets=("$@")
else
  targets=()
  for seeds in fuzz/corpus/*/; do targets+=("$(basename "$seeds")"); done
fi
for name in "${targets[@]}"; do
  echo "== ${name}: ${seconds} s"
  mkdir -p "build-fuzz/fuzz/corpus/${name}" build-fuzz/fuzz/artifacts
  "build-fuzz/bin/fuzz_${name}" -max_total_time="${seconds}" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="build-fuzz/fuzz/artifacts/${name}-" "build-fuzz/fuzz/corpus/${name}" "fuzz/corpus/${name}"
done
