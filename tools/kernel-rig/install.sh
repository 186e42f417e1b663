#!/usr/bin/env bash
# Prepares the kernel rig's cache: Debian's own kernel, its modules unpacked
# for busybox insmod, raw_gadget built out of tree against the same kernel,
# busybox and udev; and QEMU on this machine. Quick when the cache is
# complete. The cache lives outside the work tree (ZARNET_RIG_CACHE, default
# ~/.cache/zarnet-kernel-rig), one folder per kernel.
set -euo pipefail

# The one pin. Security updates replace 6.12 builds in Debian's archive; when
# this one is gone, set it to a version 'apt-cache policy linux-source-6.12'
# lists. Everything else (package names, module paths) follows from it.
kernel_package_version=6.12.118-1~deb12u1

upstream=${kernel_package_version%%-*}   # 6.12.118
series=${upstream%.*}                    # 6.12
abi=${upstream}+deb12                    # 6.12.118+deb12
release=${abi}-amd64                     # uname -r in the machine

cache_root=${ZARNET_RIG_CACHE:-${HOME:?neither ZARNET_RIG_CACHE nor HOME is set}/.cache/zarnet-kernel-rig}
cache=$cache_root/$release
root=$cache/root            # the packages, extracted side by side
modules=$cache/modules      # decompressed .ko files and their load order
stamp=$cache/complete

# What the machine boots: the USB host and device sides joined by dummy_hcd,
# raw_gadget for the camera program, uvcvideo for the capture node. Their
# dependencies are found from the modules themselves.
wanted_modules=(dummy_hcd raw_gadget uvcvideo)

kernel_packages=(
  "linux-image-$release-unsigned=$kernel_package_version"
  "linux-headers-$release=$kernel_package_version"
  "linux-headers-$abi-common=$kernel_package_version"
  "linux-kbuild-$abi=$kernel_package_version"
  "linux-source-$series=$kernel_package_version"
)
userland_packages=(busybox-static udev)
host_packages=(qemu-system-x86 gcc-12 make xz-utils binutils libelf1)

say() { echo "kernel-rig: $*"; }
die() { echo "kernel-rig: $*" >&2; exit 1; }

sudo_if_needed() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

is_installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

apt_updated=no
apt_update_once() {
  if [ $apt_updated = no ]; then
    sudo_if_needed apt-get update
    apt_updated=yes
  fi
}

