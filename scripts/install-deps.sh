#!/usr/bin/env bash
# Installs what building and testing plover needs, and nothing when all of it is present.
set -euo pipefail

packages=(
  g++ cmake make pkg-config
  zlib1g-dev libminizip-dev libdeflate-dev libjpeg62-turbo-dev libmdds-dev libutfcpp-dev
  libgtest-dev libbenchmark-dev libexpat1-dev libixion-dev libxlsxwriter-dev liborcus-bin
  python3 python3-openpyxl python3-xlsxwriter python3-pil unzip libreoffice-calc-nogui
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: run as root to install the missing packages" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
