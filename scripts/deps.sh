#!/usr/bin/env bash
# Installs what building and testing Marlet needs on Debian 12, and fetches the
# source packages the Windows build compiles itself. Safe to run again.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

packages=(
  cmake ninja-build g++ clang clang-tidy cppcheck pkg-config
  libpugixml-dev googletest libgtest-dev libbenchmark-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools
  wine wine64 xvfb xauth x11-utils imagemagick
  nsis wixl msitools
)
# Extra packages other scripts ask for (fuzzing runtime, manual tools) are listed here too.
if [ -f "$top/scripts/packages.extra" ]; then
  mapfile -t extra < <(grep -v '^#' "$top/scripts/packages.extra" | tr -s ' \n' '\n' | sed '/^$/d')
  packages+=("${extra[@]}")
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then
    echo "deps: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  else
    echo "deps: missing Debian packages: ${missing[*]}" >&2
    echo "deps: install them with: sudo apt-get install ${missing[*]}" >&2
    exit 1
  fi
fi

# pugixml for the Windows build: Debian's source package of the installed version,
# fetched with a private sources list so the system's configuration is untouched.
deps="$top/.deps"
version=$(dpkg-query -W -f='${Version}' libpugixml-dev)
if [ ! -f "$deps/pugixml/src/pugixml.cpp" ] || [ "$(cat "$deps/pugixml/.version" 2>/dev/null)" != "$version" ]; then
  echo "deps: fetching the pugixml $version source package"
  apt_dir="$deps/apt"
  mkdir -p "$apt_dir/lists/partial" "$apt_dir/download"
  # The same archive and suite the system's own binary packages come from.
  read -r uri suite < <(apt-get indextargets --format '$(REPO_URI) $(RELEASE)' \
                          'Identifier: Packages' 'Component: main' 2>/dev/null | awk '$2 !~ /-/' | head -n 1)
  if [ -z "${uri:-}" ]; then
    echo "deps: cannot tell which Debian archive the system uses (apt-get update first)" >&2
    exit 1
  fi
  echo "deb-src $uri $suite main" > "$apt_dir/sources.list"
  apt_opts=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o Dir::Etc::SourceParts=/dev/null
            -o "Dir::State::Lists=$apt_dir/lists" -o Debug::NoLocking=1)
  apt-get "${apt_opts[@]}" -qq update
  rm -rf "$apt_dir/download"/* "$deps/pugixml"
  (cd "$apt_dir/download" && apt-get "${apt_opts[@]}" -qq source --download-only "pugixml=$version" 2>/dev/null)
  mkdir -p "$deps/pugixml"
  tar -xzf "$apt_dir/download"/pugixml_*.orig.tar.gz -C "$deps/pugixml" --strip-components=1
  echo "$version" > "$deps/pugixml/.version"
fi
