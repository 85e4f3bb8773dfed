# Shared by scripts/play and scripts/test: install what is missing, then build.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# ensure_packages LIST... : the packages named in scripts/packages-LIST.txt
ensure_packages() {
  local list wanted=() missing=()
  for list in "$@"; do
    wanted+=($(sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$top/scripts/packages-$list.txt" | awk '{print $1}'))
  done
  for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

# The Japanese locale, which the tests play the game under too: its players' own.
ensure_japanese_locale() {
  locale -a 2>/dev/null | grep -qix 'ja_JP.utf8' && return 0
  echo "Generating the ja_JP.UTF-8 locale"
  as_root sed -i -e 's/^#[[:space:]]*\(ja_JP\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -qx 'ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen > /dev/null
  as_root locale-gen
}

# build DIR [cmake options...]
build() {
  local dir=$1
  shift
  cmake -S "$top" -B "$dir" -G Ninja "$@"
  cmake --build "$dir"
}
