#!/usr/bin/env bash
# Cross-builds, from Debian's source packages, the libraries the program needs to turn tracks a player
# cannot play into MP3: LAME (encoder only) and TagLib as DLLs, and the Xiph decoders (libogg,
# libvorbis, libFLAC, libopus, opusfile) as static libraries, all into one prefix in the user's cache:
#   ${XDG_CACHE_HOME:-$HOME/.cache}/songferry/codecs/prefix   (include/, lib/, bin/, share/licenses/)
# and, beside LAME's DLL, LAME's command-line encoder (bin/lame.exe) for the benchmark.
# The Debian source packages stay in .../codecs/downloads: scripts/library-sources.sh zips those of
# the DLLs the release ships.
# Each library is built once for its Debian version and this script's recipe for it; later runs
# reuse it. A library is rebuilt when its version, its recipe or a library it builds on changes.
#   scripts/build-codecs.sh             build what is missing or out of date
#   scripts/build-codecs.sh --rebuild   build everything again (the downloaded sources are kept)
# cmake/Codecs.cmake turns the prefix into imported targets.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/songferry/codecs
prefix=$cache/prefix
host=x86_64-w64-mingw32
objdump=$host-objdump
# The machine is shared: two jobs at most, whatever it has.
jobs=2

rebuild=no
case "${1:-}" in
  "") ;;
  --rebuild) rebuild=yes ;;
  *) echo "usage: $0 [--rebuild]" >&2; exit 2 ;;
esac

say() { echo "build-codecs: $*"; }
fail() { echo "build-codecs: $*" >&2; exit 1; }

"$root/scripts/install-deps.sh" --packages-only

mkdir -p "$cache"
# Two runs at once would install into the same prefix.
exec 9>"$cache/.lock"
flock 9

started=$SECONDS
stamps=$prefix/share/songferry-codecs/stamps
manifests=$prefix/share/songferry-codecs/manifests
logs=$cache/logs
mkdir -p "$stamps" "$manifests" "$logs" "$cache/downloads"
if [ "$rebuild" = yes ]; then
  rm -rf "$prefix"
  mkdir -p "$stamps" "$manifests"
fi

# --- Debian's sources, through apt's own configuration kept under the cache ---------------------------
# The machine's apt configuration names only binary packages; the private one adds the matching deb-src
# entries of the Debian archive it already uses (not third-party archives, which seldom carry sources),
# and keeps its own package lists, so the system's apt is neither changed nor locked.
apt_dir=$cache/apt
mkdir -p "$apt_dir/sources.list.d" "$apt_dir/state/lists/partial" "$apt_dir/cache/archives/partial"
apt_opts=(
  -o "Dir::Etc::SourceList=$apt_dir/sources.list"
  -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
  -o "Dir::State=$apt_dir/state"
  -o "Dir::Cache=$apt_dir/cache"
  # apt's unprivileged download user could not write into a home folder's cache.
  -o "APT::Sandbox::User=$(id -un)"
)

