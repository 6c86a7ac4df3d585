#!/usr/bin/env bash
# Builds Vardimo in Debug with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-debug -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVARDIMO_SANITIZE=ON
cmake --build build-debug -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build-debug --output-on-failure --timeout 900
