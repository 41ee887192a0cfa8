#!/usr/bin/env bash
# Installs what is missing, builds, writes the sample directory beside the
# program if there is none, and starts the program.
set -euo pipefail
source "$(dirname "$0")/tools/setup.sh"
phonebook_install
phonebook_build
phonebook_sample
bin="$phonebook_build/bin"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "There is no display to open the window on. The directory can be searched from the command line:"
  echo "  $bin/phonebook-find sql \"SELECT nt, fio, street, hous, flat FROM sp09kw_n\" | head"
  "$bin/phonebook-find" --header sql "SELECT nt, fio, street, hous, flat FROM sp09kw_n" | head -n 6 || true
  exit 0
fi
exec "$bin/phonebook" "$@"
