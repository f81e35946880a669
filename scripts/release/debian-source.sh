# debian-source.sh - fetching Debian's source packages with apt, for the
# parts of the Windows build that Debian ships for Linux only. Sourced by
# scripts/release/fetch-debian-source (ISA-L, libxlsxwriter) and
# scripts/release/build-ffmpeg-windows:
#
#   . scripts/release/debian-source.sh
#   debian_source_update STATE                  # private lists of deb-src
#   version=$(debian_source_version STATE PACKAGE)   # from those lists, offline
#   debian_source_fetch STATE PACKAGE VERSION FOLDER # unpacked, patched
#                                   (an empty VERSION: the newest listed)
#
# apt works with a sources list and state of its own under STATE (lists,
# caches, downloads and logs), so the machine's apt configuration, lists and
# caches are left as they are; apt checks the files against the archive's
# signed index. The archive and release are the machine's own. Each function
# returns non-zero after saying why on stderr (prefixed with
# $debian_source_who).
# shellcheck shell=bash
debian_source_who=${debian_source_who:-debian-source}

debian_source_say() { echo "$debian_source_who: $*" >&2; }

# The archive this machine installs its release from.
debian_source_archive() {
  local codename=$1 file archive=""
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    archive=$(awk -v suite="$codename" '
      /^$/ { if (uri != "" && has) { print uri; exit } uri = ""; has = 0; next }
      /^URIs:/ { uri = $2 }
      /^Suites:/ { for (i = 2; i <= NF; ++i) if ($i == suite) has = 1 }
      END { if (uri != "" && has) print uri }' "$file" | head -n 1)
    [ -n "$archive" ] && break
  done
  if [ -z "$archive" ] && [ -f /etc/apt/sources.list ]; then
    archive=$(awk -v suite="$codename" '$1 == "deb" && $3 == suite { print $2; exit }' /etc/apt/sources.list)
  fi
  echo "${archive:-http://deb.debian.org/debian}"
}

# Runs apt-get or apt-cache (PROGRAM) with the options that keep everything
# apt reads and writes below STATE. Downloads run as root there (as apt does
# for a user's own folders), not as apt's _apt user.
debian_source_apt() {
  local state=$1 program=$2
  shift 2
  "$program" -q \
    -o "Dir::Etc::sourcelist=$state/sources.sources" -o Dir::Etc::sourceparts=- \
    -o "Dir::State::Lists=$state/lists" -o "Dir::Cache=$state/cache" \
    -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache= \
    -o APT::Sandbox::User=root -o Acquire::http::Timeout=30 -o Acquire::Retries=1 "$@"
}

# Writes STATE's sources list and fetches its lists.
debian_source_update() {
  local state=$1 codename archive
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
  archive=$(debian_source_archive "$codename")
  mkdir -p "$state/lists/partial" "$state/cache/archives/partial" || return 1
  cat >"$state/sources.sources" <<SOURCES
Types: deb-src
URIs: $archive
Suites: $codename
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  debian_source_say "reading the list of Debian's sources from $archive ($codename)"
  if ! debian_source_apt "$state" apt-get update >"$state/update.log" 2>&1; then
    debian_source_say "apt-get update failed (see $state/update.log)"
    return 1
  fi
}

# Prints the newest version of PACKAGE's source in STATE's lists (empty
# without lists); needs no network.
debian_source_version() {
  local state=$1 package=$2
  [ -f "$state/sources.sources" ] || return 0
  debian_source_apt "$state" apt-cache showsrc --only-source "$package" 2>/dev/null |
    awk '/^Version: / { print $2 }' | sort -V | tail -n 1
}

# Downloads PACKAGE at VERSION and unpacks it into FOLDER (which must not
# exist): the upstream tarball, then Debian's folder, with Debian's patches
# applied as Debian applies them.
debian_source_fetch() {
  local state=$1 package=$2 version=$3 folder=$4 download orig debian_tar patch what
  download="$state/download/$package"
  what=$package
  [ -z "$version" ] || what="$package=$version"
  rm -rf "$download" "$folder.partial"
  mkdir -p "$download" || return 1
  debian_source_say "fetching Debian's source of $what"
  if ! (cd "$download" && debian_source_apt "$state" apt-get source --download-only "$what") \
    >"$state/source-$package.log" 2>&1; then
    debian_source_say "apt-get source failed (see $state/source-$package.log)"
    return 1
  fi
  # (ls fails on the two patterns that match nothing.)
  orig=$(ls "$download"/*.orig.tar.gz "$download"/*.orig.tar.xz "$download"/*.orig.tar.bz2 2>/dev/null |
    head -n 1 || true)
  if [ -z "$orig" ]; then
    debian_source_say "the source package $package has no upstream tarball"
    return 1
  fi
  # (Callers test the status, which turns set -e off in here: each step
  # returns on its own failure.)
  mkdir -p "$folder.partial" || return 1
  tar -xf "$orig" -C "$folder.partial" --strip-components=1 || return 1
  debian_tar=$(ls "$download"/*.debian.tar.* 2>/dev/null | head -n 1 || true)
  if [ -n "$debian_tar" ]; then
    tar -xf "$debian_tar" -C "$folder.partial" || return 1
    if [ -f "$folder.partial/debian/patches/series" ]; then
      while read -r patch _; do
        case "$patch" in '' | '#'*) continue ;; esac
        if ! patch -d "$folder.partial" -p1 --quiet <"$folder.partial/debian/patches/$patch"; then
          debian_source_say "Debian's patch $patch does not apply to $package"
          return 1
        fi
      done <"$folder.partial/debian/patches/series"
    fi
  fi
  rm -rf "$folder" "$download" && mv "$folder.partial" "$folder"
}
