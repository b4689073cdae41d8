#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, but only the
# missing ones: a machine that already has everything pays one dpkg query.
set -euo pipefail

packages=(
  g++ cmake make pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libcurl4-openssl-dev libssl-dev curl zlib1g-dev libstb-dev
  libcairo2-dev libpango1.0-dev fontconfig fonts-wqy-microhei
  libx11-dev libxext-dev
  python3 zip unzip
  xvfb xdotool zenity
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = "installed" ] || missing+=("$p")
done

[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  sudo=sudo
else
  sudo=
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
