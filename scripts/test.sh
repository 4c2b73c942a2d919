#!/usr/bin/env bash
# Installs what is needed, builds Kelvora for Linux and (cross-compiled, the window included) for
# Windows, and runs every test: the Linux suites natively, the Windows suites (the window's among
# them) under wine64, and a short fuzz run.
set -uo pipefail
cd "$(dirname "$0")/.."
top=$PWD
jobs=${KELVORA_JOBS:-2}

bash scripts/setup.sh || exit 1

# Prints a stage's heading with the time since the start.
stage() { echo "== $* [$((SECONDS / 60)) min $((SECONDS % 60)) s]"; }

# What Debian has only as source for Windows (SQLite, Qt's qtbase) is built once per machine into a
# cache outside the build tree (scripts/windows-deps.sh). A machine without it builds it in the
# background, at a lower priority, while the Linux builds and tests run; the Windows build waits for
# it. With the cache in place this takes a second.
mkdir -p build
deps_log=build/windows-deps.log
setsid -w nice -n 10 bash scripts/windows-deps.sh >"$deps_log" 2>&1 &
deps_pid=$!
trap 'kill -- -"$deps_pid" 2>/dev/null' EXIT

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

# The test builds are optimised as a release is, without debug information: it would double their
# compile and link times (the static Windows test programs would weigh about 100 MB each). The
# sanitizer builds below keep its line tables (-g1), which their reports need: full debug
# information would add a third to their compile times.
release_flags=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG")

stage "Linux build"
cmake -S . -B build/test-linux -G Ninja "${release_flags[@]}" || exit 1
cmake --build build/test-linux -j"$jobs" || exit 1
stage "Linux tests"
run_ctest build/test-linux -j"$jobs"

# The core, archive and browser tests again, built with sanitizers: AddressSanitizer with
# UndefinedBehaviorSanitizer, then ThreadSanitizer (the archive packs and extracts on worker
# threads). Only those modules' test programs are built, at -O1.
for sanitizer in address thread; do
  case $sanitizer in
    address) dir=build/test-asan ;;
    thread) dir=build/test-tsan ;;
  esac
  stage "Linux tests with KELVORA_SANITIZE=$sanitizer"
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVORA_SANITIZE=$sanitizer \
    -DKELVORA_GUI=OFF -DKELVORA_BENCH=OFF \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" || exit 1
  cmake --build "$dir" -j"$jobs" --target tests_core tests_archive tests_browsers || exit 1
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    run_ctest "$dir" -j"$jobs" -L '^(core|archive|browsers)$'
done

stage "Windows dependencies"
if ! wait "$deps_pid"; then
  cat "$deps_log"
  echo "scripts/windows-deps.sh failed: its log is above ($deps_log)"
  exit 1
fi
cat "$deps_log"
stage "Windows build (mingw-w64)"
cmake -S . -B build/test-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  "${release_flags[@]}" || exit 1
cmake --build build/test-windows -j"$jobs" || exit 1
stage "Windows tests under wine64"
# Two test programs run at a time, each in a Wine prefix of its own (tests/CMakeLists.txt).
export KELVORA_WINEPREFIX="$top/build/test-windows/wineprefix"
wine_prefixes=("$KELVORA_WINEPREFIX" "$KELVORA_WINEPREFIX-2")
# Each prefix is made, and wine's own services started, before any test runs, with nothing but
# /dev/null to inherit: a service started by a test would hold that test's output pipe open and
# ctest would wait on it until the test's time-out.
for prefix in "${wine_prefixes[@]}"; do
  WINEPREFIX="$prefix" WINEDEBUG=-all /usr/lib/wine/wineserver -p 2>/dev/null || true
  KELVORA_WINEPREFIX="$prefix" cmake/wine-run.sh wineboot --init </dev/null >/dev/null 2>&1 &
done
wait
run_ctest build/test-windows -j"$jobs" --resource-spec-file "$top/build/test-windows/wine-prefixes.json"
stage "Archives between the Linux and the Windows build"
if scripts/cross-archive-check.sh build/test-linux build/test-windows; then
  total_passed=$((total_passed + 1))
else
  total_failed=$((total_failed + 1)); status=1
fi
for prefix in "${wine_prefixes[@]}"; do
  WINEPREFIX="$prefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
done

if [ -x scripts/fuzz-smoke.sh ]; then
  stage "Fuzzing (short run)"
  if scripts/fuzz-smoke.sh; then
    total_passed=$((total_passed + 1))
  else
    total_failed=$((total_failed + 1)); status=1
  fi
fi

echo
stage "End"
echo "Total: $total_passed passed, $total_failed failed"
exit $status
