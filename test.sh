#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through ctest:
# a minute of fuzzing of the table reader, then the unit and window tests.
set -euo pipefail
export PHONEBOOK_SETUP_TESTS=1
source "$(dirname "$0")/tools/setup.sh"
phonebook_install
phonebook_build
phonebook_sample
status=0

# The fuzzer needs clang's libFuzzer: a build of its own, core only.
fuzz_build="$phonebook_build-fuzz"
CC=clang CXX=clang++ cmake -S "$phonebook_root" -B "$fuzz_build" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPHONEBOOK_GUI=OFF -DPHONEBOOK_FUZZ=ON >/dev/null
cmake --build "$fuzz_build" --parallel "$(nproc)" --target fuzz_dbf_table
ctest --test-dir "$fuzz_build" --output-on-failure -L fuzz || status=$?

ctest --test-dir "$phonebook_build" --output-on-failure --parallel "$(nproc)" || status=$?
exit $status
