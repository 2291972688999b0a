#!/bin/sh
# Checks that every C and C++ source of the project is laid out as
# .clang-format says. Exit 77 (skipped) when clang-format is not installed.
#   check_format.sh SOURCE_DIR
cd "${1:-.}" || exit 2
format=$(command -v clang-format-14 || command -v clang-format) || exit 77
git ls-files '*.c' '*.cpp' '*.h' | grep -v '^python/' | xargs "$format" --style=file --dry-run --Werror
