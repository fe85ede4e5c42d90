#!/usr/bin/env bash
# Fails when a PE file imports a DLL that is not a KnownDLL (scripts/known_dlls.txt): such a DLL would be
# looked for in the host's folder first. This also catches a non-static link (libstdc++, libwinpthread).
set -euo pipefail
objdump=$1
file=$2
known=$(dirname "$0")/known_dlls.txt
imports=$("$objdump" -p "$file" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
echo "$imports"
bad=$(echo "$imports" | grep -v -E '^api-ms-win-[a-z0-9-]+\.dll$' | grep -v -x -F -f <(grep -v '^#' "$known" | grep .) || true)
if [ -n "$bad" ]; then
  echo "Imports that are not KnownDLLs: $bad" >&2
  exit 1
fi
