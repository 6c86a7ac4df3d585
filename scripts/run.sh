#!/usr/bin/env bash
# Builds Vardimo and starts it on the sample database in ./sample-db (made on the first run).
# Arguments are passed to the program (for example -S to leave out the splash window).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
if [ ! -e sample-db/User.db ]; then
  ./build/tools/vardimo-admin create sample-db --sample small
fi
cd sample-db
exec ../build/src/vardimo "$@"
