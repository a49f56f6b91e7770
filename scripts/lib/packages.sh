# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the set-up scripts. `install_missing PACKAGE...` installs those of the Debian packages that
# are not installed yet (the index is refreshed only then), as root or through sudo.

as_root() {
  if [[ $(id -u) -eq 0 ]]; then
    "$@"
  else
    sudo "$@"
  fi
}

install_missing() {
  local missing=() p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  if ((${#missing[@]} > 0)); then
    echo "$(basename "$0"): installing ${missing[*]}" >&2
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
  fi
}
