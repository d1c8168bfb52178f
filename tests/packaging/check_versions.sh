#!/usr/bin/env bash
# Usage: check_versions.sh VERSION SOURCE_DIR PROGRAM...
# Each PROGRAM --version prints one line "NAME VERSION", NAME being the
# program's file name, followed by " (git DESCRIPTION)" when SOURCE_DIR is a
# git checkout; it needs no display.
set -euo pipefail
version=$1
source_dir=$2
shift 2
git_part='( \(git [0-9A-Za-z._+~-]+\))?'
if git -C "$source_dir" rev-parse --git-dir >/dev/null 2>&1; then
  git_part=' \(git [0-9A-Za-z._+~-]+\)'
fi
failures=0
for program in "$@"; do
  name=$(basename "$program")
  output=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "$program" --version 2>&1) || {
    echo "FAIL: $name --version exits with an error: $output"
    failures=$((failures + 1))
    continue
  }
  pattern="^${name//./\\.} ${version//./\\.}${git_part}$"
  if [[ $output =~ $pattern ]]; then
    echo "ok: $output"
  else
    echo "FAIL: $name --version prints '$output', expected '$name $version' (and the git description)"
    failures=$((failures + 1))
  fi
done
exit $((failures > 0))
