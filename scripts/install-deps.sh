#!/usr/bin/env bash
# Installs the Debian packages listed in scripts/packages/*.txt that are not
# installed yet. Runs apt-get only when something is missing.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

missing=()
for name in $(cat "$here"/packages/*.txt | sed 's/#.*//' | tr -s ' \t' '\n' | sed '/^$/d' | sort -u); do
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
