# Sourced by the build scripts: configure_tree NAME configures build/NAME
# from the preset of that name in CMakePresets.json.
#
# A tree is configured again whenever the presets or the toolchain files
# have changed since it was last configured, so a changed option reaches an
# existing tree. That reconfiguration starts from a fresh cache (--fresh):
# CMake cannot change the compiler of a configured tree, and a fresh cache
# also drops a variable the preset no longer sets. Object files stay, so
# only what the new options change is compiled again.
configure_tree() {
  local name=$1 dir=build/$1
  local stamp
  stamp=$(cat CMakePresets.json cmake/toolchain-*.cmake | sha1sum | cut -d' ' -f1)
  if [ -f "$dir/build.ninja" ] && [ "$(cat "$dir/.preset-stamp" 2>/dev/null)" = "$stamp" ]; then
    return 0
  fi
  local fresh=()
  [ -f "$dir/CMakeCache.txt" ] && fresh=(--fresh)
  cmake --preset "$name" "${fresh[@]}" >"build/$name.configure.log" 2>&1 || {
    tail -n 30 "build/$name.configure.log"
    echo "configure: $name FAILED (full output in build/$name.configure.log)"
    return 1
  }
  echo "$stamp" >"$dir/.preset-stamp"
}
