#!/usr/bin/env bash
# Installs what is needed, builds Kelvora for Linux and (cross-compiled) for Windows, and runs
# every test: the Linux suites natively, the Windows suites under wine64, and a short fuzz run.
set -uo pipefail
cd "$(dirname "$0")/.."
top=$PWD
jobs=${KELVORA_JOBS:-2}

bash scripts/setup.sh || exit 1

total_passed=0
total_failed=0
status=0

# Runs ctest in a build folder and adds its figures to the totals.
run_ctest() {
  local dir=$1; shift
  local log="$dir/ctest.log"
  (cd "$dir" && ctest --output-on-failure "$@") 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  local line
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1)
  if [[ $line =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
    total_failed=$((total_failed + BASH_REMATCH[1]))
    total_passed=$((total_passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
  fi
  if [ "$rc" -ne 0 ]; then status=1; fi
}

echo "== Linux build"
cmake -S . -B build/test-linux -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo || exit 1
cmake --build build/test-linux -j"$jobs" || exit 1
echo "== Linux tests"
run_ctest build/test-linux -j"$jobs"

# The core, archive and browser tests again, built with sanitizers: AddressSanitizer with
# UndefinedBehaviorSanitizer, then ThreadSanitizer (the archive packs and extracts on worker
# threads). Only those modules' test programs are built, at -O1.
for sanitizer in address thread; do
  case $sanitizer in
    address) dir=build/test-asan ;;
    thread) dir=build/test-tsan ;;
  esac
  echo "== Linux tests with KELVORA_SANITIZE=$sanitizer"
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVORA_SANITIZE=$sanitizer \
    -DKELVORA_GUI=OFF -DKELVORA_BENCH=OFF \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g -DNDEBUG" || exit 1
  cmake --build "$dir" -j"$jobs" --target tests_core tests_archive tests_browsers || exit 1
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    run_ctest "$dir" -j"$jobs" -L '^(core|archive|browsers)$'
done

echo "== Windows build (mingw-w64)"
# What Debian has only as source for Windows, built once into a cache outside the build tree. The
# window is not built for Windows here yet, so neither is its Qt.
bash scripts/windows-deps.sh sqlite3 || exit 1
cmake -S . -B build/test-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo || exit 1
cmake --build build/test-windows -j"$jobs" || exit 1
echo "== Windows tests under wine64"
export KELVORA_WINEPREFIX="$top/build/test-windows/wineprefix"
WINEPREFIX="$KELVORA_WINEPREFIX" WINEDEBUG=-all /usr/lib/wine/wineserver -p 2>/dev/null || true
# The prefix is made, and wine's own services started, before any test runs, with nothing but
# /dev/null to inherit: a service started by a test would hold that test's output pipe open and
# ctest would wait on it until the test's time-out.
cmake/wine-run.sh wineboot --init </dev/null >/dev/null 2>&1 || true
run_ctest build/test-windows
echo "== Archives between the Linux and the Windows build"
if scripts/cross-archive-check.sh build/test-linux build/test-windows; then
  total_passed=$((total_passed + 1))
else
  total_failed=$((total_failed + 1)); status=1
fi
WINEPREFIX="$KELVORA_WINEPREFIX" /usr/lib/wine/wineserver -k 2>/dev/null || true

if [ -x scripts/fuzz-smoke.sh ]; then
  echo "== Fuzzing (short run)"
  if scripts/fuzz-smoke.sh; then
    total_passed=$((total_passed + 1))
  else
    total_failed=$((total_failed + 1)); status=1
  fi
fi

echo
echo "Total: $total_passed passed, $total_failed failed"
exit $status
