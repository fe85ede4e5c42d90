#!/usr/bin/env bash
# Fails when a PE file imports anything but Windows system DLLs (a sign of a non-static link).
set -euo pipefail
objdump=$1
file=$2
imports=$("$objdump" -p "$file" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
echo "$imports"
allowed='^(kernel32|user32|gdi32|gdiplus|comctl32|dwmapi|shell32|ole32|oleaut32|advapi32|bcrypt|msvcrt|psapi|uxtheme|shlwapi|api-ms-win-[a-z0-9-]+)\.dll$'
bad=$(echo "$imports" | grep -v -E "$allowed" || true)
if [ -n "$bad" ]; then
  echo "Imports outside the system: $bad" >&2
  exit 1
fi
