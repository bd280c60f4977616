#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build, test and run the program.
set -euo pipefail
pkgs=(build-essential cmake ninja-build qt6-base-dev qt6-base-dev-tools libgl-dev libsqlite3-dev
      libreoffice-calc libreoffice-l10n-fr libreoffice-dev libreoffice-dev-common poppler-utils fonts-dejavu-core
      xauth xvfb qt6-translations-l10n)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
