#!/usr/bin/env bash
# Fails on a tracked C++ file off the .clang-format style, on a clang-tidy finding (.clang-tidy)
# in the project's own sources, or on two source files that use each other (check-cycles.py). Usage: scripts/check-style.sh [build-dir with compile_commands.json]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
root=$(pwd)

# The tracked files: without git (or outside a checkout) the check would check nothing.
command -v git >/dev/null || { echo "check-style: git is needed to list the files" >&2; exit 1; }
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ ${#files[@]} -lt 50 ]; then
    echo "check-style: only ${#files[@]} C++ files found; is this a checkout?" >&2
    exit 1
fi
clang-format-14 --dry-run --Werror "${files[@]}"
echo "clang-format: ${#files[@]} files in style"

# Tests and benchmarks are left out: they take time and their fixtures follow other habits.
dirs='app|core|ctl|display|link|params|plant|platform|protocol|report|sim|ui'
run-clang-tidy-14 -quiet -j "$(nproc)" -p "$build" -header-filter="^$root/($dirs)/" \
    "^$root/($dirs)/.*\.cpp\$" > "$build/clang-tidy.log" 2>&1 || {
    grep -E 'warning:|error:' -A3 "$build/clang-tidy.log" || tail -40 "$build/clang-tidy.log"
    echo "clang-tidy: findings above (whole log: $build/clang-tidy.log)"
    exit 1
}
echo "clang-tidy: no findings"
python3 scripts/check-cycles.py "$build"
