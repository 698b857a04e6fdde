# Debian's source packages for the libraries the Windows builds make for themselves (sourced by
# scripts/windows-wx and scripts/windows-sqlite). A package is fetched with apt once into a folder
# of the cache and kept there; it is unpacked with Debian's patches applied (the security fixes
# among them). The first fetch adds a deb-src entry beside the archive the machine already uses,
# /etc/apt/sources.list.d/ostravel-deb-src.sources, which needs root.
#
#   debian_source_fetch FOLDER PACKAGE          fetch unless some version of it is in FOLDER
#   debian_source_version FOLDER PACKAGE        the newest version in FOLDER
#   debian_source_unpack FOLDER PACKAGE INTO    unpack the newest version into INTO (made afresh)

debian_source_add_deb_src() {
  [[ ! -e /etc/apt/sources.list.d/ostravel-deb-src.sources && ! -e /etc/apt/sources.list.d/ostravel-deb-src.list ]] ||
    return 0
  if [[ $(id -u) -ne 0 ]]; then
    echo "${0##*/}: fetching Debian's source packages needs a deb-src entry in apt's sources; adding it needs root: run this once as root" >&2
    exit 1
  fi
  if [[ -f /etc/apt/sources.list.d/debian.sources ]]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
      > /etc/apt/sources.list.d/ostravel-deb-src.sources
  else
    grep -h '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' > /etc/apt/sources.list.d/ostravel-deb-src.list
  fi
  apt-get update -qq
}

debian_source_dsc() {
  compgen -G "$1/${2}_*.dsc" | sort -V | tail -n 1
}

debian_source_fetch() {
  local folder=$1 package=$2
  [[ -z $(debian_source_dsc "$folder" "$package") ]] || return 0
  mkdir -p "$folder"
  if ! (cd "$folder" && apt-get source --download-only "$package" > /dev/null 2>&1); then
    debian_source_add_deb_src
    # An update announced in an index whose files a mirror does not have yet: the release's own.
    local codename
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    (cd "$folder" && { apt-get source --download-only "$package" > /dev/null 2>&1 ||
                       apt-get source --download-only "$package/$codename" > /dev/null; }) ||
      { echo "${0##*/}: could not fetch the source package $package" >&2; exit 1; }
  fi
}

debian_source_version() {
  local dsc
  dsc=$(debian_source_dsc "$1" "$2")
  dsc=${dsc##*/}
  dsc=${dsc#"${2}_"}
  echo "${dsc%.dsc}"
}

debian_source_unpack() {
  local dsc
  dsc=$(debian_source_dsc "$1" "$2")
  rm -rf "$3"
  dpkg-source --no-check -x "$dsc" "$3" > /dev/null
}
