#!/usr/bin/env bash
# Shared set-up of run.sh and test.sh: installs the Debian packages that are
# missing, then configures and builds into build/. Sourced, not run.
#
#   PHONEBOOK_SETUP_TESTS=1   also install what the tests need
#   PHONEBOOK_BUILD_DIR       build folder (default: build)

phonebook_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
phonebook_build="${PHONEBOOK_BUILD_DIR:-$phonebook_root/build}"

phonebook_packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-translations-l10n qt6-l10n-tools
  libsqlite3-dev libarchive-dev libjpeg62-turbo fonts-dejavu-core
  desktop-file-utils scdoc
)
phonebook_test_packages=(
  libgtest-dev libgmock-dev libicu-dev sqlite3 clang libclang-rt-14-dev
  appstream file lintian bash-completion
)

phonebook_missing_packages() {
  local pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || echo "$pkg"
  done
}

phonebook_install() {
  local wanted=("${phonebook_packages[@]}")
  [ "${PHONEBOOK_SETUP_TESTS:-0}" = 1 ] && wanted+=("${phonebook_test_packages[@]}")
  local missing
  missing=$(phonebook_missing_packages "${wanted[@]}")
  [ -z "$missing" ] && return 0
  echo "Installing: $(echo $missing)"
  local sudo=()
  if [ "$(id -u)" != 0 ]; then
    if command -v sudo >/dev/null; then sudo=(sudo); else
      echo "These packages are missing and this is not root (and there is no sudo): $(echo $missing)" >&2
      return 1
    fi
  fi
  "${sudo[@]}" apt-get update -qq
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends $missing
}

phonebook_build() {
  local werror=OFF
  [ "${CI:-}" = true ] && werror=ON
  local tests=()
  [ "${PHONEBOOK_SETUP_TESTS:-0}" = 1 ] && tests=(-DPHONEBOOK_TESTS=ON)
  cmake -S "$phonebook_root" -B "$phonebook_build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPHONEBOOK_WERROR=$werror "${tests[@]}" >/dev/null
  cmake --build "$phonebook_build" --parallel "$(nproc)"
}

# The sample directory beside the program, made once.
phonebook_sample() {
  local bin="$phonebook_build/bin"
  if ! ls "$bin" 2>/dev/null | grep -qi '^sp09kw_n\.dbf$'; then
    echo "Writing the sample directory into $bin"
    "$bin/phonebook-gen" --out "$bin"
  fi
}
