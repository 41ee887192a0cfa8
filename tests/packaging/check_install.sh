#!/usr/bin/env bash
# Installs the build into a scratch folder and checks what lands where, then
# (when the Debian tools are there) builds the package and checks its
# contents and its declared dependencies.
#   check_install.sh BUILD_DIR PHONEBOOK_GEN PROGRAM_DIR BIN_DIR DATA_DIR APP_ID COMMAND...
set -euo pipefail
build=$1 gen=$2 app_dir=$3 bin_dir=$4 data_dir=$5 app_id=$6
shift 6
commands=("$@")

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# A prefix under a DESTDIR: a file installed to an absolute folder, ignoring
# the prefix, shows up beside the prefix instead of under it.
prefix=/prefix
dest=$scratch/dest
DESTDIR=$dest cmake --install "$build" --prefix "$prefix" >/dev/null
stray=$(cd "$dest" && find . -mindepth 1 -maxdepth 1 ! -name "${prefix#/}")
[ -z "$stray" ] || fail "installed outside the prefix: $stray"

# The same install straight into a scratch prefix, where the links lead somewhere.
root=$scratch/root
cmake --install "$build" --prefix "$root" >/dev/null
app=$root/$app_dir
[ -f "$app/help/index.html" ] || fail "no help beside the program"
[ -f "$app/translations/phonebook_ru.qm" ] || fail "no Russian translation beside the program"
for command in "${commands[@]}"; do
  [ -x "$app/$command" ] || fail "$command is not in the program's folder"
  [ "$(readlink "$root/$bin_dir/$command")" = "$app/$command" ] ||
    fail "$bin_dir/$command leads to '$(readlink "$root/$bin_dir/$command")', not to the program's folder"
done

# The command link finds the tables beside the program it leads to.
"$gen" --out "$app" --persons 25 --org-numbers 5 >/dev/null
count=$("$root/$bin_dir/phonebook-find" count sp09kw_n) || fail "phonebook-find through its link: $count"
[ "$count" = 25 ] || fail "phonebook-find through its link counted '$count' individuals"

# The completion offers every verb phonebook-find knows, and the options of both tools.
completions=$root/$data_dir/bash-completion/completions
complete_words() { # FILE WORD...: what the completion offers for the last word
  local file=$1
  shift
  bash -c '
    file=$1; shift
    source /usr/share/bash-completion/bash_completion 2>/dev/null || exit 3
    source "$file"
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
    $(complete -p "$1" | sed "s/.*-F \([^ ]*\).*/\1/") "$1" "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}"
    printf "%s\n" "${COMPREPLY[@]}" | sort' bash "$file" "$@"
}
if [ -f /usr/share/bash-completion/bash_completion ]; then
  verbs=$(LC_ALL=C "$app/phonebook-find" --help | sed -n '/^Verbs:/,/^$/s/^  \([a-z][a-z-]*\).*/\1/p' | sort)
  [ -n "$verbs" ] || fail "phonebook-find --help lists no verbs"
  offered=$(complete_words "$completions/phonebook-find" phonebook-find --dir /tmp "")
  [ "$offered" = "$verbs" ] || fail "the completion offers '$(echo $offered)' for the verbs '$(echo $verbs)'"
  offered=$(complete_words "$completions/phonebook-find" phonebook-find address --org --s)
  [ "$offered" = "--street" ] || fail "the completion offers '$offered' after 'address --org --s'"
  offered=$(complete_words "$completions/phonebook-update" phonebook-update --t)
  [ "$offered" = "--timeout" ] || fail "the completion of phonebook-update offers '$offered' for '--t'"
else
  echo "bash-completion missing: the completions are not tried"
fi

desktop=$root/$data_dir/applications/phonebook.desktop
if [ -f "$desktop" ]; then
  # Outside /usr the command is not on the PATH: the entry names the link.
  grep -qx "Exec=$root/$bin_dir/phonebook" "$desktop" && grep -qx "TryExec=$root/$bin_dir/phonebook" "$desktop" ||
    fail "the desktop entry starts $(grep 'Exec=' "$desktop")"
  icon=$(sed -n 's/^Icon=//p' "$desktop")
  for size in 16 32 48 64 128 256; do
    file -b "$root/$data_dir/icons/hicolor/${size}x$size/apps/$icon.png" 2>/dev/null |
      grep -q "PNG image data, $size x $size" || fail "no ${size}x$size icon '$icon'"
  done
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "the installed desktop entry is not valid"
  fi
