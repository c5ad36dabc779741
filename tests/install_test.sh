#!/usr/bin/env bash
# Installs the build into a temporary prefix, moves the installation away
# from where it was installed, and uses it as someone without the build tree
# would: the embedding example built against it through pkg-config and
# through find_package, and the installed tool converting the sample picture
# with the library it was installed with.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "install test: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$work/installed" >/dev/null
mv "$work/installed" "$work/moved"
prefix=$work/moved
unset LD_LIBRARY_PATH JAVTRG_LIBRARY
library=$(find "$prefix" -name 'libjavtrg.so.0' -print -quit)
[ -n "$library" ] || fail "no libjavtrg.so.0 installed"
libdir=$(dirname "$library")

# pkg-config finds the moved prefix from the file's own place.
export PKG_CONFIG_PATH=$libdir/pkgconfig
[ "$(pkg-config --variable=libdir javtrg)" -ef "$libdir" ] || fail "pkg-config libdir is not $libdir"
# shellcheck disable=SC2046
c++ -std=c++20 $(pkg-config --cflags javtrg) "$source/examples/embed_example.cpp" -o "$work/embed_pkgconfig" \
    $(pkg-config --libs javtrg) -ldl -Wl,-rpath,"$libdir"

# The installed header is C as much as C++: a C program compiles against it.
printf '#include <javtrg/host_services.h>\nint main(void) { return kKindRectangle == 10 && kEncodingUnits == 51 ? 0 : 1; }\n' |
    cc -std=c11 -Wall -Wextra -pedantic -Werror $(pkg-config --cflags javtrg) -x c - -o "$work/c_consumer" ||
    fail "the installed header does not compile as C"
"$work/c_consumer" || fail "the C program reads other codes"

cmake -S "$source/tests/install_consumer" -B "$work/consumer" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$prefix" -DEMBED_SOURCE="$source/examples/embed_example.cpp" >/dev/null
cmake --build "$work/consumer" >/dev/null

# Each loads the library by its SONAME and draws one rectangle.
for program in "$work/embed_pkgconfig" "$work/consumer/embed_example"; do
    out=$("$program") || fail "$program failed"
    [ "$out" = "r,10,10,38,48" ] || fail "$program wrote '$out'"
done

# The installed tool finds the installed library, not the build tree's.
tool=$prefix/bin/javtrg
readelf -d "$tool" | grep -q 'RUNPATH.*\$ORIGIN/\.\./lib' || fail "the tool's RUNPATH is not \$ORIGIN/../lib"
if readelf -d "$tool" | grep -qF "$build"; then fail "the tool refers to the build tree"; fi
"$tool" --version | grep -qF "library $(realpath "$library")" || fail "the tool loads another library: $("$tool" --version)"
"$tool" convert "$source/examples/sample.json" -o "$work/sample.records"
cmp -s "$work/sample.records" "$source/tests/golden/sample.records" || fail "the installed tool's sample stream differs"
