#!/usr/bin/env bash
# Builds every libFuzzer target with clang and runs each for a bounded time.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#
# SECONDS per target (default 60, or $FUZZ_SECONDS). Without TARGETs every
# fuzz target of the project runs, one after the other (the machine is shared:
# one process, no -jobs). The growing corpus lives in fuzz-corpus/<target>/
# (git-ignored); seeds under fuzz/<area>/seeds/<target>/ are read but never
# written. A crash input lands in fuzz-corpus/crashes/; the script goes on
# with the next target and exits non-zero at the end.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-${FUZZ_SECONDS:-60}}
[[ $# -gt 0 ]] && shift
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
corpus_root=$root/fuzz-corpus

if ! command -v clang++ >/dev/null; then
  echo "fuzz.sh: clang++ is needed (apt-get install clang)" >&2
  exit 2
fi

# The whole project is instrumented for coverage (fuzzer-no-link), so the
# fuzzers see into the libraries and not only into their own source file.
san="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVRD4_FUZZ=ON -DVRD4_BENCH=OFF \
  -DCMAKE_C_FLAGS="$san" -DCMAKE_CXX_FLAGS="$san" >/dev/null

# Only the fuzzers and what they link; the rest of the project is not needed.
cmake --build "$build" --target fuzz/all -j2

targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
  for exe in "$build"/bin/*; do
    [[ -x $exe && -f $exe ]] || continue
    # grep reads all of nm's output: with -q, nm could die of SIGPIPE and
    # pipefail would count the target as missing.
    if nm --defined-only "$exe" 2>/dev/null | grep ' LLVMFuzzerTestOneInput$' >/dev/null; then
      targets+=("$(basename "$exe")")
    fi
  done
fi
if [[ ${#targets[@]} -eq 0 ]]; then
  echo "fuzz.sh: no fuzz targets found in $build/bin" >&2
  exit 2
fi

mkdir -p "$corpus_root/crashes"
failed=()
for t in "${targets[@]}"; do
  exe=$build/bin/$t
  mkdir -p "$corpus_root/$t"
  seeds=()
  for s in "$root"/fuzz/*/seeds/"$t"; do
    [[ -d $s ]] && seeds+=("$s")
  done
  echo "== $t: ${seconds}s"
  if ! "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
      -print_final_stats=1 -artifact_prefix="$corpus_root/crashes/$t-" \
      "$corpus_root/$t" "${seeds[@]}"; then
    failed+=("$t")
  fi
done

if [[ ${#failed[@]} -gt 0 ]]; then
  echo "fuzz.sh: crashes in: ${failed[*]} (inputs in $corpus_root/crashes/)" >&2
  exit 1
fi
echo "fuzz.sh: no crashes"
