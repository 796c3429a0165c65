#!/usr/bin/env bash
# Checks the packages scripts/package.sh made: unpacks both into a temporary root, runs the
# unpacked programs (durvane --version and a conversion of the sample), reads the manual pages
# and the bash completion from there, and validates the desktop entry, the AppStream metainfo
# and the MIME type file.
set -euo pipefail
cd "$(dirname "$0")/.."

version=$(dpkg-parsechangelog -l packaging/changelog -S Version)
cli=build-release/packages/durvane_${version}_amd64.deb
gui=build-release/packages/durvane-gui_${version}_amd64.deb
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
fail() {
  echo "check-packages: $*" >&2
  exit 1
}

for deb in "$cli" "$gui"; do
  [ -f "$deb" ] || fail "$deb is missing: run scripts/package.sh first"
  dpkg-deb -x "$deb" "$root"
done
depends=$(dpkg-deb -f "$gui" Depends)
[[ $depends == *"durvane (= $version)"* ]] || fail "durvane-gui does not depend on durvane $version: $depends"

durvane=$root/usr/bin/durvane
[ "$("$durvane" --version)" = "durvane $version" ] || fail "durvane --version says '$("$durvane" --version)'"
[ "$("$root/usr/bin/durvane-gui" --version)" = "durvane-gui $version" ] || fail "durvane-gui --version"
mkdir "$work/qel"
"$durvane" convert -o "$work/qel" examples/sample.opt
"$durvane" info "$work/qel/sample/sample.prj" > /dev/null || fail "the converted sample is not valid"
bitmaps=("$work"/qel/sample/*.BMP)
[ ${#bitmaps[@]} -eq 5 ] || fail "the sample gave ${#bitmaps[@]} bitmaps, not 5"

# The manual pages read without warnings, and durvane(1) names every command.
for page in durvane durvane-gui; do
  file=$root/usr/share/man/man1/$page.1.gz
  [ -f "$file" ] || fail "no manual page $page(1)"
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" 2>&1 > /dev/null)
  [ -z "$warnings" ] || fail "$page(1): $warnings"
done
manual=$(MANWIDTH=200 man -l "$root/usr/share/man/man1/durvane.1.gz" 2> /dev/null)
for command in convert info merge help; do
  grep -q "^ *durvane $command" <<< "$manual" || fail "durvane(1) does not show 'durvane $command'"
done

# bash-completion finds the completions where it looks for them, under XDG_DATA_DIRS.
completion=$(XDG_DATA_DIRS=$root/usr/share bash -c '
  source /usr/share/bash-completion/bash_completion
  for command in durvane durvane-gui; do
    __load_completion "$command" && complete -p "$command"
  done')
[ "$completion" = $'complete -F _durvane durvane\ncomplete -F _durvane_gui durvane-gui' ] ||
  fail "bash-completion did not load the completions: $completion"

desktop-file-validate "$root/usr/share/applications/durvane-gui.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.durvane.durvane.metainfo.xml"
echo
# The types compile with the system's database and are matched by extension, in any case.
mkdir -p "$work/mime/packages"
cp /usr/share/mime/packages/freedesktop.org.xml "$root/usr/share/mime/packages/durvane.xml" \
  "$work/mime/packages/"
messages=$(XDG_DATA_DIRS=$work update-mime-database "$work/mime" 2>&1)
[ -z "$messages" ] || fail "update-mime-database: $messages"
for glob in '50:model/x-opt:*.opt' '50:model/x-prj:*.prj'; do
  grep -qxF "$glob" "$work/mime/globs2" || fail "the MIME database lacks $glob"
done
echo "check-packages: $cli and $gui are good"
