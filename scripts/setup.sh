#!/usr/bin/env bash
# Installs every package the build and the tests need. Safe to run again:
# it only calls apt-get when something is missing.
set -euo pipefail

PACKAGES=(
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools
  wine64 cmake ninja-build openjdk-17-jdk-headless googletest
  libtomlplusplus-dev python3-pytest osslsigncode locales-all xvfb
  clang libclang-rt-14-dev libh2-java python3-pefile debootstrap
  maven libmaven3-core-java libmaven-plugin-tools-java libmaven-install-plugin-java
  libmaven-compiler-plugin-java libmaven-resources-plugin-java libmaven-jar-plugin-java
  libsurefire-java libcommons-lang3-java
)

# With arguments, only those packages (scripts/test.sh takes debootstrap
# first, so that the 32-bit set-up can start while the rest installs).
[ $# -gt 0 ] && PACKAGES=("$@")

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
echo "setup: all packages present"
