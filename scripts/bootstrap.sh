#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those that are missing.
# Quick when everything is present: one dpkg-query, no apt call.
set -euo pipefail

packages=(
  cmake make g++ ninja-build pkgconf
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64 xvfb xauth x11-apps x11-utils imagemagick
  googletest libbenchmark-dev libssl-dev libicu-dev nodejs npm
  nlohmann-json3-dev ca-certificates nginx-light wrk
  clang libclang-rt-14-dev clang-format
  python3 python3-pil fonts-dejavu-core
  nsis zip curl
)

missing=()
for p in "${packages[@]}"; do
  # A Node.js from elsewhere brings its own npm and refuses Debian's.
  if [[ "$p" == nodejs || "$p" == npm ]] && command -v "${p/nodejs/node}" >/dev/null; then continue; fi
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "bootstrap: installing ${missing[*]}"
sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
