#!/usr/bin/env bash
# Installs every Debian package the project needs and fetches Debian's
# squirrel3 source package into a git-ignored cache (.deps/). Idempotent:
# when everything is already present it only checks and returns.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cache="$root/.deps"

packages=(
  build-essential cmake ninja-build ccache pkg-config
  libsdl2-dev libgl-dev libegl-dev libgl1-mesa-dri
  libopenal-dev libsndfile1-dev libstb-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core
  xvfb xauth xdotool x11-utils imagemagick
  patch xz-utils ca-certificates
  clang-14 libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

sudo_cmd=()
if [ "$(id -u)" != 0 ]; then sudo_cmd=(sudo); fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "bootstrap: installing ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# --- Squirrel 3.1 from Debian's source package -------------------------------
# Our own patches (tools/squirrel-patches) go on after Debian's. The marker
# holds the hash of that patch set, so a changed set unpacks and patches again.
sq_dir="$cache/squirrel3"
sq_patches="$root/tools/squirrel-patches"
patch_set=$(cd "$sq_patches" && cat $(ls *.patch | sort) | sha256sum | awk '{print $1}')
if [ -f "$sq_dir/.ready" ] && [ "$(cat "$sq_dir/.ready")" = "$patch_set" ]; then
  exit 0
fi
rm -f "$sq_dir/.ready"

orig="" deb=""
for f in "$sq_dir"/dl/*.orig.tar.*; do [ -f "$f" ] && orig=$(basename "$f"); done
for f in "$sq_dir"/dl/*.debian.tar.*; do [ -f "$f" ] && deb=$(basename "$f"); done
if [ -z "$orig" ] || [ -z "$deb" ]; then
  echo "bootstrap: fetching the squirrel3 source package"
  work="$cache/apt"
  rm -rf "$work" "$sq_dir"
  mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/sources"

  # The mirror is whatever the system's own Debian source list names.
  uri=""
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    u=$(awk '/^URIs:/ {print $2; exit}' "$f")
    case "$u" in */debian) uri="$u"; break ;; esac
  done
  if [ -z "$uri" ] && [ -f /etc/apt/sources.list ]; then
    uri=$(awk '$1=="deb" && $2 ~ /\/debian\/?$/ {print $2; exit}' /etc/apt/sources.list)
    [ -n "$uri" ] || uri=$(awk '$1=="deb" {for(i=2;i<=NF;i++) if ($i ~ /^[a-z]+:\/\//) {print $i; exit}}' /etc/apt/sources.list)
  fi
  if [ -z "$uri" ]; then
    echo "bootstrap: cannot find a Debian mirror in the system's apt sources" >&2
    exit 1
  fi
  echo "deb-src [trusted=yes] $uri trixie main" > "$work/sources/squirrel.list"

  apt_opts=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$work/sources"
            -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache"
            -o Debug::NoLocking=1 -o APT::Sandbox::User=root)
  apt-get "${apt_opts[@]}" update -qq
  apt-get "${apt_opts[@]}" source --print-uris squirrel3 > "$work/uris.txt"

  mkdir -p "$sq_dir/dl"
  orig="" deb=""
  while read -r line; do
    case "$line" in
      \'*) ;;
      *) continue ;;
    esac
    u=$(echo "$line" | awk '{print $1}' | tr -d "'")
    name=$(echo "$line" | awk '{print $2}')
    hash=$(echo "$line" | awk '{print $4}')
    case "$name" in
      *.orig.tar.*|*.debian.tar.*) ;;
      *) continue ;;
    esac
    case "$hash" in SHA256:*) ;; *) echo "bootstrap: no SHA-256 for $name" >&2; exit 1 ;; esac
    /usr/lib/apt/apt-helper -o APT::Sandbox::User=root download-file "$u" "$sq_dir/dl/$name" "$hash" >/dev/null
    case "$name" in *.orig.tar.*) orig="$name" ;; *) deb="$name" ;; esac
  done < "$work/uris.txt"

  if [ -z "$orig" ] || [ -z "$deb" ]; then
    echo "bootstrap: the squirrel3 source package could not be found" >&2
    exit 1
  fi
  rm -rf "$work"
fi

# Unpacked files get the current time, so builds recompile what changed.
rm -rf "$sq_dir/src"
mkdir -p "$sq_dir/src"
tar -xmf "$sq_dir/dl/$orig" -C "$sq_dir/src" --strip-components=1
tar -xmf "$sq_dir/dl/$deb" -C "$sq_dir/src"
if [ -f "$sq_dir/src/debian/patches/series" ]; then
  while read -r p; do
    case "$p" in ''|\#*) continue ;; esac
    p=${p%% *}
    patch -d "$sq_dir/src" -p1 -s < "$sq_dir/src/debian/patches/$p"
  done < "$sq_dir/src/debian/patches/series"
fi
for p in $(cd "$sq_patches" && ls *.patch | sort); do
  patch -d "$sq_dir/src" -p1 -s --no-backup-if-mismatch < "$sq_patches/$p"
done
echo "$patch_set" > "$sq_dir/.ready"
echo "bootstrap: squirrel3 ready in $sq_dir/src"
