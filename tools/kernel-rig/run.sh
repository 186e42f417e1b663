#!/usr/bin/env bash
# Boots Debian's kernel in QEMU with the camera program on the device side
# of dummy_hcd, runs the scenarios there (zarnet-cli as an ordinary user,
# through the real usbcore, uvcvideo and udev), and prints their results.
# Exit status: 0 when every scenario passed, 1 when one failed or the
# machine did not finish, 2 when something the run needs is missing.
#
#   tools/kernel-rig/run.sh [SCENARIO-SCRIPT]
#
# SCENARIO-SCRIPT defaults to tools/kernel-rig/scenarios.sh. Environment:
# ZARNET_RIG_ONLY="list flash-6-xu" runs only the scenarios named, and
# "measure" among them adds class 6 and 8 forced to 8-byte transfers;
# ZARNET_RIG_TIMEOUT (seconds, default 900) bounds the whole machine's run;
# ZARNET_RIG_GADGET takes the camera program from another path;
# ZARNET_RIG_TRACE=FILE runs the scenario trace-8 as well (a class-8 flash
# under zarnet-cli --trace) and copies its trace out into FILE; with
# ZARNET_RIG_ONLY=trace-8 it runs alone.
set -euo pipefail
cd "$(dirname "$0")/../.."

scenarios=${1:-tools/kernel-rig/scenarios.sh}
cli=build/default/src/frontends/zarnet-cli
gadget=${ZARNET_RIG_GADGET:-build/default/tools/kernel-rig/zarnet-gadget-camera}
rule=src/platform/linux/udev/70-zarnet-uvc-camera.rules
time_limit=${ZARNET_RIG_TIMEOUT:-900}
trace_out=${ZARNET_RIG_TRACE:-}
user=tech        # the machine's ordinary user, uid 1000, in group video
controllers=2    # dummy_hcd's controllers: one bus, and one camera, each

say() { echo "kernel-rig: $*"; }
missing() { echo "kernel-rig: $*" >&2; exit 2; }

cache=$(tools/kernel-rig/install.sh --print-cache) || exit 2
release=$(basename "$cache")
root=$cache/root
run=$cache/run
stage=$run/initramfs

check_inputs() {
  [ -f "$cache/complete" ] || missing "the rig's cache $cache is not ready: run tools/kernel-rig/install.sh"
  [ -x "$cli" ] || missing "$cli is missing: build the default preset"
  [ -x "$gadget" ] || missing "the camera program $gadget is missing: build the default preset"
  [ -f "$scenarios" ] || missing "no scenario script $scenarios"
  command -v qemu-system-x86_64 >/dev/null || missing "qemu-system-x86_64 is missing: run tools/kernel-rig/install.sh"
}