else
  fail "no desktop entry"
fi
metainfo=$root/$data_dir/metainfo/$app_id.metainfo.xml
if [ -f "$metainfo" ]; then
  launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
  [ -f "$root/$data_dir/applications/$launchable" ] || fail "the metainfo names '$launchable', not installed"
else
  fail "no metainfo $app_id.metainfo.xml"
fi

# The polkit action lets pkexec run the update tool beside the program, and no other.
policy=$root/$data_dir/polkit-1/actions/$app_id.update.policy
if [ -f "$policy" ]; then
  grep -q ">$root/$app_dir/phonebook-update</annotate>" "$policy" ||
    fail "the polkit action names $(grep -o 'exec.path">[^<]*' "$policy")"
  grep -q "<allow_active>auth_admin_keep</allow_active>" "$policy" || fail "the polkit action does not ask for the administrator"
  if command -v xmllint >/dev/null; then xmllint --noout "$policy" || fail "the polkit action is not well-formed"; fi
else
  fail "no polkit action $app_id.update.policy"
fi

# The package: the same files under /, and the libraries declared.
if command -v dpkg-deb >/dev/null && command -v dpkg-shlibdeps >/dev/null; then
  cpack --config "$build/CPackConfig.cmake" -B "$scratch/package" >/dev/null
  deb=$(ls "$scratch"/package/phonebook_*.deb)
  contents=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
  for path in "$app_dir/help/index.html" "$data_dir/applications/phonebook.desktop" \
    "$data_dir/metainfo/$app_id.metainfo.xml" "$data_dir/icons/hicolor/48x48/apps/phonebook.png" \
    "$data_dir/polkit-1/actions/$app_id.update.policy" "$data_dir/doc/phonebook/copyright" \
    "$data_dir/doc/phonebook/changelog.gz" "$data_dir/man/man1/phonebook.1.gz" \
    "$data_dir/man/man1/phonebook-find.1.gz" "$data_dir/man/man8/phonebook-update.8.gz" \
    "$data_dir/bash-completion/completions/phonebook-find" \
    "$data_dir/bash-completion/completions/phonebook-update"; do
    grep -qx "./$path" <<<"$contents" || fail "the package lacks /$path"
  done
  links=$(dpkg-deb -c "$deb" | awk '$1 ~ /^l/ { print $6, $8 }')
  for command in "${commands[@]}"; do
    grep -qx "./$app_dir/$command" <<<"$contents" || fail "the package lacks /$app_dir/$command"
    grep -qx "./$bin_dir/$command /$app_dir/$command" <<<"$links" ||
      fail "the package's /$bin_dir/$command is not a link to /$app_dir/$command"
  done
  ! grep -v "^\./\(opt\|usr\)/" <<<"$contents" | grep -q . ||
    fail "the package installs outside /opt and /usr: $(grep -v '^\./\(opt\|usr\)/' <<<"$contents")"
  # grep reads to the end (no -q): tar may still be writing when the line is found.
  dpkg-deb --fsys-tarfile "$deb" | tar -xO "./$data_dir/applications/phonebook.desktop" |
    grep -x "Exec=phonebook" >/dev/null || fail "the package's desktop entry does not start phonebook from the PATH"
  depends=$(dpkg-deb -f "$deb" Depends)
  for library in libqt6core6 libqt6widgets6 libqt6printsupport6 libsqlite3-0 bubblewrap; do
    grep -q "\b$library\b" <<<"$depends" || fail "the package does not depend on $library: $depends"
  done
  recommends=$(dpkg-deb -f "$deb" Recommends)
  for package in pkexec polkit-1-auth-agent; do
    grep -q "\b$package\b" <<<"$recommends" || fail "the package does not recommend $package: $recommends"
  done
  # What a Debian developer would look at first: no error and no warning.
  if command -v lintian >/dev/null; then
    complaints=$(lintian --fail-on none "$deb" 2>/dev/null | grep '^[EW]:' || true)
    [ -z "$complaints" ] || fail "lintian: $complaints"
  else
    echo "lintian missing: the package is not checked by it"
  fi
else
  echo "dpkg-deb or dpkg-shlibdeps missing: the package itself is not checked"
fi

[ "$failures" = 0 ] && echo "install and package: all as expected"
exit $((failures > 0))
