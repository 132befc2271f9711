#!/usr/bin/env bash
# Builds the engine, the editor and their tests with sanitizers, each kind
# in a build folder of its own, and runs the tests there:
#   address  AddressSanitizer with UndefinedBehaviorSanitizer (build-asan/):
#            every test
#   thread   ThreadSanitizer (build-tsan/): the robustness tests, which
#            fire hundreds of render requests, open and New during passes
#   bash tools/sanitize.sh [address] [thread]     (default: both)
# tools/dev.sh test runs this after the Release tests.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

kinds=("$@")
((${#kinds[@]})) || kinds=(address thread)
jobs=$(nproc)
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=true
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

configure() {  # folder kind
  # -O1 keeps the instrumented kernels quick enough; -g1 gives reports
  # their file and line.
  cmake -S . -B "$1" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" -DLUMETRA_SANITIZE="$2" \
    -DLUMETRA_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
}

for kind in "${kinds[@]}"; do
  case "$kind" in
    address)
      echo "== AddressSanitizer and UndefinedBehaviorSanitizer: all tests (build-asan)"
      configure build-asan address
      cmake --build build-asan -j"$jobs"
      (cd build-asan &&
        ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=0" \
        UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
        QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$jobs")
      ;;
    thread)
      echo "== ThreadSanitizer: robustness tests (build-tsan)"
      configure build-tsan thread
      cmake --build build-tsan -j"$jobs" --target test_robustness
      # QProcess starts the batch tool with a vfork-like clone that shares
      # the checker's memory, which then believes the test process itself
      # forked while threaded and refuses its next thread: die_after_fork=0.
      (cd build-tsan &&
        TSAN_OPTIONS="suppressions=$root/tools/sanitizers/tsan.supp:halt_on_error=1:second_deadlock_stack=1:report_signal_unsafe=0:die_after_fork=0" \
        QT_QPA_PLATFORM=offscreen ctest -L robustness --output-on-failure)
      ;;
    *)
      echo "usage: bash tools/sanitize.sh [address] [thread]" >&2
      exit 2
      ;;
  esac
done