# Copies a program to the same path in the machine, with every library ldd
# names. udev's programs come from the extracted package, whose libraries
# (when this machine lacks them) were extracted beside them.
copy_program() {
  local from=$1 to=$2 libs lib
  install -D -m 755 "$from" "$stage$to"
  if ! libs=$(LD_LIBRARY_PATH="$root/lib/x86_64-linux-gnu:$root/usr/lib/x86_64-linux-gnu" ldd "$from" 2>&1); then
    grep -q "not a dynamic executable" <<<"$libs" && return 0
    missing "ldd cannot read $from: $libs"
  fi
  if grep -q "not found" <<<"$libs"; then
    missing "$from needs a library this machine lacks: $(grep "not found" <<<"$libs" | head -1)"
  fi
  while read -r lib; do
    local target=${lib#"$root"}
    [ -e "$stage$target" ] || install -D -m 755 "$lib" "$stage$target"
  done < <(awk '/=> \// { print $3 } /^\t\/[^ ]+ \(0x/ { print $1 }' <<<"$libs")
}

# Merged /usr as on Debian 12, so /bin/x and /usr/bin/x are one file.
make_layout() {
  rm -rf "$stage"
  mkdir -p "$stage"/usr/{bin,sbin,lib,lib64} "$stage"/{dev,proc,sys,run,tmp,root,etc/udev/rules.d,home/$user}
  ln -s usr/bin "$stage/bin"
  ln -s usr/sbin "$stage/sbin"
  ln -s usr/lib "$stage/lib"
  ln -s usr/lib64 "$stage/lib64"
}

add_busybox() {
  local applet
  install -m 755 "$root/bin/busybox" "$stage/usr/bin/busybox"
  for applet in $("$root/bin/busybox" --list-full); do
    [ -e "$stage/$applet" ] || ln -s /usr/bin/busybox "$stage/$applet"
  done
}

add_modules() {
  mkdir -p "$stage/usr/lib/modules/$release"
  cp "$cache"/modules/*.ko "$cache/modules/load-order" "$stage/usr/lib/modules/$release/"
}

# Debian's own rules for USB devices and capture nodes, which give the
# group and mode our rule builds on, and the project's rule as installed.
add_udev() {
  copy_program "$root/bin/udevadm" /usr/bin/udevadm
  mkdir -p "$stage/usr/lib/systemd"
  ln -s /usr/bin/udevadm "$stage/usr/lib/systemd/systemd-udevd"
  copy_program "$root/lib/udev/v4l_id" /usr/lib/udev/v4l_id
  mkdir -p "$stage/usr/lib/udev/rules.d"
  cp "$root"/lib/udev/rules.d/{50-udev-default,60-persistent-v4l}.rules "$rule" "$stage/usr/lib/udev/rules.d/"
}

# root and an ordinary user in group video (44 as on Debian). udev warns of
# the other groups Debian's rules name, and leaves those nodes to root.
add_accounts() {
  printf 'root:x:0:0:root:/root:/bin/sh\n%s:x:1000:1000:Camera technician:/home/%s:/bin/sh\n' "$user" "$user" \
    > "$stage/etc/passwd"
  printf 'root:x:0:\nvideo:x:44:%s\n%s:x:1000:\n' "$user" "$user" > "$stage/etc/group"
  echo /bin/sh > "$stage/etc/shells"
}

add_project() {
  copy_program "$cli" /usr/local/bin/zarnet-cli
  copy_program "$gadget" /usr/local/bin/zarnet-gadget-camera
  install -m 755 "$scenarios" "$stage/scenarios.sh"
  echo "${ZARNET_RIG_ONLY:-}" > "$stage/etc/rig-only"
  echo "${trace_out:+trace-8}" > "$stage/etc/rig-trace"
  echo "$user" > "$stage/etc/rig-user"
  echo "num=$controllers" > "$stage/etc/rig-dummy-hcd"
}

# PID 1: the results go to the second serial port, so the kernel's and
# udev's words on the console never mix with them; the third takes a file
# that a scenario copies out.
write_init() {
  cat > "$stage/init" <<'EOF'
#!/bin/sh
export PATH=/usr/local/bin:/usr/bin:/usr/sbin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mount -t tmpfs -o mode=755 run /run
mount -t tmpfs -o mode=1777 tmp /tmp
user=$(cat /etc/rig-user)
chown 1000:1000 /home/$user
stty -F /dev/ttyS1 raw -echo
stty -F /dev/ttyS2 raw -echo
exec 3>/dev/ttyS1
up() { cut -d' ' -f1 /proc/uptime; }
echo "boot: /init at $(up) s" >&3
for m in $(cat /lib/modules/$(uname -r)/load-order); do
  options=
  [ $m != dummy_hcd.ko ] || options=$(cat /etc/rig-dummy-hcd)
  insmod /lib/modules/$(uname -r)/$m $options || echo "boot: insmod $m failed" >&3
done
echo "boot: modules loaded at $(up) s" >&3
/usr/lib/systemd/systemd-udevd --daemon
udevadm trigger --type=subsystems --action=add
udevadm trigger --type=devices --action=add
udevadm settle --timeout=60
echo "boot: udev settled at $(up) s" >&3
sh /scenarios.sh >&3 2>&1
echo "boot: scenarios ended at $(up) s" >&3
echo "== dmesg"
dmesg
exec 3>&-
sync
poweroff -f
EOF
  chmod 755 "$stage/init"
}

build_initramfs() {
  make_layout
  add_busybox
  add_modules
  add_udev
  add_accounts
  add_project
  write_init
  # Owned by root in the machine whoever builds it here.
  (cd "$stage" && find . | "$root/bin/busybox" cpio -o -H newc -R 0:0 2>/dev/null) > "$run/initramfs.cpio"
}

# The results file fills while the machine runs; it is shown as it grows,
# and qemu's whole run is bounded so that a hung machine fails instead of
# hanging CI. Two processors: the camera program, zarnet-cli and the
# kernel's USB work each get one turn sooner, which made a class-8 flash
# over the extension unit about twice as fast under TCG.
boot() {
  : > "$run/results.txt"
  : > "$run/console.log"
  timeout --kill-after=10 "$time_limit" qemu-system-x86_64 \
    -machine q35 -accel tcg -smp 2 -m 1G -nographic -no-reboot -monitor none \
    -serial "file:$run/console.log" -serial "file:$run/results.txt" -serial "file:${trace_out:-/dev/null}" \
    -kernel "$root/boot/vmlinuz-$release" -initrd "$run/initramfs.cpio" \
    -append "console=ttyS0 quiet panic=-1" </dev/null &
  local qemu=$!
  tail -n +1 -f --pid=$qemu "$run/results.txt"
  local status=0
  wait $qemu || status=$?
  return $status
}

show_console_end() {
  # SeaBIOS clears the screen with escape sequences; they would garble a log.
  sed 's/\x1b\[[0-9;?]*[a-zA-Z]//g' "$run/console.log" | tr -d '\r' | grep -v '^\s*$' | tail -n 40
}

verdict() {
  local boot_status=$1 summary
  summary=$(grep -E '^scenarios: [0-9]+ passed, [0-9]+ failed$' "$run/results.txt" | tail -1 || true)
  if [ "$boot_status" -ne 0 ] || [ -z "$summary" ]; then
    case $boot_status in
      0) say "the scenarios did not finish; the console ($run/console.log) ends:" ;;
      124 | 137) say "the machine did not finish within $time_limit s; the console ($run/console.log) ends:" ;;
      *) say "qemu ended with status $boot_status; the console ($run/console.log) ends:" ;;
    esac
    show_console_end
    return 1
  fi
  say "${summary#scenarios: }"
  [[ $summary =~ ^scenarios:\ ([1-9][0-9]*)\ passed,\ 0\ failed$ ]]
}

main() {
  check_inputs
  mkdir -p "$run"
  exec 9>"$cache/run.lock"
  flock -n 9 || missing "another kernel-rig run uses $cache"
  local started=$SECONDS
  build_initramfs
  say "initramfs $(du -h "$run/initramfs.cpio" | cut -f1) built in $((SECONDS - started)) s; booting $release"
  local boot_status=0
  boot || boot_status=$?
  say "machine ran $((SECONDS - started)) s in all; console log: $run/console.log"
  verdict "$boot_status"
}

main "$@"
