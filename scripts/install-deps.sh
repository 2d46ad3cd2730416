#!/usr/bin/env bash
# Installs every Debian package listed in scripts/debian-packages.txt.
# Runs as root (or through sudo) on Debian 12.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mapfile -t packages < <(grep -v -E '^\s*(#|$)' "$here/debian-packages.txt")
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    echo "install-deps.sh: installing packages needs root: run it as root (su -c 'bash $0')," >&2
    echo "or install sudo and give this user the right to use it." >&2
    exit 1
  fi
  sudo_cmd=(sudo)
fi
if [ -z "$(find /var/lib/apt/lists -maxdepth 1 -name '*Packages*' -print -quit 2>/dev/null)" ]; then
  "${sudo_cmd[@]}" apt-get update
fi
if ! DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${packages[@]}"; then
  "${sudo_cmd[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${packages[@]}"
fi
# tinyproxy is started by the tests on a free port; the system service is not needed.
if command -v systemctl >/dev/null 2>&1; then "${sudo_cmd[@]}" systemctl disable --now tinyproxy >/dev/null 2>&1 || true; fi
