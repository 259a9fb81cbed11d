#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test. Non-zero exit on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --parallel
cd build
ctest --output-on-failure --parallel "$(nproc)" --timeout 300
