#!/usr/bin/env bash
# Installs what is missing, builds the receiver and its tools, and starts the
# receiver with the options given (e.g. --prefix P). Without a display ($DISPLAY
# unset) it runs under a private Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target VRD4Empfaenger vrd4shm vrd4send

if [ -z "${DISPLAY:-}" ]; then
  echo "run: no \$DISPLAY, starting the receiver under Xvfb" >&2
  exec xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/VRD4Empfaenger "$@"
fi
exec build/bin/VRD4Empfaenger "$@"
