#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while (60 s by default):
#   fuzz/run.sh [seconds]
# New inputs go to build-fuzz/corpus-*; the seeds in fuzz/corpus/ are only read.
# A finding stops the target and leaves a crash-* or leak-* file in build-fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${1:-60}

CXX=clang++ cmake -S . -B build-fuzz -DDUNVALE_FUZZ=ON -DDUNVALE_TESTS=OFF >/dev/null
cmake --build build-fuzz -j2 --target fuzz_reader fuzz_dialogue

status=0
for name in reader dialogue; do
  mkdir -p "build-fuzz/corpus-$name"
  echo "== fuzz_$name for $seconds s"
  # The dialogue target works in a temporary folder of its own: every path is absolute.
  "$root/build-fuzz/fuzz/fuzz_$name" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$root/build-fuzz/" "$root/build-fuzz/corpus-$name" "$root/fuzz/corpus/$name" || status=1
done
exit $status
