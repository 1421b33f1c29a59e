#!/usr/bin/env bash
# The dependency block of docs/ARCHITECTURE.md against what each library's
# CMakeLists.txt links of the project's own libraries: both must name the
# same arrows. Prints each library where they part and fails.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
libs="comm link paramset traffic figures record chart runs measure tune sim tunerig window cli"
target() { case $1 in sim) echo servosim ;; cli) echo servocli ;; *) echo "$1" ;; esac; }
documented() {
  sed -n '/^```deps/,/^```/p' "$here/docs/ARCHITECTURE.md" |
    awk -v lib="$1" '$1 == lib && $2 == "->" { sub(/^[^>]*->/, ""); gsub(/[ ,]+/, "\n"); print }' |
    grep -v '^$' | sort | tr '\n' ' ' || true
}
linked() {
  tr '\n' ' ' < "$here/$1/CMakeLists.txt" | grep -o "target_link_libraries($(target "$1") [^)]*)" |
    sed "s/^target_link_libraries($(target "$1") //" | tr ' )' '\n\n' | while read -r word; do
      for lib in $libs; do [ "$word" = "$(target "$lib")" ] && echo "$lib"; done
    done | sort | tr '\n' ' ' || true
}
status=0
for lib in $libs; do
  doc=$(documented "$lib"); cmake=$(linked "$lib")
  if [ "$doc" != "$cmake" ]; then
    echo "$lib: docs/ARCHITECTURE.md says '$doc', CMake links '$cmake'"
    status=1
  fi
done
[ $status -eq 0 ] && echo "check-deps: the documented arrows are the linked ones"
exit $status
