#!/usr/bin/env bash
# Installs 32-bit Wine on Debian, which the tests of the 32-bit build need:
# adds the i386 architecture to dpkg and installs wine32:i386 at wine64's
# version (on Debian 12: about 170 packages, 150 MB to download; apt also
# brings amd64 libraries that have i386 twins to the same version, which can
# mean upgrading several, systemd's among them; 30 s to a minute).
# scripts/test.sh runs it before the 32-bit tests; without root it names what
# to install and fails.
set -euo pipefail
if dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then exit 0; fi
if [ "$(id -u)" -ne 0 ]; then
  echo "wine32: as root: dpkg --add-architecture i386 && apt-get update && apt-get install wine32:i386" >&2
  exit 1
fi
echo "wine32: adding the i386 architecture and installing wine32:i386"
export DEBIAN_FRONTEND=noninteractive
dpkg --add-architecture i386
apt-get update -qq
apt-get install -y -qq --no-install-recommends "wine32:i386=$(dpkg-query -W -f='${Version}' wine64)" >/dev/null
