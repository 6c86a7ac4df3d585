#!/usr/bin/env bash
# Builds Vardimo in Debug with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test,
# the server-mode ones against a PostgreSQL cluster started for the run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-debug -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVARDIMO_SANITIZE=ON
cmake --build build-debug -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
# The server-mode tests run against a throwaway PostgreSQL of their own, stopped whatever happens.
pg_server=$(bash scripts/pg-test-server.sh start)
eval "$pg_server"
trap 'bash scripts/pg-test-server.sh stop "$VARDIMO_TEST_PG_DIR"' EXIT
ctest --test-dir build-debug --output-on-failure --timeout 900
