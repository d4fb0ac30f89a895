#!/usr/bin/env bash
# windows_branches.sh <source folder> <Qt Core include folders, ;-separated> <version>
# The code is kept portable to Windows: every file of src/platform/ (the only place with
# Windows branches) must compile for Windows. Checked with mingw-w64 against the Qt headers
# at hand, syntax and types only (nothing is linked). Exits 77 (skipped) without mingw-w64.
set -uo pipefail

src=$1 includes=$2 version=$3
compiler=x86_64-w64-mingw32-g++
if ! command -v "$compiler" >/dev/null; then
  echo "SKIP: $compiler is not installed (Debian package g++-mingw-w64-x86-64 or mingw-w64)"
  exit 77
fi

flags=(-std=c++20 -fsyntax-only -Wall -Wextra -Werror -Wno-attributes -DQT_NO_KEYWORDS -DUNICODE -D_UNICODE
       "-DZARUN_VERSION_STRING=\"$version\"" "-I$src")
IFS=';' read -ra folders <<<"$includes"
for folder in "${folders[@]}"; do
  # The Linux build's mkspec is no place for a Windows compiler to look.
  case $folder in */mkspecs/*) continue ;; esac
  flags+=("-isystem" "$folder")
done

failures=0
for file in "$src"/platform/*.cpp; do
  if ! "$compiler" "${flags[@]}" "$file"; then
    echo "FAIL: $file does not compile for Windows"
    failures=$((failures + 1))
  fi
done
[ "$failures" -eq 0 ] && echo "src/platform compiles for Windows"
[ "$failures" -eq 0 ]
