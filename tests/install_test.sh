#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the three Debian packages, holds them to lintian (no error; every
# warning explained in docs/packaging.md), unpacks them into a scratch
# folder and uses that installation as README says, from a copy of the
# example sources: the embedding example built with pkg-config and with
# CMake, the unpacked tool converting the sample picture with the library
# unpacked beside it, its manual page and its bash completion.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "install test: $*" >&2; exit 1; }
unset LD_LIBRARY_PATH JAVTRG_LIBRARY PKG_CONFIG_PATH

# ---------------------------------------------------------------- packages
cpack --config "$build/CPackConfig.cmake" -B "$work/debs" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; fail "cpack failed"; }
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
debs=()
for package in libjavtrg0 libjavtrg-dev javtrg; do
    deb=$work/debs/${package}_${version}_$(dpkg --print-architecture).deb
    [ -f "$deb" ] || fail "no package $package $version: $(ls "$work/debs")"
    debs+=("$deb")
done
[ "$(dpkg-deb -f "$work/debs/libjavtrg0_"*.deb Version)" = "$version" ] || fail "the packages' version is not $version"
dpkg-deb -f "$work/debs/javtrg_"*.deb Depends | grep -qF "libjavtrg0 (= $version)" || fail "javtrg does not depend on libjavtrg0"
for control in shlibs symbols triggers; do
    dpkg-deb --info "$work/debs/libjavtrg0_"*.deb "$control" >/dev/null || fail "libjavtrg0 has no $control"
done

# lintian: no error, and no warning that docs/packaging.md does not explain.
lintian --fail-on error --no-tag-display-limit "${debs[@]}" >"$work/lintian.log" 2>&1 ||
    { cat "$work/lintian.log" >&2; fail "lintian found errors"; }
while read -r tag; do
    grep -qF "\`$tag\`" "$source/docs/packaging.md" || fail "lintian warns $tag, which docs/packaging.md does not explain"
done < <(sed -n 's/^W: [^:]*: \([a-z0-9-]*\).*/\1/p' "$work/lintian.log" | sort -u)

root=$work/root
for deb in "${debs[@]}"; do dpkg-deb -x "$deb" "$root"; done
libdir=$(dirname "$(find "$root" -name 'libjavtrg.so.0' -print -quit)")
[ "$libdir" = "$root/usr/lib/$(c++ -print-multiarch)" ] || fail "libjavtrg.so.0 is in $libdir"

# The installed header is C as much as C++: a C program compiles against it.
printf '#include <javtrg/host_services.h>\nint main(void) { return kKindRectangle == 10 && kEncodingUnits == 51 ? 0 : 1; }\n' |
    cc -std=c11 -Wall -Wextra -pedantic -Werror -I"$root/usr/include" -x c - -o "$work/c_consumer" ||
    fail "the installed header does not compile as C"
"$work/c_consumer" || fail "the C program reads other codes"

# ---------------------------------------------------------------- README's commands
# The block after README's marker line, run as written in a copy of the
# sources with prefix set to the unpacked installation.
mkdir -p "$work/src/examples" "$work/src/tests"
cp "$source/examples/embed_example.cpp" "$work/src/examples/"
cp -r "$source/tests/install_consumer" "$work/src/tests/"
awk '/<!-- tests\/install_test.sh runs/ {found = 1; next}
     found && /^```/ {if (inside) exit; inside = 1; next}
     inside' "$source/README.md" >"$work/readme.sh"
grep -q '^prefix=' "$work/readme.sh" || fail "README's embedding commands are not found"
sed -i "s|^prefix=.*|prefix=$root/usr|" "$work/readme.sh"
(cd "$work/src" && bash -euo pipefail "$work/readme.sh") >"$work/readme.log" 2>&1 ||
    { cat "$work/readme.log" >&2; fail "README's embedding commands failed"; }
[ "$(grep -cx 'r,10,10,38,48' "$work/readme.log")" = 2 ] ||
    { cat "$work/readme.log" >&2; fail "README's two example programs did not each print their rectangle"; }

# ---------------------------------------------------------------- the tool
tool=$root/usr/bin/javtrg
"$tool" --version | grep -qF "library $(realpath "$libdir/libjavtrg.so.0")" ||
    fail "the tool loads another library: $("$tool" --version)"
"$tool" convert "$source/examples/sample.json" -o "$work/sample.records"
cmp -s "$work/sample.records" "$source/tests/golden/sample.records" || fail "the unpacked tool's sample stream differs"

# man finds the page, renders it without warnings, and it lists every option
# of --help.
MANWIDTH=200 man --warnings -M "$root/usr/share/man" javtrg 2>"$work/man.err" >"$work/man.txt"
[ ! -s "$work/man.err" ] || { cat "$work/man.err" >&2; fail "the manual page has errors"; }
python3 "$source/packaging/help_pages.py" --check "$tool" "$work/man.txt" || fail "the manual page is not the tool's help"

# Completion: the words offered after what is typed (the cursor at the end).
mkdir -p "$work/cwd/streams"
touch "$work/cwd/sample.json"
complete_words() {
    (cd "$work/cwd" && bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
        _javtrg; printf "%s " "${COMPREPLY[@]}"' _ "$root/usr/share/bash-completion/completions/javtrg" "$@")
}
while IFS='|' read -r typed expected; do
    read -ra words <<<"$typed"
    [[ $typed == *" " ]] && words+=("")
    got=$(complete_words javtrg "${words[@]}")
    [ "${got% }" = "$expected" ] || fail "completing 'javtrg $typed' offers '${got% }', not '$expected'"
done <<'EOF'
c|check convert
convert --o|--out-dir --output
convert --out-dir |streams
convert -j |
convert sa|sample.json
preview --l|--lenient
--v|--version
EOF
