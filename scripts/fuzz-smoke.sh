#!/usr/bin/env bash
# Builds the archive reader's libFuzzer target (clang, address and undefined-behaviour sanitizers)
# in a build folder of its own and runs it briefly over a copy of the seed corpus.
#   scripts/fuzz-smoke.sh [SECONDS]   (default 30; KELVORA_FUZZ_BUILD overrides the build folder)
# Exits non-zero when the build fails or the fuzzer finds a crash, a leak or undefined behaviour.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${KELVORA_FUZZ_BUILD:-$root/build/fuzz}
seconds=${1:-30}

cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_FLAGS="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined" \
  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined" \
  -DKELVORA_FUZZ=ON -DKELVORA_GUI=OFF -DKELVORA_TESTS=OFF -DKELVORA_BENCH=OFF -DKELVORA_WERROR=OFF >/dev/null
cmake --build "$build" --target archive_reader_fuzz -j2

corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
cp "$root"/fuzz/corpus/* "$corpus"/
cd "$build"  # crash reproducers land here
log="$corpus.log"
status=0
"$build/fuzz/archive_reader_fuzz" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 \
  -print_final_stats=1 "$corpus" >"$log" 2>&1 || status=$?
grep -E "^(Done|stat::number_of_executed_units|stat::peak_rss_mb|==[0-9]+==|SUMMARY|.*ERROR|written outside)" "$log" || true
rm -f "$log"
exit "$status"
