#!/usr/bin/env bash
# Builds the model table test for this machine with the address and
# undefined-behaviour sanitizers and runs it (needs g++ and libgtest-dev).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=$top/build/native
mkdir -p "$out"
g++ -std=c++17 -O1 -g -Wall -Wextra -fsanitize=address,undefined -fno-sanitize-recover=all \
    -I"$top/scene" "$top/scene/model_table.cpp" "$top/tests/scene/model_test.cpp" \
    -lgtest_main -lgtest -pthread -o "$out/model_test"
"$out/model_test"
