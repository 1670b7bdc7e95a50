#!/usr/bin/env bash
# Installs the Debian packages Halcyon needs that are not yet on this machine.
# Usage: scripts/install-deps.sh [build|test|fuzz|bench|content]...
set -euo pipefail

packages=(g++ make cmake pkg-config libsdl2-dev libmpg123-dev libpng-dev)
for what in "$@"; do
  case "$what" in
    build) ;;
    test) packages+=(libgtest-dev libgmock-dev libbenchmark-dev clang clang-format
                     libclang-rt-14-dev) ;;
    fuzz) packages+=(clang libclang-rt-14-dev) ;;
    bench) packages+=(libbenchmark-dev libosmesa6-dev) ;;
    content) packages+=(lame) ;;
    *) echo "install-deps: unknown set '$what'" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "install-deps: installing ${missing[*]}" >&2
sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
