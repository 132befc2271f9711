#!/usr/bin/env bash
# Makes the Debian package from a finished build (cpack into a scratch
# folder) and checks it without installing it: its fields, the dependencies
# dpkg-shlibdeps computed from the programs, every file in its place, and
# programs stripped and free of a library search path.
#   bash tests/app/check_debian_package.sh <build dir>
set -euo pipefail
build=$(cd "$1" && pwd)
for program in lumetra lumetra-batch; do
  if [[ ! -x "$build/bin/$program" ]]; then
    echo "$build/bin/$program is missing: build the project before packaging it" >&2
    exit 1
  fi
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch" > "$scratch/cpack.log" 2>&1; then
  cat "$scratch/cpack.log" >&2
  exit 1
fi

version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
arch=$(dpkg --print-architecture)
deb="$scratch/lumetra_${version}_${arch}.deb"
if [[ ! -f "$deb" ]]; then
  echo "cpack did not write $(basename "$deb"); it wrote:" >&2
  ls "$scratch" >&2
  exit 1
fi

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# The control fields.
field() { dpkg-deb --field "$deb" "$1"; }
expect_field() {
  local value
  value=$(field "$1")
  [[ "$value" == "$2" ]] || fail "$1 is '$value', expected '$2'"
}
expect_field Package lumetra
expect_field Version "$version"
expect_field Architecture "$arch"
expect_field Section graphics
expect_field Priority optional
expect_field Homepage https://lumetra.org
expect_field Maintainer "Lumetra developers <lumetra@lumetra.org>"
description=$(field Description)
[[ $(wc -l <<< "$description") -ge 4 ]] || fail "Description has no long description"

# Depends: the libraries the programs link, each versioned as dpkg-shlibdeps
# writes it, and what it cannot see.
depends=$(field Depends)
# The OpenMP runtime is the one of the compiler that built the programs:
# GCC's libgomp1, or LLVM's libomp (libomp5-14 on Debian 12) after clang.
openmp_package=""
openmp=$(readelf -d "$build/bin/lumetra" | sed -n 's/.*Shared library: \[\(libg\{0,1\}omp\.so[^]]*\)\]/\1/p')
if [[ -n "$openmp" ]]; then
  path=$(ldd "$build/bin/lumetra" | awk -v name="$openmp" '$1 == name { print $3 }')
  openmp_package=$(dpkg -S "$(readlink -f "$path")" | cut -d: -f1)
fi
for library in libqt6core6 libqt6gui6 libqt6widgets6 libopenjp2-7 libexiv2-27 libimagequant0 \
               libgif7 libjpeg62-turbo $openmp_package zlib1g libstdc++6 libc6; do
  grep -Eq "(^|, )${library//+/\\+} \(>= [^)]+\)(,|$)" <<< "$depends" ||
    fail "Depends lacks '$library (>= ...)': $depends"
done
for package in qt6-image-formats-plugins fonts-dejavu-core; do
  grep -Eq "(^|, )$package(,|$| \()" <<< "$depends" || fail "Depends lacks $package: $depends"
done
recommends=$(field Recommends)
for font in fonts-liberation fonts-urw-base35 fonts-comic-neue fonts-courier-prime fonts-gfs-didot \
            fonts-cabin fonts-cabinsketch fonts-linuxlibertine fonts-league-spartan; do
  grep -Eq "(^|, )$font(,|$)" <<< "$recommends" || fail "Recommends lacks $font: $recommends"
done

# The files, owned by root, with the permissions Debian expects.
contents=$(dpkg-deb --contents "$deb")
expected=(
  usr/bin/lumetra
  usr/bin/lumetra-batch
  usr/share/applications/org.lumetra.Lumetra.desktop
  usr/share/metainfo/org.lumetra.Lumetra.metainfo.xml
  usr/share/icons/hicolor/scalable/apps/org.lumetra.Lumetra.svg
  usr/share/lumetra/help/rotating-images.html
  usr/share/lumetra/help/rotating-images.png
  usr/share/lumetra/help/artistic-effects.html
  usr/share/lumetra/help/artistic-effects.png
  usr/share/lumetra/help/style.css
  usr/share/man/man1/lumetra.1.gz
  usr/share/man/man1/lumetra-batch.1.gz
  usr/share/doc/lumetra/copyright
  usr/share/doc/lumetra/changelog.gz
)
for size in 16 24 32 48 64 128 256 512; do
  expected+=("usr/share/icons/hicolor/${size}x${size}/apps/org.lumetra.Lumetra.png")
done
for path in "${expected[@]}"; do
  grep -q " \./$path\$" <<< "$contents" || fail "the package lacks /$path"
done
while read -r mode owner _ _ _ path; do
  [[ "$owner" == root/root ]] || fail "$path is owned by $owner"
  case "$mode:$path" in
    drwxr-xr-x:* | -rwxr-xr-x:./usr/bin/* | -rw-r--r--:./usr/share/*) ;;
    *) fail "$path has mode $mode" ;;
  esac
done <<< "$contents"
if grep -q " \./usr/local/" <<< "$contents"; then fail "the package installs under /usr/local"; fi

# What the files hold.
root="$scratch/root"
dpkg-deb --extract "$deb" "$root"
for program in lumetra lumetra-batch; do
  dynamic=$(readelf --dynamic "$root/usr/bin/$program")
  if grep -Eq "\((RPATH|RUNPATH)\)" <<< "$dynamic"; then fail "/usr/bin/$program has a library search path"; fi
  sections=$(readelf --section-headers --wide "$root/usr/bin/$program")
  if grep -Eq " \.(symtab|debug_info) " <<< "$sections"; then fail "/usr/bin/$program is not stripped"; fi
done
exec_line=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$root/usr/share/applications/org.lumetra.Lumetra.desktop")
[[ -x "$root/usr/bin/$exec_line" ]] || fail "the desktop entry runs '$exec_line', which the package lacks"
for page in lumetra lumetra-batch; do
  gz="$root/usr/share/man/man1/$page.1.gz"
  [[ -f "$gz" ]] || continue
  head=$(gzip -dc "$gz" | head -n 1)
  [[ "$head" == ".TH ${page^^} 1 "* ]] || fail "$page.1.gz does not start with its .TH line: $head"
done
copyright="$root/usr/share/doc/lumetra/copyright"
if [[ -f "$copyright" ]]; then
  [[ $(head -n 1 "$copyright") == "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" ]] ||
    fail "copyright is not in the machine-readable format"
  grep -q "^License: GPL-3.0-or-later$" "$copyright" || fail "copyright names no GPL-3.0-or-later licence"
fi
changelog="$root/usr/share/doc/lumetra/changelog.gz"
if [[ -f "$changelog" ]]; then
  top=$(gzip -dc "$changelog" | head -n 1)
  [[ "$top" == "lumetra ($version) "* ]] || fail "the changelog's latest entry is not $version: $top"
fi

if ((failures)); then
  echo "$(basename "$deb"): $failures problem(s)" >&2
  exit 1
fi
echo "$(basename "$deb") checked: $(wc -l <<< "$contents") entries; Depends: $depends"
