#!/usr/bin/env bash
# Fails, naming the files, when a tracked C++ file differs from what .clang-format makes of it.
# clang-format-14 is Debian 12's, the version of its clang: other versions format a few
# constructs differently, so the check names its version.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if report=$(clang-format-14 --dry-run -Werror "${files[@]}" 2>&1); then
  echo "formatting: ${#files[@]} files as .clang-format has them" >&2
  exit 0
fi
echo "formatting: these files differ from .clang-format (clang-format-14 -i FILE fixes them):" >&2
grep -o '^[^ :]*\.\(cpp\|h\):' <<<"$report" | tr -d ':' | sort -u | sed 's/^/  /' >&2 ||
  echo "$report" >&2
exit 1
