#!/usr/bin/env bash
# Installs the Debian packages of scripts/packages/*.txt that are not
# installed yet; runs apt-get only when something is missing.
#   install-deps.sh              every list (the tests and all their phases)
#   install-deps.sh base x11     only the lists named (here: what the demo needs)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

lists=()
if [ $# -eq 0 ]; then
  lists=("$here"/packages/*.txt)
else
  for name in "$@"; do
    [ -f "$here/packages/$name.txt" ] || { echo "install-deps: no list scripts/packages/$name.txt" >&2; exit 2; }
    lists+=("$here/packages/$name.txt")
  done
fi

missing=()
for name in $(cat "${lists[@]}" | sed 's/#.*//' | tr -s ' \t' '\n' | sed '/^$/d' | sort -u); do
  status=$(dpkg-query -W -f='${Status}' "$name" 2>/dev/null || true)
  [[ "$status" == *"install ok installed"* ]] || missing+=("$name")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq "${missing[@]}"
