#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a temporary prefix and checks what a desktop and a package manager need; then
# builds the Debian package and checks its contents and declared dependencies.
#   install_check.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0
check() { # description, command...
  local what=$1
  shift
  if "$@" >/dev/null 2>&1; then
    echo "ok: $what"
  else
    echo "FAILED: $what"
    failures=$((failures + 1))
  fi
}

cmake --install "$build" --prefix "$prefix" >/dev/null
for program in hz70wiz hz70sim hz70cli; do
  check "bin/$program is installed and runs" test -x "$prefix/bin/$program"
done
check "hz70cli --help answers" "$prefix/bin/hz70cli" --help
check "hz70sim --help answers" "$prefix/bin/hz70sim" --help
desktop="$prefix/share/applications/org.hz70wiz.HZ70wiz.desktop"
check "desktop entry is valid" desktop-file-validate "$desktop"
check "desktop entry has a main category" grep -E '^Categories=(System|Utility|Development|Science);' "$desktop"
check "AppStream metainfo is valid" appstreamcli validate --no-net \
  "$prefix/share/metainfo/org.hz70wiz.HZ70wiz.metainfo.xml"
check "scalable icon" test -s "$prefix/share/icons/hicolor/scalable/apps/hz70wiz.svg"
for size in 16 24 32 48 64 128 256; do
  check "${size}px icon" test -s "$prefix/share/icons/hicolor/${size}x${size}/apps/hz70wiz.png"
done
check "licence in the documentation" grep -q common-licenses/GPL-3 "$prefix/share/doc/hz70wiz/copyright"
check "changelog in the documentation" gzip -t "$prefix/share/doc/hz70wiz/changelog.gz"
for program in hz70wiz hz70cli hz70sim; do
  check "manual page of $program" gzip -t "$prefix/share/man/man1/$program.1.gz"
done
# Made from hz70cli's --help: its newest option must be there (a dash is "\-" in the page's source).
check "hz70cli's manual page lists its options" zgrep -q 'ha\\-discovery' "$prefix/share/man/man1/hz70cli.1.gz"

(cd "$build" && cpack >/dev/null)
deb=$(ls -t "$build"/hz70wiz_*_amd64.deb | head -n 1)
info=$(dpkg-deb --info "$deb")
contents=$(dpkg-deb --contents "$deb")
for library in libqt6widgets6 libqt6core6 libc6 fonts-liberation qt6-translations-l10n; do
  check "package depends on $library" grep -q "Depends:.*$library" <<<"$info"
done
for file in usr/bin/hz70wiz usr/bin/hz70sim usr/bin/hz70cli usr/share/applications/org.hz70wiz.HZ70wiz.desktop; do
  check "package holds $file" grep -q "\./$file\$" <<<"$contents"
done

for file in usr/share/doc/hz70wiz/examples/hz70-acl usr/share/doc/hz70wiz/examples/hz70-mosquitto.conf; do
  check "package holds $file" grep -q "\./$file\$" <<<"$contents"
done
for file in usr/share/man/man1/hz70wiz.1.gz usr/share/man/man1/hz70cli.1.gz usr/share/man/man1/hz70sim.1.gz; do
  check "package holds $file" grep -q "\./$file\$" <<<"$contents"
done
# The gateway's service comes disabled: no link that enables it, and no maintainer script that would.
for file in usr/lib/systemd/system/hz70-gateway.service etc/hz70wiz/gateway.conf; do
  check "package holds $file" grep -q "\./$file\$" <<<"$contents"
done
check "the gateway's configuration is a conffile" grep -qx /etc/hz70wiz/gateway.conf \
  <(dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles)
check "the gateway's service is not enabled" bash -c '! grep -q "wants/hz70-gateway" <<<"$1"' _ "$contents"
check "no maintainer script enables a service" bash -c \
  '! dpkg-deb --ctrl-tarfile "$1" | tar -t | grep -qE "postinst|preinst"' _ "$deb"
if command -v systemd-analyze >/dev/null; then
  # Checked where the package was unpacked: its program, not one installed here.
  unpacked=$(mktemp -d)
  dpkg-deb -x "$deb" "$unpacked"
  sed "s|/usr/bin/hz70cli|$unpacked/usr/bin/hz70cli|" "$unpacked/usr/lib/systemd/system/hz70-gateway.service" \
    >"$unpacked/hz70-gateway.service"
  check "systemd accepts the gateway's service" systemd-analyze verify --man=no "$unpacked/hz70-gateway.service"
  rm -rf "$unpacked"
fi

# Errors and warnings both count; lintian says why on standard output.
if lintian --fail-on error,warning --tag-display-limit 0 "$deb" 2>/dev/null; then
  echo "ok: lintian finds nothing"
else
  echo "FAILED: lintian"
  failures=$((failures + 1))
fi

echo "$failures failed"
exit $((failures > 0))
