#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, and only what is missing:
# a machine that already has everything needs no network.
set -euo pipefail

packages=(cmake ninja-build ccache g++ clang-format libgtest-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev python3-ezdxf librsvg2-bin)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  if [ "$status" != "install ok installed" ]; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: every package is present"
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
"${sudo_cmd[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
