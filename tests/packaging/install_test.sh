#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs each package's component of a build into a scratch root, as
# CPack does, and checks what a packager and a desktop see there: the
# programs, the licence, the changelog, manual pages that man reads without
# a warning and that carry this version, a desktop entry and AppStream
# metadata that their validators pass, and icons of the size their
# directories promise.
#   tests/packaging/install_test.sh BUILD_DIR VERSION cli|window
set -euo pipefail
build="$1" version="$2" component="$3"
root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
DESTDIR="$root" cmake --install "$build" --prefix /usr --component "$component" >/dev/null
usr="$root/usr"

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
need() { [ -e "$usr/$1" ] || fail "not installed: /usr/$1"; }

# Prints what man says about a manual page beyond the page itself, as
# lintian asks it.
man_warnings() {
  LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$1" 2>&1 >/dev/null
}
check_man_page() {  # program
  local page="$usr/share/man/man1/$1.1.gz" warnings
  need "share/man/man1/$1.1.gz"
  [ -e "$page" ] || return 0
  warnings="$(man_warnings "$page")"
  [ -z "$warnings" ] || fail "$1(1): $warnings"
  zcat "$page" | grep -q "^\.TH .* \"Vorneck $version\"" || fail "$1(1) does not name version $version"
  if zcat "$page" | grep -q "@[A-Z_]*@"; then fail "$1(1) has an unreplaced @VARIABLE@"; fi
}
check_docs() {  # package
  need "share/doc/$1/copyright"
  need "share/doc/$1/changelog.Debian.gz"
  if [ -e "$usr/share/doc/$1/changelog.Debian.gz" ]; then
    top="$(zcat "$usr/share/doc/$1/changelog.Debian.gz" | head -1)"
    case "$top" in
      "vorneck ($version-"*) ;;
      *) fail "$1: the changelog's newest entry is not version $version: $top" ;;
    esac
  fi
  grep -q "^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" \
    "$usr/share/doc/$1/copyright" 2>/dev/null || fail "$1: copyright is not machine-readable"
}

case "$component" in
  cli)
    need bin/vorneck-cli
    [ ! -e "$usr/bin/vorneck" ] || fail "the window is in the command line's package"
    check_man_page vorneck-cli
    check_docs vorneck-cli
    ;;
  window)
    need bin/vorneck
    [ ! -e "$usr/bin/vorneck-cli" ] || fail "the command line is in the window's package"
    check_man_page vorneck
    check_docs vorneck
    desktop="$usr/share/applications/vorneck.desktop"
    need share/applications/vorneck.desktop
    if [ -e "$desktop" ]; then
      out="$(desktop-file-validate "$desktop" 2>&1)" || fail "desktop-file-validate failed"
      [ -z "$out" ] || fail "desktop-file-validate: $out"
      exec_name="$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")"
      [ -x "$usr/bin/$exec_name" ] || fail "the desktop entry starts '$exec_name', not installed in /usr/bin"
      grep -q "^StartupWMClass=vorneck$" "$desktop" || fail "the desktop entry lost StartupWMClass"
      icon="$(sed -n 's/^Icon=//p' "$desktop")"
    fi
    metainfo=("$usr"/share/metainfo/*.metainfo.xml)
    if [ -e "${metainfo[0]}" ]; then
      out="$(appstreamcli validate --no-net --pedantic "${metainfo[0]}" 2>&1)" ||
        fail "appstreamcli validate: $out"
      if grep -q "^[EWIP]:" <<<"$out"; then fail "appstreamcli validate: $out"; fi
      grep -q "<launchable type=\"desktop-id\">vorneck.desktop</launchable>" "${metainfo[0]}" ||
        fail "the metainfo does not launch vorneck.desktop"
      grep -q "<release version=\"$version\"" "${metainfo[0]}" || fail "the metainfo's release is not $version"
    else
      fail "no AppStream metainfo installed"
    fi
    for size in 16 32 48 64 128 256; do
      png="$usr/share/icons/hicolor/${size}x${size}/apps/${icon:-vorneck}.png"
      if [ -e "$png" ]; then
        got="$(identify -format '%wx%h' "$png")"
        [ "$got" = "${size}x${size}" ] || fail "the ${size}x${size} icon is $got"
      else
        fail "no ${size}x${size} icon named '${icon:-vorneck}'"
      fi
    done
    need "share/icons/hicolor/scalable/apps/${icon:-vorneck}.svg"
    ;;
  *) echo "usage: install_test.sh BUILD_DIR VERSION cli|window" >&2; exit 2 ;;
esac

[ "$failures" -eq 0 ] || exit 1
echo "install of $component: all checks passed"
