#!/usr/bin/env bash
# Builds everything: the native tools and tests (release and sanitizer
# trees), the x86_64 and i686 Windows trees, and assembles dist/.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"

[ "${VTL_SKIP_SETUP:-0}" = 1 ] || bash scripts/setup.sh
JOBS=${VTL_JOBS:-$(nproc)}

source scripts/configure.sh

# VTL_TREES picks the trees (the demo needs no sanitizer tree).
TREES=${VTL_TREES:-native asan win64 win32}

mkdir -p build
# The native tree always: dist/ takes vtlpack and the runtime jar from it.
for tree in native $TREES; do
  configure_tree "$tree" || exit 1
done

# What each tree must build: the release tools for dist/ natively, and
# every test in the sanitizer and both Windows trees (the tests run on both
# widths). VTL_FULL_BUILD=1 builds everything in every tree.
declare -A TARGETS=(
  [native]="vtlpack vtlruntime_jar vtlcatalogue_file"
  [asan]=""
  [win64]=""
  [win32]=""
)
[ "${VTL_FULL_BUILD:-0}" = 1 ] && TARGETS=([native]="" [asan]="" [win64]="" [win32]="")

for tree in $TREES; do
  echo "build: $tree"
  # shellcheck disable=SC2086
  if ! ninja -C "build/$tree" -j "$JOBS" ${TARGETS[$tree]} > "build/$tree.log" 2>&1; then
    grep -vE '^\[[0-9]+/[0-9]+\] ' "build/$tree.log" | tail -n 60
    echo "build: $tree FAILED (full output in build/$tree.log)"
    exit 1
  fi
done

# dist/: what users get. Names are stable; scripts depend on them.
rm -rf dist
mkdir -p dist/stubs dist/runtime/i686 dist/runtime/x86_64
copy_if() { [ -f "$1" ] && cp "$1" "$2"; return 0; }
copy_if build/native/pack/vtlpack dist/vtlpack
copy_if build/win64/pack/vtlpack.exe dist/vtlpack.exe
cp build/win32/vtlstub.exe dist/stubs/vantrel-i686.exe
cp build/win64/vtlstub.exe dist/stubs/vantrel-x86_64.exe
cp build/win32/vtlstubw.exe dist/stubs/vantrelw-i686.exe
cp build/win64/vtlstubw.exe dist/stubs/vantrelw-x86_64.exe
copy_if build/native/runtime/vtlruntime.jar dist/runtime/vtlruntime.jar
copy_if build/native/pack/catalogue.tsv dist/catalogue.tsv
copy_if build/win32/runtime/vtlinst/vtlinst.dll dist/runtime/i686/vtlinst.dll
copy_if build/win64/runtime/vtlinst/vtlinst.dll dist/runtime/x86_64/vtlinst.dll

# The Maven plugin, built offline against Debian's repository: it carries
# the stubs, the runtime archive, both helper libraries and the key and
# message catalogue just copied to dist/. dist/maven gets its jar and POM,
# and a repository folder holding them that a POM can name as a plugin
# repository.
echo "build: maven plugin"
MAVEN_VERSION=$(sed -n 's:^  <version>\(.*\)</version>.*:\1:p' maven/pom.xml | head -n 1)
if ! mvn -B -o -s maven/offline-settings.xml -Daether.offline.protocols=file \
    -Dmaven.repo.local="$ROOT/build/maven/repository" -Dvantrel.dist="$ROOT/dist" \
    -Dvantrel.buildDirectory="$ROOT/build/maven/target" -f maven/pom.xml package > build/maven.log 2>&1; then
  grep -E 'ERROR|FAIL' build/maven.log | tail -n 40
  echo "build: maven plugin FAILED (full output in build/maven.log)"
  exit 1
fi
PLUGIN=vantrel-maven-plugin-$MAVEN_VERSION
PLUGIN_REPO=dist/maven/repository/org/vantrel/vantrel-maven-plugin/$MAVEN_VERSION
mkdir -p "$PLUGIN_REPO"
cp "build/maven/target/$PLUGIN.jar" dist/maven/
cp maven/pom.xml "dist/maven/$PLUGIN.pom"
cp "dist/maven/$PLUGIN.jar" "dist/maven/$PLUGIN.pom" "$PLUGIN_REPO/"
for f in "$PLUGIN_REPO/$PLUGIN.jar" "$PLUGIN_REPO/$PLUGIN.pom"; do
  sha1sum "$f" | cut -d' ' -f1 > "$f.sha1"
  md5sum "$f" | cut -d' ' -f1 > "$f.md5"
done
echo "build: done; products in dist/"
