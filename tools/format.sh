#!/usr/bin/env bash
# The house format (.clang-format at the top) on every tracked C++ source:
#   bash tools/format.sh          formats them in place
#   bash tools/format.sh --check  changes nothing; fails, naming the files,
#                                 when one is not formatted (CI runs this)
# clang-format comes from Debian's package (tools/debian-packages.txt).
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t sources < <(git ls-files -- '*.cpp' '*.h')
if [[ "${1:-}" == --check ]]; then
  if ! clang-format --dry-run -Werror "${sources[@]}" 2>/tmp/lumetra-format.$$; then
    grep -oE '^[^ :]+:[0-9]+:[0-9]+: error' /tmp/lumetra-format.$$ | cut -d: -f1 | sort -u |
      sed 's/^/not formatted: /' >&2
    rm -f /tmp/lumetra-format.$$
    echo "Run: bash tools/format.sh" >&2
    exit 1
  fi
  rm -f /tmp/lumetra-format.$$
  echo "formatting: ${#sources[@]} files as .clang-format says"
else
  clang-format -i "${sources[@]}"
fi
