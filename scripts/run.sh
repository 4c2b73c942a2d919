#!/usr/bin/env bash
# Installs what is needed, builds Kelvora for Linux with its window, and starts it. On a machine
# without a display (neither DISPLAY nor WAYLAND_DISPLAY is set) it says so and runs the
# command-line demo instead: the facts kelvora-cli reads from a freshly built sample machine.
# Arguments are passed on to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
build=${KELVORA_RUN_BUILD:-$top/build/run}
jobs=${KELVORA_JOBS:-2}

bash scripts/setup.sh

cmake -S . -B "$build" -G Ninja -DKELVORA_GUI=ON -DKELVORA_TESTS=OFF -DKELVORA_BENCH=OFF >/dev/null

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display here (neither DISPLAY nor WAYLAND_DISPLAY is set), so the Kelvora window can't open."
  echo "Running the command-line demo instead."
  echo
  cmake --build "$build" -j"$jobs" --target kelvora-cli kelvora-sample-machine
  machine="$build/demo-machine"
  rm -rf "$machine"
  "$build/tools/kelvora-sample-machine" "$machine" --user ann --version 6
  backups="$build/demo-backups"
  rm -rf "$backups"
  mkdir -p "$backups"
  demo() {
    echo
    echo "\$ kelvora-cli $*"
    "$build/src/cli/kelvora-cli" --root "$machine" --user ann "$@"
  }
  demo facts
  demo profiles firefox
  demo backup firefox --to "$backups" --profile abcd1234.default
  demo list "$backups/default.dat"
  demo restore firefox --from "$backups" --archive default.dat --profile wxyz5678.work --items "Bookmarks,Cookies"
  demo full-backup chrome --to "$backups"
  demo backup ie --to "$backups"
  demo verify "$backups/backup_ie.dat"
  echo
  ls -l "$backups"
  echo
  echo "With a display (or under xvfb-run -a), scripts/run.sh opens the window."
  exit 0
fi

cmake --build "$build" -j"$jobs" --target kelvora
exec "$build/src/app/kelvora" "$@"
