#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# scripts/spdx.sh on a scratch git repository holding one file of each kind:
# where the line goes, which files are left alone, and what --check reports.
#   tests/packaging/spdx_test.sh PATH/TO/spdx.sh
set -euo pipefail
spdx="$(realpath "$1")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
git init -q .

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
expect_line() {  # file, line number, expected text
  local got
  got="$(sed -n "${2}p" "$1")"
  [ "$got" = "$3" ] || fail "$1 line $2: expected '$3', got '$got'"
}

printf '#include <cstdio>\nint main() { return 0; }\n' >main.cpp
printf '' >empty.h
printf '#!/bin/sh\necho hi\n' >tool.sh
chmod 755 tool.sh
printf '#!/usr/bin/env bash\nexit 0\n' >run
printf 'print("no newline at the end")' >noeol.py
printf 'add_library(x a.cpp)\n' >CMakeLists.txt
printf '<?xml version="1.0" encoding="UTF-8"?>\n<component/>\n' >app.metainfo.xml
printf '<!DOCTYPE RCC>\n<RCC version="1.0"/>\n' >res.qrc
printf '.TH X 1\n.SH NAME\nx \\- y\n' >x.1
printf '[Desktop Entry]\nName=X\n' >x.desktop
printf '// Says what it does.\n// SPDX-License-Identifier: MIT\nint x;\n' >already.cpp
printf '# Notes\n' >README.md
printf 'MIT License\n' >LICENSE
printf '\x00\x01binary' >regression-input
printf '\x89PNG\r\n' >icon.png
git add .
printf 'int untracked;\n' >untracked.cpp
cp README.md README.before
cp regression-input regression-input.before

expected_lacking="$(printf '%s\n' CMakeLists.txt app.metainfo.xml empty.h main.cpp noeol.py res.qrc run tool.sh x.1 x.desktop)"
status=0
lacking="$("$spdx" --check 2>/dev/null)" || status=$?
[ "$status" -eq 1 ] || fail "--check before: exit $status, expected 1"
[ "$lacking" = "$expected_lacking" ] || fail "--check before listed:
$lacking
expected:
$expected_lacking"

"$spdx" 2>/dev/null

status=0
lacking="$("$spdx" --check 2>/dev/null)" || status=$?
[ "$status" -eq 0 ] || fail "--check after: exit $status"
[ -z "$lacking" ] || fail "--check after still lists: $lacking"

expect_line main.cpp 1 "// SPDX-License-Identifier: MIT"
expect_line main.cpp 2 "#include <cstdio>"
expect_line empty.h 1 "// SPDX-License-Identifier: MIT"
expect_line tool.sh 1 "#!/bin/sh"
expect_line tool.sh 2 "# SPDX-License-Identifier: MIT"
expect_line run 1 "#!/usr/bin/env bash"
expect_line run 2 "# SPDX-License-Identifier: MIT"
expect_line noeol.py 1 "# SPDX-License-Identifier: MIT"
expect_line noeol.py 2 'print("no newline at the end")'
expect_line CMakeLists.txt 1 "# SPDX-License-Identifier: MIT"
expect_line app.metainfo.xml 1 '<?xml version="1.0" encoding="UTF-8"?>'
expect_line app.metainfo.xml 2 "<!-- SPDX-License-Identifier: MIT -->"
expect_line res.qrc 1 "<!-- SPDX-License-Identifier: MIT -->"
expect_line x.1 1 '.\" SPDX-License-Identifier: MIT'
expect_line x.1 2 ".TH X 1"
expect_line x.desktop 1 "# SPDX-License-Identifier: MIT"
expect_line x.desktop 2 "[Desktop Entry]"
[ "$(grep -c SPDX already.cpp)" -eq 1 ] || fail "already.cpp got a second line"
[ -x tool.sh ] || fail "tool.sh lost its executable mode"
cmp -s README.md README.before || fail "README.md was changed"
cmp -s regression-input regression-input.before || fail "a binary file was changed"
[ "$(cat untracked.cpp)" = "int untracked;" ] || fail "an untracked file was changed"

# A second run changes nothing.
git add -u
"$spdx" 2>/dev/null
git diff --quiet || fail "a second run changed: $(git diff --name-only | tr '\n' ' ')"

# The man page still reads without complaint.
if command -v man >/dev/null; then
  warnings="$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z x.1 2>&1 >/dev/null)"
  [ -z "$warnings" ] || fail "man page warnings: $warnings"
fi

[ "$failures" -eq 0 ] || exit 1
echo "spdx.sh: all checks passed"