install_host_packages() {
  local missing=() p
  for p in "${host_packages[@]}"; do is_installed "$p" || missing+=("$p"); done
  [ ${#missing[@]} -eq 0 ] && return
  say "installing ${missing[*]}"
  apt_update_once
  DEBIAN_FRONTEND=noninteractive sudo_if_needed apt-get install -y --no-install-recommends "${missing[@]}"
}

# apt's lists may predate the pin (a fresh machine) or the archive may have
# dropped it (a later security update): tell the two apart before a long
# download fails halfway.
pin_is_listed() {
  apt-cache madison "linux-source-$series" 2>/dev/null | awk -F' *[|] *' '{ print $2 }' |
    grep -qxF "$kernel_package_version"
}

check_pin_available() {
  pin_is_listed && return
  apt_update_once
  pin_is_listed && return
  die "Debian's archive no longer has kernel $kernel_package_version; set kernel_package_version in tools/kernel-rig/install.sh to a version 'apt-cache policy linux-source-$series' lists"
}

# udev's own libraries (and theirs), taken from the archive only when this
# machine lacks them; the machine is otherwise given the host's libraries
# (ldd), which zarnet-cli was linked against.
direct_library_depends() {
  apt-cache depends --no-pre-depends --no-recommends --no-suggests --no-conflicts \
      --no-breaks --no-replaces --no-enhances "$@" 2>/dev/null |
    sed -n 's/^ *Depends: \(lib[^ :<>]*\)$/\1/p' | sort -u
}

udev_library_packages() {
  local first
  mapfile -t first < <(direct_library_depends udev)
  { printf '%s\n' "${first[@]}"; direct_library_depends "${first[@]}"; } | sort -u |
    while read -r p; do is_installed "$p" || echo "$p"; done
}

download_packages() {
  mkdir -p "$cache/debs"
  local wanted=() missing=() p
  mapfile -t wanted < <(udev_library_packages)
  wanted=("${kernel_packages[@]}" "${userland_packages[@]}" "${wanted[@]}")
  # An interrupted run keeps what it had fetched.
  for p in "${wanted[@]}"; do
    ls "$cache/debs/${p%%=*}"_*.deb >/dev/null 2>&1 || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    say "downloading ${missing[*]}"
    # apt-get download as root falls back to an unsandboxed download into a
    # folder its _apt user cannot write; the warning says only that.
    (cd "$cache/debs" && { apt-get download -q "${missing[@]}" 2>&1 || true; } | grep -v "unsandboxed as root") || true
  fi
  for p in "${wanted[@]}"; do
    ls "$cache/debs/${p%%=*}"_*.deb >/dev/null 2>&1 || die "download of ${p%%=*} failed (see apt-get's message above)"
  done
}

# Everything but the kernel image and the source goes in whole; of the image
# only the kernel and the module folders the rig draws from, of the source
# only raw_gadget.c (the whole tree would be a gigabyte for one file).
extract_packages() {
  rm -rf "$root" && mkdir -p "$root"
  local deb
  for deb in "$cache"/debs/*.deb; do
    case "$(basename "$deb")" in
      linux-image-*) dpkg-deb --fsys-tarfile "$deb" |
          tar -x -C "$root" --wildcards './boot/vmlinuz-*' './boot/config-*' \
            "./lib/modules/$release/kernel/drivers/usb/*" "./lib/modules/$release/kernel/drivers/media/*" ;;
      linux-source-*) extract_raw_gadget_source "$deb" ;;
      *) dpkg-deb -x "$deb" "$root" ;;
    esac
  done
  # The headers include their common half by absolute path, which is where
  # an installed package would put it, not where it was extracted.
  sed -i "s|^include /usr/src/|include $root/usr/src/|" "$root/usr/src/linux-headers-$release/Makefile"
}

extract_raw_gadget_source() {
  say "taking raw_gadget.c from linux-source-$series (the whole tarball is read through)"
  mkdir -p "$cache/raw_gadget"
  dpkg-deb --fsys-tarfile "$1" | tar -xO "./usr/src/linux-source-$series.tar.xz" |
    tar -xJO "linux-source-$series/drivers/usb/gadget/legacy/raw_gadget.c" > "$cache/raw_gadget/raw_gadget.c"
  [ -s "$cache/raw_gadget/raw_gadget.c" ] || die "raw_gadget.c not found in linux-source-$series"
}

# Debian builds the kernel without raw_gadget. Same source version, same
# configuration and compiler as the image, so the module's vermagic and
# symbol versions match; unsigned modules load because module signatures
# are not enforced.
build_raw_gadget() {
  say "building raw_gadget.ko"
  echo 'obj-m := raw_gadget.o' > "$cache/raw_gadget/Kbuild"
  # pahole is not installed; an empty BTF option skips the BTF step.
  make -s -C "$root/usr/src/linux-headers-$release" M="$cache/raw_gadget" \
    CONFIG_DEBUG_INFO_BTF_MODULES= modules
  [ -f "$cache/raw_gadget/raw_gadget.ko" ] || die "raw_gadget.ko was not built"
}

module_file() {
  local name=${1//-/_} ko
  if [ "$name" = raw_gadget ]; then echo "$cache/raw_gadget/raw_gadget.ko"; return; fi
  while read -r ko; do
    local base=${ko##*/}; base=${base%.ko.xz}
    if [ "${base//-/_}" = "$name" ]; then echo "$ko"; return; fi
  done < <(find "$root/lib/modules/$release/kernel" -name '*.ko.xz')
  die "module $1 is not in the extracted kernel folders"
}

module_depends() {
  tr '\0' '\n' < "$1" | sed -n 's/^depends=//p' | tr ',' ' '
}

# Depth-first over each module's depends=, so a module is listed after all
# it needs: that list is the order insmod takes them in.
add_module() {
  local name=${1//-/_} file dep
  case " ${ordered[*]} " in *" $name "*) return ;; esac
  file=$(module_file "$name")
  local ko=$modules/$name.ko
  case "$file" in
    *.xz) xz -dc "$file" > "$ko" ;;
    *) cp "$file" "$ko" ;;
  esac
  for dep in $(module_depends "$ko"); do add_module "$dep"; done
  ordered+=("$name")
}

prepare_modules() {
  rm -rf "$modules" && mkdir -p "$modules"
  ordered=()
  local m
  for m in "${wanted_modules[@]}"; do add_module "$m"; done
  printf '%s.ko\n' "${ordered[@]}" > "$modules/load-order"
  say "modules in load order: ${ordered[*]}"
}

check_kernel_config() {
  local config=$root/boot/config-$release option
  # The rig relies on these being built in: the console and the results
  # port, /dev filled in by the kernel, and no signature on raw_gadget.
  for option in CONFIG_SERIAL_8250=y CONFIG_DEVTMPFS=y; do
    grep -qx "$option" "$config" || die "kernel $release lacks $option, which the rig needs"
  done
  if grep -qx 'CONFIG_MODULE_SIG_FORCE=y' "$config"; then
    die "kernel $release enforces module signatures: the unsigned raw_gadget.ko would not load"
  fi
}

# The stamp is written last; the files are checked too, in case someone
# cleaned part of the cache by hand.
cache_is_complete() {
  [ -f "$stamp" ] && [ -f "$root/boot/vmlinuz-$release" ] && [ -f "$modules/load-order" ] &&
    [ -x "$root/bin/busybox" ] && [ -x "$root/bin/udevadm" ]
}

main() {
  if [ "${1:-}" = --print-cache ]; then
    # run.sh finds the cache this way, so the pin stays in one place.
    echo "$cache"
    return
  fi
  [ $# -eq 0 ] || die "usage: tools/kernel-rig/install.sh [--print-cache]"
  install_host_packages
  if cache_is_complete; then
    say "cache complete: $cache"
    return
  fi
  rm -f "$stamp"
  check_pin_available
  download_packages
  extract_packages
  check_kernel_config
  build_raw_gadget
  prepare_modules
  echo "$kernel_package_version" > "$stamp"
  say "cache ready: $cache"
}

main "$@"
