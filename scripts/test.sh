#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the whole
# suite in build/ (GCC), then the unit tests once more under AddressSanitizer
# and UndefinedBehaviorSanitizer in build-asan/ (clang). Both builds turn
# warnings into errors (VRD4_WERROR), so the code stays warning-free with both
# compilers; a user's build does not.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

JOBS=${JOBS:-$(nproc)}

echo "== build (build/)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVRD4_WERROR=ON >/dev/null
cmake --build build -j "$JOBS"

echo "== tests (build/)"
(cd build && ctest --output-on-failure -j "$JOBS" --timeout 600)

echo "== build with sanitizers and clang (build-asan/)"
cmake -S . -B build-asan -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=Debug -DVRD4_SANITIZE=ON \
  -DVRD4_BENCH=OFF -DVRD4_WERROR=ON >/dev/null
cmake --build build-asan -j "$JOBS"

echo "== unit tests under ASan/UBSan (build-asan/)"
(cd build-asan && ctest --output-on-failure -j "$JOBS" -L unit --timeout 900)
