#!/usr/bin/env bash
# Sets up, builds and runs every test: the Release build's unit, integration and end-to-end tests,
# then all of them again built with AddressSanitizer and UndefinedBehaviorSanitizer, then every
# fuzz target (clang, libFuzzer) once over its seed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
start=$(date +%s)

bash scripts/install-deps.sh test

echo "== Release build and tests"
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DTAVRIN_BUILD_TESTS=ON -DTAVRIN_BUILD_BENCH=ON >/dev/null
cmake --build build/release -j"$(nproc)"
(cd build/release && ctest --output-on-failure --timeout 300)

echo "== Sanitizer build (ASan + UBSan) and tests"
cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DTAVRIN_SANITIZE=ON -DTAVRIN_BUILD_BENCH=OFF >/dev/null
cmake --build build/sanitize -j"$(nproc)" --target tavrin tavrin_unit_tests tavrin_integration_tests \
    tavrin_e2e_tools
(cd build/sanitize && ctest --output-on-failure --timeout 300 -L 'unit|integration|e2e')

echo "== Fuzz targets over their corpora (clang, libFuzzer)"
CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIN_FUZZ=ON \
    -DTAVRIN_BUILD_TESTS=OFF -DTAVRIN_BUILD_QT=OFF -DTAVRIN_BUILD_BENCH=OFF >/dev/null
cmake --build build/fuzz -j"$(nproc)"
(cd build/fuzz && ctest --output-on-failure --timeout 300 -L fuzz)

echo "All tests passed in $(( $(date +%s) - start )) s."
