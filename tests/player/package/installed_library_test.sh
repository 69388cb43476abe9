#!/bin/sh
# The installed library as its users see it: cmake --install into a
# temporary prefix, then the example built against that tree through
# pkg-config and through find_package (the shared library and the archive),
# each run on an MPEG audio file whose WAV output sox must read as mpg123 decodes it.
# usage: installed_library_test.sh BUILD_DIR EXAMPLE_DIR MPEG_AUDIO_FILE
set -eu
build=$1 example=$2 mp3=$3
work=$(mktemp -d /tmp/melvox-install-XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$work/prefix" >/dev/null
prefix=$work/prefix
lib=$(ls -d "$prefix"/lib*/libmelvox.so | head -n 1)
libdir=$(dirname "$lib")
for f in include/melvox/melvox.h include/melvox/melvox_messages.h include/melvox/melvox_modules.h; do
  [ -f "$prefix/$f" ] || fail "$f not installed"
done
[ -f "$libdir/libmelvox.a" ] || fail "libmelvox.a not installed"
[ -n "$(find "$prefix" -name libmelvox-wave.so)" ] || fail "libmelvox-wave.so not installed"
soname=$(readelf -d "$lib" | sed -n 's/.*SONAME.*\[\(.*\)\]/\1/p')
[ "$soname" = libmelvox.so.0 ] || fail "SONAME is '$soname'"
[ -e "$libdir/$soname" ] || fail "$soname not installed"
# Only the caller functions are exported.
others=$(nm -D --defined-only "$lib" | awk '{sub(/@.*/, "", $3); print $3}' | grep -v -e '^player_' -e '^error_string$' -e '^MELVOX_0$' || true)
[ -z "$others" ] || fail "exported beyond the caller functions: $(echo $others | head -c 300)"
# A position-independent archive links whole into a shared object.
cc -shared -o "$work/whole.so" -Wl,--whole-archive "$libdir/libmelvox.a" -Wl,--no-whole-archive \
  $(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --static --libs-only-l melvox | sed 's/-lmelvox//') ||
  fail "libmelvox.a is not position independent"

mpg123 -q --no-gapless -w "$work/reference.wav" "$mp3"
expected=$(sox --i -s "$work/reference.wav")
check() { # program, label
  "$1" "$mp3" "$work/$2.wav" || fail "$2: the example failed"
  [ "$(sox --i -r "$work/$2.wav")" = 44100 ] && [ "$(sox --i -c "$work/$2.wav")" = 2 ] || fail "$2: wrong format"
  got=$(sox --i -s "$work/$2.wav")
  [ "$got" = "$expected" ] || fail "$2: $got samples, mpg123 decodes $expected"
  echo "$2: $got samples, as mpg123"
}

export PKG_CONFIG_PATH="$libdir/pkgconfig"
cc -o "$work/pkg-config-example" "$example/play_to_wav.c" $(pkg-config --cflags --libs melvox) -Wl,-rpath,"$libdir"
check "$work/pkg-config-example" pkg-config

for kind in shared static; do
  static=OFF
  [ $kind = static ] && static=ON
  cmake -S "$example" -B "$work/build-$kind" -DCMAKE_PREFIX_PATH="$prefix" -DMELVOX_EXAMPLE_STATIC=$static >/dev/null
  cmake --build "$work/build-$kind" >/dev/null
  check "$work/build-$kind/play_to_wav" find_package-$kind
done
