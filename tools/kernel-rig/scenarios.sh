#!/bin/sh
# The kernel rig's scenarios, run as root by the machine's /init (busybox
# sh). Each starts a fresh camera program on the device side of dummy_hcd,
# waits until uvcvideo and udev have made the camera's nodes, runs
# zarnet-cli as the ordinary user, then checks the camera from the inside:
# its memory byte for byte and its protection state, from the state the
# camera program writes on SIGUSR1.
#
# Prints one line per scenario, "scenario NAME: PASS|FAIL (N s)", what failed
# under it, then "scenarios: N passed, N failed".
set -u

user=$(cat /etc/rig-user)
only=$(cat /etc/rig-only)
home=/home/$user
state_dir=/tmp/camera
logs=/tmp/rig-logs
image6=$home/sample-6.bin
image8=$home/sample-8.bin
passed=0
failed=0
failures=""
gadget_pid=""
mkdir -p "$logs"

uptime_s() { cut -d' ' -f1 /proc/uptime; }
fail() { failures="$failures
    $*"; }

# wait_for SECONDS COMMAND...: true once COMMAND succeeds, polled 5 times a second.
wait_for() {
  local n=$(($1 * 5))
  shift
  until "$@"; do
    [ $n -gt 0 ] || return 1
    n=$((n - 1))
    sleep 0.2
  done
}

# --- the camera program -------------------------------------------------

# The camera is the only device on dummy_hcd's bus: port 1-1; its capture
# node has uvcvideo's index 0 (index 1 is the metadata node).
capture_node() {
  local v
  for v in /sys/class/video4linux/video*; do
    [ "$(cat "$v/index" 2>/dev/null)" = 0 ] && [ -c "/dev/${v##*/}" ] && echo "/dev/${v##*/}" && return 0
  done
  return 1
}
usbfs_node() { printf '/dev/bus/usb/%03d/%03d\n' "$(cat /sys/bus/usb/devices/1-1/busnum)" "$(cat /sys/bus/usb/devices/1-1/devnum)"; }
camera_there() { capture_node >/dev/null; }
camera_gone() { ! camera_there; }
gadget_alive() { [ -n "$gadget_pid" ] && kill -0 "$gadget_pid" 2>/dev/null; }
gadget_ready() { grep -q '^gadget: ready' "$logs/gadget.log" || ! gadget_alive; }

# The camera is usable once its capture node exists and udev has finished
# with it (group and mode set, the usbfs node's rule applied).
wait_for_camera() {
  wait_for 40 camera_there || { fail "no capture node within 40 s; the camera program says: $(tail -n 2 "$logs/gadget.log")"; return 1; }
  udevadm settle --timeout=30
}

start_gadget() {
  rm -rf "$state_dir" && mkdir -p "$state_dir"
  /usr/local/bin/zarnet-gadget-camera --state-dir "$state_dir" "$@" > "$logs/gadget.log" 2>&1 &
  gadget_pid=$!
  wait_for 40 gadget_ready && gadget_alive || { fail "the camera program ($*) did not get ready: $(tail -n 2 "$logs/gadget.log")"; return 1; }
  wait_for_camera
}

stop_gadget() {
  gadget_alive || return 0
  kill -TERM "$gadget_pid"
  wait "$gadget_pid" || fail "the camera program ended with status $? on SIGTERM"
  gadget_pid=""
  wait_for 20 camera_gone
  udevadm settle --timeout=30
}

# The state file is written last and renamed into place: a new one means
# memory.bin is complete too.
read_state() {
  rm -f "$state_dir/state"
  gadget_alive && kill -USR1 "$gadget_pid" && wait_for 10 test -f "$state_dir/state" ||
    { fail "no state from the camera program"; return 1; }
}
state() { sed -n "s/^$1=//p" "$state_dir/state"; }
back_on_bus() { read_state && [ "$(state present)" = 1 ]; }

# After a reset or an unplug the old capture node may still be there for a
# moment: the camera is back once it says it is on the bus and has a node.
wait_until_back() {
  wait_for 40 back_on_bus || { fail "the camera did not come back within 40 s"; return 1; }
  wait_for_camera
}

# --- zarnet-cli as the user ---------------------------------------------

# run_cli NAME ARGS...: zarnet-cli as the user, in the user's home; output in
# $logs/NAME.out and .err, the exit status in $cli_status.
run_cli() {
  local name=$1
  shift
  timeout -s KILL 240 su -s /bin/sh "$user" -c "cd $home && exec /usr/local/bin/zarnet-cli $*" \
    < /dev/null > "$logs/$name.out" 2> "$logs/$name.err"
  cli_status=$?
}

expect_run() {
  local name=$1 status=$2 result=${3:-}
  [ "$cli_status" -eq "$status" ] || fail "$name: exit status $cli_status, expected $status; stderr ends: $(tail -n 3 "$logs/$name.err" | tr '\n' '|')"
  [ -z "$result" ] || [ "$(tail -n 1 "$logs/$name.out")" = "$result" ] || fail "$name: result '$(tail -n 1 "$logs/$name.out")', expected '$result'"
}
expect_in() { grep -qF -- "$2" "$logs/$1" || fail "$1 lacks '$2'"; }
expect_state() { [ "$(state "$1")" = "$2" ] || fail "camera state $1=$(state "$1"), expected $2"; }

# The camera's memory from address 0 equals the image, and the camera is
# protected: the write-protect registers hold the memory and the flash's
# status register (which outlives a reset) has its protection bits set.
expect_flashed_with() {
  cmp -s -n "$(stat -c %s "$1")" "$1" "$state_dir/memory.bin" ||
    fail "the camera's memory differs from $1: $(cmp -n "$(stat -c %s "$1")" "$1" "$state_dir/memory.bin" 2>&1 | head -1)"
  expect_state memoryWritable 0
  expect_state flashStatus 0x8c
  expect_state dataLength 8
}

# A scenario that writes nothing leaves the memory it found, protected.
remember_memory() { read_state && cp "$state_dir/memory.bin" "$state_dir/memory.before"; }
expect_untouched() {
  read_state || return
  cmp -s "$state_dir/memory.before" "$state_dir/memory.bin" || fail "the camera's memory changed"
  expect_state memoryWritable 0
  expect_state flashStatus 0x8c
}

# flash_and_check NAME IMAGE [OPTION]: a flash that must pass.
flash_and_check() {
  run_cli "$1" flash -y ${3:-} "$2"
  expect_run "$1" 0 Pass
  wait_for_camera && read_state && expect_flashed_with "$2"
}

# --- scenarios ------------------------------------------------------------

# The user is an ordinary one: uid 1000, groups 1000 and video only, no
# capability, no write access to the system.
scenario_user() {
  local ids
  ids=$(su -s /bin/sh "$user" -c 'echo "$(id -u) $(id -G | tr " " "\n" | sort -n | tr "\n" " ")"')
  [ "$ids" = "1000 44 1000 " ] || fail "user $user has ids '$ids', expected uid 1000 in groups 44 and 1000"
  [ "$(su -s /bin/sh "$user" -c 'sed -n "s/^CapEff:[[:space:]]*//p" /proc/self/status')" = 0000000000000000 ] ||
    fail "user $user has capabilities"
  ! su -s /bin/sh "$user" -c 'touch /etc/rig-probe' 2>/dev/null || fail "user $user could write /etc"
}

# What the udev rule gave the user, for the record, and the usbfs node
# opening for writing as the user.
scenario_list() {
  start_gadget && remember_memory || return
  run_cli list list --json
  expect_run list 0
  for text in '"usbId":"1b3f:2202"' '"friendlyName":"Corvex USB Camera"' '"identified":true' '"extensionUnitId":4,' '"downloadPath":true'; do
    expect_in list.out "$text"
  done
  local video usb
  video=$(capture_node) && usb=$(usbfs_node) || { fail "the camera's nodes are gone"; return; }
  echo "    access: $(ls -l "$video")"
  echo "    access: $(ls -l "$usb")"
  echo "    access: $(id "$user")"
  su -s /bin/sh "$user" -c "test -r $usb -a -w $usb" || fail "$user cannot read and write $usb"
  [ "$(stat -c '%G %a' "$usb")" = "video 664" ] || fail "$usb is $(stat -c '%U:%G %a' "$usb"), expected group video, mode 664"
  expect_untouched
}

scenario_info() {
  start_gadget && remember_memory || return
  run_cli info info --json
  expect_run info 0
  expect_in info.out '"status":"Corvex Camera Connected"'
  expect_untouched
}

scenario_flash_6_xu() { start_gadget --memory-class 6 && flash_and_check flash-6-xu "$image6"; }

# A camera that asks to be switched to download mode first, then takes the
# download-mode vendor requests through usbfs. The status lines tell the
# routes apart: this path reports "Writing firmware ... 0x....", the
# extension unit "Erase Chip ...".
scenario_flash_8_download() {
  start_gadget --memory-class 8 --download-mode && flash_and_check flash-8-download "$image8" || return
  expect_in flash-8-download.err "Writing firmware ... 0xF000"
  expect_state departures 2
  expect_state mode running
}

# A full serial flash over the extension unit restarts the camera once for
# 64-byte transfers (two departures with the final reset), in at most 4,000
# requests; forced to 8 bytes it takes some 24,700 (measured only).
scenario_flash_8_xu() {
  start_gadget --memory-class 8 --no-probe && flash_and_check flash-8-xu "$image8" || return
  expect_in flash-8-xu.err "Erase Chip"
  expect_state departures 2
  [ "$(state xuRequests)" -le 4000 ] || fail "$(state xuRequests) requests on the extension unit, expected at most 4,000"
}

scenario_flash_8_xu_8_bytes() {
  start_gadget --memory-class 8 --no-probe && flash_and_check flash-8-xu-8-bytes "$image8" --8-byte-transfers
}

scenario_flash_6_xu_8_bytes() {
  start_gadget --memory-class 6 && flash_and_check flash-6-xu-8-bytes "$image6" --8-byte-transfers
}

scenario_read() {
  start_gadget --memory-class 8 && flash_and_check read-flash "$image8" || return
  run_cli read read --memory-class 8 "$home/backup.bin"
  expect_run read 0
  cmp -s "$home/backup.bin" "$state_dir/memory.bin" || fail "the backup differs from the camera's memory"
}

scenario_reset() {
  start_gadget && remember_memory || return
  run_cli reset reset
  expect_run reset 0 Pass
  wait_until_back || return
  expect_state departures 1
  run_cli info-after-reset info --json
  expect_in info-after-reset.out '"status":"Corvex Camera Connected"'
  expect_untouched
}

# The 512th write on the data control is mid-image for both routes: an
# 8 KiB class-6 image is 1,024 writes of 8 bytes, a 64 KiB class-8 image
# 1,024 of 64 bytes after a few settings writes.

# Mid-write on the camera's 64-byte appearance: the camera hangs past the
# host driver's 5 s, so the first run cannot even protect it; the next run
# finds it at the length the driver still holds and passes.
scenario_silent_write() {
  start_gadget --memory-class 8 --no-probe --silent-write 512 || return
  run_cli silent-write flash -y "$image8"
  expect_run silent-write 1 FAIL
  wait_until_back && flash_and_check silent-write-again "$image8"
}

scenario_unplug_write() {
  start_gadget --memory-class 6 --unplug-write 512 --replug-ms 3000 || return
  run_cli unplug-write flash -y "$image6"
  expect_run unplug-write 1 FAIL
  wait_until_back && flash_and_check unplug-write-again "$image6"
}

# Each scenario ends with the camera program stopped, so the next one starts
# from a camera fresh on the bus. Measurements run only when named.
named() { echo " $only " | grep -q " $1 "; }
scenario() {
  local name=$1 started marks
  if [ -n "$only" ] && ! named "$name"; then return; fi
  failures=""
  started=$(uptime_s)
  marks=$(dmesg | wc -l)
  "scenario_$(echo "$name" | tr - _)"
  [ -f "$state_dir/state" ] || ! gadget_alive || read_state
  local counts=""
  [ ! -f "$state_dir/state" ] ||
    counts="    camera: requests=$(state requests) xuRequests=$(state xuRequests) vendorRequests=$(state vendorRequests) departures=$(state departures)"
  stop_gadget
  local took
  took=$(awk -v a="$started" -v b="$(uptime_s)" 'BEGIN { printf "%.1f", b - a }')
  if [ -z "$failures" ]; then
    echo "scenario $name: PASS ($took s)"
    passed=$((passed + 1))
  else
    echo "scenario $name: FAIL ($took s)$failures"
    tail -n 5 "$logs/gadget.log" | sed 's/^/    gadget says: /'
    dmesg | tail -n +$((marks + 1)) | grep -vE 'New USB device|Product:|Manufacturer:|SerialNumber:' | tail -n 12 |
      sed 's/^/    kernel: /'
    failed=$((failed + 1))
  fi
  [ -z "$counts" ] || echo "$counts"
}

# The images are made inside the machine, by the user; the 65,536-byte
# class-8 sample ends in blank bytes, so the 65,534 bytes a download writes
# leave memory equal to the whole image.
run_cli make-sample-6 make-sample --memory-class 6 "$image6" && run_cli make-sample-8 make-sample --memory-class 8 "$image8"
[ "$cli_status" -eq 0 ] || { echo "setup: make-sample failed"; failed=1; }
for name in user list info flash-6-xu flash-8-download flash-8-xu read reset silent-write unplug-write; do
  scenario $name
done
if named measure; then
  only="flash-6-xu-8-bytes flash-8-xu-8-bytes"
  scenario flash-6-xu-8-bytes
  scenario flash-8-xu-8-bytes
fi
echo "scenarios: $passed passed, $failed failed"