debian_source_entries() {
  local file
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$file" ] || continue
    # One-line form: deb [options] URI suite [components...]
    awk '$1 == "deb" { $1 = "deb-src"; print }' "$file"
  done
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    # deb822 form: one paragraph per entry; continuation lines (an inline key) are skipped.
    awk '
      function flush() {
        if (types ~ /(^| )deb( |$)/ && enabled != "no" && uris != "")
          printf "deb-src %s%s %s\n", (signed != "" ? "[signed-by=" signed "] " : ""), uris, "SUITES=" suites " COMPONENTS=" components
        types = uris = suites = components = signed = enabled = ""
      }
      /^[[:space:]]*$/ { flush(); next }
      /^[[:space:]#]/ { next }
      {
        key = tolower($1); sub(/:$/, "", key); $1 = ""; sub(/^[[:space:]]+/, "")
        if (key == "types") types = $0
        else if (key == "uris") uris = $0
        else if (key == "suites") suites = $0
        else if (key == "components") components = $0
        else if (key == "signed-by") signed = $0
        else if (key == "enabled") enabled = tolower($0)
      }
      END { flush() }' "$file" |
      # Expands every URI x suite pair into the one-line form.
      while read -r kind rest; do
        local opts="" uris suites components
        if [[ "$rest" == \[* ]]; then opts="${rest%%]*}] " rest=${rest#*] }; fi
        uris=${rest%% SUITES=*} rest=${rest#* SUITES=}
        suites=${rest%% COMPONENTS=*} components=${rest#* COMPONENTS=}
        for uri in $uris; do
          for suite in $suites; do echo "$kind $opts$uri $suite $components"; done
        done
      done
  done
}

# Debian's own archive (deb.debian.org, a mirror or a snapshot): its path names the distribution,
# and its key, when named, is Debian's.
debian_source_entries | awk '/\/debian(-security)?\/?([[:space:]]|\/)/ && (!/signed-by=/ || /signed-by=[^] ]*debian-archive/)' \
  >"$apt_dir/sources.list.new"
[ -s "$apt_dir/sources.list.new" ] || fail "no Debian archive found in /etc/apt/sources.list or /etc/apt/sources.list.d"
mv "$apt_dir/sources.list.new" "$apt_dir/sources.list"

# Without the network, apt keeps the lists of the last update: the versions they name are those in the
# cache, so a run offline still reuses what it built.
apt-get "${apt_opts[@]}" -qq update >"$logs/apt-update.log" 2>&1 || true
if grep -q '^[WE]:' "$logs/apt-update.log"; then
  say "could not update the list of Debian's sources (see $logs/apt-update.log); using the last one"
fi

# The newest version of a source package over all the suites listed (stable, updates, security).
debian_version() {
  local newest="" version
  for version in $(apt-cache "${apt_opts[@]}" showsrc --only-source "$1" 2>/dev/null | sed -n 's/^Version: //p'); do
    if [ -z "$newest" ] || dpkg --compare-versions "$version" gt "$newest"; then newest=$version; fi
  done
  [ -n "$newest" ] || fail "no source package $1 in the list of Debian's sources (see $logs/apt-update.log)"
  echo "$newest"
}

# Unpacks the Debian source (upstream tarball with Debian's patches applied) into a fresh folder.
unpack_source() {
  local package=$1 version=$2 dest=$3 dsc
  dsc=$cache/downloads/${package}_${version#*:}.dsc
  # apt checks the files already downloaded and fetches only what is missing or damaged.
  if ! (cd "$cache/downloads" && apt-get "${apt_opts[@]}" -qq source --download-only "$package=$version") \
    >>"$log" 2>&1; then
    [ -f "$dsc" ] || fail "could not download the source of $package $version (see $log)"
  fi
  rm -rf "$dest"
  mkdir -p "$(dirname "$dest")"
  dpkg-source --no-copy -x "$dsc" "$dest" >>"$log" 2>&1 || fail "could not unpack $dsc (see $log)"
}

# --- The recipes ----------------------------------------------------------------------------------------
# Each runs in the unpacked source and installs into "$stage$prefix". The shipped configure scripts
# are used as they are: no autotools needed. Debian's patches to Makefile.am or configure.in take no
# effect then; none of them changes a library (LAME's pkg-config file and its -msse, which x86-64 has
# anyway; libvorbis's tests; FLAC's documentation).
# Fortify and stack-protector code would need MinGW's libssp in every program that links the static
# libraries, so it stays off: _FORTIFY_SOURCE=0 also keeps configure scripts from adding their own.

autotools_build() {
  ./configure --host=$host --prefix="$prefix" --disable-dependency-tracking \
    CC=$host-gcc-posix CXX=$host-g++-posix CFLAGS="-O2" CPPFLAGS="-I$prefix/include -D_FORTIFY_SOURCE=0" \
    LDFLAGS="-L$prefix/lib" \
    PKG_CONFIG=pkg-config PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" PKG_CONFIG_PATH= "$@"
}

build_libogg() {
  autotools_build --disable-shared --enable-static
  make -j$jobs -C src
  make -C src install DESTDIR="$stage"
  make -C include install DESTDIR="$stage"
  make install-pkgconfigDATA DESTDIR="$stage"
}

build_libvorbis() {
  autotools_build --disable-shared --enable-static --disable-docs --disable-examples --disable-oggtest \
    --with-ogg="$prefix"
  make -j$jobs -C lib
  make -C lib install DESTDIR="$stage"
  make -C include install DESTDIR="$stage"
  make install-pkgconfigDATA DESTDIR="$stage"
}

build_flac() {
  autotools_build --disable-shared --enable-static --disable-programs --disable-examples --disable-cpplibs \
    --disable-doxygen-docs --disable-stack-smash-protection --disable-fortify-source --disable-oggtest \
    --with-ogg="$prefix"
  # Only the library: the documentation's Makefile.am carries a Debian patch that make would want to
  # regenerate with automake.
  make -j$jobs -C src/libFLAC
  make -C src/libFLAC install DESTDIR="$stage"
  make -C include/FLAC install DESTDIR="$stage"
}

build_opus() {
  autotools_build --disable-shared --enable-static --disable-doc --disable-extra-programs \
    --disable-stack-protector
  make -j$jobs
  make install DESTDIR="$stage"
}

build_opusfile() {
  # Without HTTP, which would need OpenSSL: the program reads only local files.
  autotools_build --disable-shared --enable-static --disable-http --disable-examples --disable-doc
  make -j$jobs
  make install DESTDIR="$stage"
}

build_lame() {
  # A DLL of the encoder alone: the MP3 decoder is not needed.
  # The list of exports names the decoder's functions, and lame_init_old, which LAME 3.100 no longer
  # defines: a Windows DLL cannot export what it lacks.
  sed -i -e '/^hip_/d' -e '/^lame_decode/d' -e '/^lame_init_old$/d' include/libmp3lame.sym
  autotools_build --enable-shared --disable-static --disable-decoder --disable-rpath
  make -j$jobs -C libmp3lame
  make -C libmp3lame install DESTDIR="$stage"
  make -C include install DESTDIR="$stage"
  # LAME's own command-line encoder (bin/lame.exe), against the same DLL: the benchmark compares the
  # program's conversion with it. It is not shipped, nor named in the notice. Its mp3rtp and mp3x
  # siblings are not built.
  make -j$jobs -C frontend lame.exe
  make -C frontend install-binPROGRAMS DESTDIR="$stage"
}

build_taglib() {
  # Debian builds TagLib against its packaged utf8-cpp; the copy TagLib bundles is the same header-only
  # library and needs nothing installed.
  patch -R -p1 <debian/patches/0001-Use-system-libutf8cpp-library.patch
  # Without zlib: TagLib uses it only for ID3v2 frames stored compressed, which are rare; it keeps
  # such a frame as an unknown one, undecoded, and copies it unchanged.
  # libstdc++, libgcc and winpthread (which libstdc++ uses for its locks) are linked in (-static), so
  # that the DLL needs no MinGW runtime DLL beside it.
  cmake -S . -B build -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=ON \
    -DBUILD_BINDINGS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF -DWITH_ZLIB=OFF \
    -DCMAKE_SHARED_LINKER_FLAGS="-static"
  cmake --build build -j$jobs
  DESTDIR="$stage" cmake --install build
  # A Unix shell script: of no use on Windows.
  rm -f "$stage$prefix/bin/taglib-config" "$stage$prefix/bin/taglib-config.cmd"
}

# What each library builds on: a new key for one (a new version or recipe) rebuilds those that link it.
declare -A needs=([libogg]="" [libvorbis]="libogg" [flac]="libogg" [opus]="" [opusfile]="libogg opus" [lame]="" [taglib]="")
# What the prefix holds of each, its licence, and the upstream files with the licence's text.
declare -A holds=(
  [libogg]="libogg.a (Ogg container)" [libvorbis]="libvorbis.a, libvorbisfile.a (Vorbis decoder)"
  [flac]="libFLAC.a (FLAC decoder)" [opus]="libopus.a (Opus codec)" [opusfile]="libopusfile.a (Ogg Opus files)"
  [lame]="libmp3lame-0.dll (MP3 encoder)" [taglib]="libtag.dll (tags)"
)
declare -A licence=(
  [libogg]="BSD-3-Clause" [libvorbis]="BSD-3-Clause" [flac]="BSD-3-Clause (libFLAC)" [opus]="BSD-3-Clause"
  [opusfile]="BSD-3-Clause"
  [lame]="LGPL-2.0-or-later; libmp3lame/fft.c: GPL-1.0-or-later according to Debian's copyright file"
  [taglib]="LGPL-2.1-only or MPL-1.1; its bundled utf8-cpp: BSL-1.0"
)
declare -A licence_files=(
  [libogg]="COPYING" [libvorbis]="COPYING" [flac]="COPYING.Xiph" [opus]="COPYING" [opusfile]="COPYING"
  [lame]="COPYING LICENSE" [taglib]="COPYING.LGPL COPYING.MPL"
)
order=(libogg libvorbis flac opus opusfile lame taglib)

# --- Building -------------------------------------------------------------------------------------------
declare -A version key
for package in "${order[@]}"; do
  version[$package]=$(debian_version "$package")
  # The key names the version, the recipe, and the keys of the libraries it builds on.
  recipe=$(declare -f "build_$package")
  [[ "$recipe" != *autotools_build* ]] || recipe+=$(declare -f autotools_build)
  key[$package]="${version[$package]} $(sha256sum <<<"$recipe" | cut -c1-16)"
  for dep in ${needs[$package]}; do key[$package]+=" $dep(${key[$dep]})"; done

  if [ -f "$stamps/$package" ] && [ "$(cat "$stamps/$package")" = "${key[$package]}" ]; then
    say "reusing $package ${version[$package]}"
    continue
  fi

  say "building $package ${version[$package]}"
  log=$logs/$package.log
  : >"$log"
  work=$cache/build/$package
  stage=$cache/stage/$package
  unpack_source "$package" "${version[$package]}" "$work"
  rm -rf "$stage"
  # A subshell of its own, so that the recipe stops at its first failing command. Its status is read
  # afterwards, not with || or if: bash ignores errexit in anything run as a condition, subshells too.
  set +e
  (
    set -e
    cd "$work"
    "build_$package"
  ) >>"$log" 2>&1
  status=$?
  set -e
  [ "$status" -eq 0 ] || { tail -n 30 "$log" >&2; fail "$package failed (see $log)"; }

  # libtool's archives and the documentation are not needed to link; the DLLs lose their symbols.
  find "$stage$prefix" -name '*.la' -delete
  rm -rf "$stage$prefix/share/doc" "$stage$prefix/share/man" "$stage$prefix/share/aclocal"
  find "$stage$prefix" -name '*.dll' -exec $host-strip --strip-unneeded {} +
  mkdir -p "$stage$prefix/share/licenses/$package"
  cp "$work/debian/copyright" "$stage$prefix/share/licenses/$package/copyright"
  for file in ${licence_files[$package]}; do cp "$work/$file" "$stage$prefix/share/licenses/$package/"; done

  # The files of the previous build go first, so that none of an older version lingers.
  if [ -f "$manifests/$package" ]; then
    (cd "$prefix" && xargs -d '\n' rm -f <"$manifests/$package")
  fi
  (cd "$stage$prefix" && find . -type f -o -type l) >"$manifests/$package"
  cp -a "$stage$prefix/." "$prefix/"
  echo "${key[$package]}" >"$stamps/$package"
  rm -rf "$work" "$stage"
done
rm -rf "$cache/build" "$cache/stage"

# --- Checks and the notice -------------------------------------------------------------------------------
# A static library that calls libssp's checks would fail to link into the program.
for archive in "$prefix"/lib/*.a; do
  [[ "$archive" == *.dll.a ]] && continue
  if $host-nm -u "$archive" 2>/dev/null | grep -qE ' __(stack_chk_[a-z]+|[a-z_]+_chk)$'; then
    fail "$(basename "$archive") calls the stack or buffer checks of libssp"
  fi
done
# Each DLL may import only what the program itself may: the system's DLLs and msvcrt.
for dll in "$prefix"/bin/*.dll; do
  "$root/tests/release/check-imports.sh" "$objdump" "$dll" || fail "$(basename "$dll") needs a DLL that Windows does not have"
done

{
  echo "Libraries built from Debian's source packages: the source package and its Debian version, what the"
  echo "program takes from it, and its licence."
  echo "The full texts are in share/licenses/<package>/: Debian's copyright file and the upstream licence."
  echo
  for package in "${order[@]}"; do
    echo "$package ${version[$package]}: ${holds[$package]}"
    echo "  licence: ${licence[$package]}"
  done
} >"$prefix/share/licenses/NOTICE.txt"

say "done in $((SECONDS - started)) s: $prefix"
