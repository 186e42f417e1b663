#!/usr/bin/env bash
# Installs what is missing, builds and runs every test, in each preset named
# (default: the normal build, the kernel rig over it, the sanitizer build,
# the thread-sanitizer build of the suites where threads meet, and the
# 32-bit Windows build of the platform-neutral suites, run under wine).
# "kernel-rig" is a step, not a preset: zarnet-cli and the gadget camera of
# build/default against Debian's kernel in QEMU, so it comes after default.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh test
presets=("$@")
if [ ${#presets[@]} -eq 0 ]; then presets=(default kernel-rig sanitize thread win32); fi
jobs=$(nproc 2>/dev/null || echo 2)
for preset in "${presets[@]}"; do
  if [ "$preset" = kernel-rig ]; then
    echo "== kernel-rig"
    tools/kernel-rig/install.sh
    tools/kernel-rig/run.sh
    continue
  fi
  echo "== preset: $preset"
  cmake --preset "$preset"
  cmake --build --preset "$preset" -j "$jobs"
  if [ "$preset" = win32 ]; then
    # Some kernels run no 32-bit programs at all (IA-32 emulation off): there
    # wine cannot start, and the suites are built but cannot be run.
    if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
      echo "win32: this machine's kernel runs no 32-bit programs, so wine cannot start:"
      echo "win32: the 32-bit Windows programs and suites were built, and none of them was run"
      continue
    fi
    # One wine prefix for the suites, made before they start side by side;
    # wineboot never waits on an installer window.
    export WINEDEBUG=-all WINEPREFIX="$PWD/build/win32/wineprefix" WINEDLLOVERRIDES="mscoree,mshtml="
    wine wineboot --init
    # No window manager runs on the virtual display: wine's windows are not
    # left to one, or hiding each would wait seconds for its withdrawal.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null
    # The next wine starts afresh, on the virtual display.
    wineserver -w
    # The Windows dialog's tests draw real windows. Now and then wine itself
    # drops a test process's connection to its server ("wine client error:
    # recvmsg"), whatever the test: only then are the failed tests run once
    # more, and said so. Any other failure fails the run.
    log=build/win32/ctest-output.log
    on_display() { xvfb-run -a -s "-screen 0 1024x768x24" "$@"; }
    if ! on_display ctest --preset "$preset" -j "$jobs" --output-on-failure 2>&1 | tee "$log"; then
      grep -q "wine client error" "$log" || exit 1
      echo "win32: wine dropped a test's connection to its server; the failed tests run once more:"
      grep -E '^[[:space:]]*[0-9]+ - .*\((Failed|Exception|Timeout|SEGFAULT|Subprocess aborted)\)' "$log" |
        sed 's/^[[:space:]]*/win32:   /' || true
      on_display ctest --preset "$preset" --rerun-failed --output-on-failure
    fi
    continue
  fi
  ctest --preset "$preset" -j "$jobs"
done
