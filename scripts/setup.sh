#!/usr/bin/env bash
# Installs what the build, the program and the tests need. Quiet and quick when
# everything is already there.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config git
  qt6-base-dev qt6-qpa-plugins
  libcurl4-openssl-dev curl
  libsqlite3-dev sqlite3
  libavcodec-dev libavutil-dev libswscale-dev ffmpeg
  libcpp-httplib-dev
  libgtest-dev libgmock-dev
  clang libclang-rt-14-dev
  fonts-liberation2
  iproute2 xvfb xauth xdotool
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  if [[ $(id -u) -ne 0 ]]; then
    echo "setup: these packages are missing and installing them needs root: ${missing[*]}" >&2
    exit 1
  fi
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi
