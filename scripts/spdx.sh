#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Puts the licence identifier at the top of every tracked source file of the
# git work tree it is run in, in that file's comment syntax.
#   scripts/spdx.sh           add the line where it is missing
#   scripts/spdx.sh --check   list the files that lack it; fail if there are any
#
# The line goes first, except after a "#!" line and after an XML declaration,
# which must stay first. Files of other kinds (pictures, module data,
# Markdown, the licence text) are left alone.
set -euo pipefail

readonly tag="SPDX-License-Identifier: MIT"

check=false
case "${1:-}" in
  --check) check=true ;;
  "") ;;
  *) echo "usage: scripts/spdx.sh [--check]" >&2; exit 2 ;;
esac

top="$(git rev-parse --show-toplevel 2>/dev/null)" || {
  echo "spdx: not inside a git work tree" >&2
  exit 77
}
cd "$top"

# Prints the licence line in the file's comment syntax, or nothing when the
# file is not a kind that carries one.
comment_for() {
  local path="$1" name="${1##*/}" first=""
  case "$name" in
    *.cpp | *.cc | *.cxx | *.c | *.h | *.hpp | *.hh | *.cpp.in | *.h.in)
      echo "// $tag" ;;
    CMakeLists.txt | *.cmake | *.cmake.in | *.sh | *.py | *.supp | .gitignore | \
      *.desktop | *.desktop.in)
      echo "# $tag" ;;
    *.xml | *.xml.in | *.qrc | *.svg)
      echo "<!-- $tag -->" ;;
    *.[1-8] | *.[1-8].in)
      echo ".\\\" $tag" ;;
    *.*) ;;
    *)
      # No extension: a script when it starts with "#!".
      IFS= read -r first <"$path" || true
      case "$first" in "#!"*) echo "# $tag" ;; esac ;;
  esac
}

has_tag() {
  head -n 5 -- "$1" | grep -q "SPDX-License-Identifier:"
}

add_tag() {
  local path="$1" line="$2" tmp
  tmp="$(mktemp)"
  # After a "#!" line or an XML declaration on line 1, else before line 1.
  # (The line goes in through the environment: awk -v would eat its backslashes.)
  SPDX_LINE="$line" awk '
    NR == 1 && (/^#!/ || /^<\?xml/) { print; print ENVIRON["SPDX_LINE"]; done = 1; next }
    NR == 1 { print ENVIRON["SPDX_LINE"]; done = 1 }
    { print }
    END { if (!done) print ENVIRON["SPDX_LINE"] }
  ' "$path" >"$tmp"
  # Write through the existing file, so that its mode stays as it was.
  cat "$tmp" >"$path"
  rm -f "$tmp"
}

lacking=0
while IFS= read -r -d '' path; do
  [ -f "$path" ] && [ ! -L "$path" ] || continue
  line="$(comment_for "$path")"
  [ -n "$line" ] || continue
  has_tag "$path" && continue
  if $check; then
    echo "$path"
    lacking=$((lacking + 1))
  else
    add_tag "$path" "$line"
    echo "spdx: $path" >&2
  fi
done < <(git ls-files -z)

if $check && [ "$lacking" -gt 0 ]; then
  echo "spdx: $lacking file(s) lack \"$tag\" (scripts/spdx.sh adds it)" >&2
  exit 1
fi
exit 0
