#!/usr/bin/env bash
# Builds Vardimo in Debug with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test,
# the server-mode ones against a PostgreSQL cluster started for the run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-debug -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVARDIMO_SANITIZE=ON -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
cmake --build build-debug -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
# The server-mode tests run against a throwaway PostgreSQL of their own, stopped whatever happens.
pg_server=$(bash scripts/pg-test-server.sh start)
eval "$pg_server"
trap 'bash scripts/pg-test-server.sh stop "$VARDIMO_TEST_PG_DIR"' EXIT
ctest --test-dir build-debug --output-on-failure --timeout 900
# The program's own sources pass clang-tidy with the project's .clang-tidy: any finding fails.
tidy_log=$(mktemp)
run-clang-tidy -p build-debug -j"$(nproc)" -quiet "^$PWD/(src|tools)/.*\\.cpp$" 2>/dev/null >"$tidy_log" || true
if grep -E "(warning|error): " "$tidy_log"; then
  echo "clang-tidy: the findings above must be mended" >&2
  exit 1
fi
echo "clang-tidy: no findings"
