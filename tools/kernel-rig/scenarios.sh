#!/bin/sh
# The kernel rig's scenarios, run as root by the machine's /init (busybox
# sh). Each starts a fresh camera program on the device side of dummy_hcd,
# waits until uvcvideo and udev have made the camera's nodes, runs
# zarnet-cli as the ordinary user, then checks the camera from the inside:
# its memory byte for byte and its protection state, read from the state the
# camera program writes on SIGUSR1.
#
# Prints one line per scenario, "scenario NAME: PASS|FAIL (N s)", what failed
# under it, then "scenarios: N passed, N failed".
set -u

user=$(cat /etc/rig-user)
only=$(cat /etc/rig-only)
home=/home/$user
cli=/usr/local/bin/zarnet-cli
gadget=/usr/local/bin/zarnet-gadget-camera
state_dir=/tmp/camera
logs=/tmp/rig-logs
vendor_product=1b3f:2202
cli_time_limit=240         # one zarnet-cli run; a class-8 flash over the extension unit takes under a minute
camera_time_limit=40       # enumeration and uvcvideo's probe, also after a replug or reset

passed=0
failed=0
failures=""
gadget_pid=""
kernel_mark=0
mkdir -p "$logs"

uptime_s() { cut -d' ' -f1 /proc/uptime; }

# A failed check is noted and the scenario goes on where that still means
# something; the scenario fails if any check did.
fail() { failures="$failures
    $*"; }

seconds_since() { awk -v a="$1" -v b="$(uptime_s)" 'BEGIN { printf "%.1f", b - a }'; }

# --- the camera program -------------------------------------------------

# The capture node of our camera (uvcvideo's index 0; index 1 is metadata).
capture_node() {
  local v dev
  for v in /sys/class/video4linux/video*; do
    [ -e "$v/index" ] || continue
    [ "$(cat "$v/index")" = 0 ] || continue
    dev=$(readlink -f "$v/device/..")
    [ "$(cat "$dev/idVendor" 2>/dev/null):$(cat "$dev/idProduct" 2>/dev/null)" = "$vendor_product" ] || continue
    [ -c "/dev/${v##*/}" ] && echo "/dev/${v##*/}" && return 0
  done
  return 1
}

usbfs_node() {
  local d
  for d in /sys/bus/usb/devices/*; do
    [ -f "$d/idVendor" ] || continue
    [ "$(cat "$d/idVendor"):$(cat "$d/idProduct")" = "$vendor_product" ] || continue
    printf '/dev/bus/usb/%03d/%03d\n' "$(cat "$d/busnum")" "$(cat "$d/devnum")"
    return 0
  done
  return 1
}

# The camera is usable once its capture node exists and udev has finished
# with it (group and mode set, the usbfs node's rule applied).
wait_for_camera() {
  local deadline
  deadline=$(( $(date +%s) + camera_time_limit ))
  while ! capture_node >/dev/null; do
    if [ "$(date +%s)" -ge "$deadline" ]; then
      fail "no capture node of $vendor_product within $camera_time_limit s"
      return 1
    fi
    gadget_alive || { fail "the camera program ended: $(tail -n 3 "$logs/gadget.log" | tr '\n' ' ')"; return 1; }
    sleep 0.2
  done
  udevadm settle --timeout=30
}

wait_for_camera_gone() {
  local n=0
  while capture_node >/dev/null && [ $n -lt 100 ]; do sleep 0.2; n=$((n + 1)); done
  udevadm settle --timeout=30
}

gadget_alive() { [ -n "$gadget_pid" ] && kill -0 "$gadget_pid" 2>/dev/null; }

start_gadget() {
  rm -rf "$state_dir"
  mkdir -p "$state_dir"
  : > "$logs/gadget.log"
  "$gadget" --state-dir "$state_dir" "$@" > "$logs/gadget.log" 2>&1 &
  gadget_pid=$!
  local n=0
  while ! grep -q '^gadget: ready' "$logs/gadget.log"; do
    if ! gadget_alive || [ $n -ge $((camera_time_limit * 5)) ]; then
      fail "the camera program ($*) did not get ready: $(tail -n 3 "$logs/gadget.log" | tr '\n' ' ')"
      return 1
    fi
    sleep 0.2
    n=$((n + 1))
  done
  wait_for_camera
}

stop_gadget() {
  gadget_alive || { gadget_pid=""; return 0; }
  kill -TERM "$gadget_pid"
  local n=0
  while gadget_alive && [ $n -lt 50 ]; do sleep 0.2; n=$((n + 1)); done
  if gadget_alive; then
    fail "the camera program did not end on SIGTERM"
    kill -KILL "$gadget_pid"
  fi
  wait "$gadget_pid"
  local status=$?
  [ $status -eq 0 ] || fail "the camera program ended with status $status on SIGTERM"
  gadget_pid=""
  wait_for_camera_gone
}

# The state file is written last and renamed into place: a new one means
# memory.bin is complete too.
read_state() {
  rm -f "$state_dir/state"
  gadget_alive || { fail "the camera program is gone, no state to read"; return 1; }
  kill -USR1 "$gadget_pid"
  local n=0
  while [ ! -f "$state_dir/state" ]; do
    [ $n -lt 50 ] || { fail "no state from the camera program within 10 s of SIGUSR1"; return 1; }
    sleep 0.2
    n=$((n + 1))
  done
}

state() { sed -n "s/^$1=//p" "$state_dir/state"; }

# After a reset or an unplug the old capture node may still be there for a
# moment: the camera is back once it says it is on the bus and a capture
# node exists.
wait_until_back() {
  local n=0
  while read_state && [ "$(state present)" != 1 ]; do
    [ $n -lt $((camera_time_limit * 5)) ] || { fail "the camera did not come back within $camera_time_limit s"; return 1; }
    sleep 0.2
    n=$((n + 1))
  done
  wait_for_camera
}

counts_line() {
  [ -f "$state_dir/state" ] || return 0
  echo "    camera: requests=$(state requests) xuRequests=$(state xuRequests) vendorRequests=$(state vendorRequests) departures=$(state departures)"
}

# --- zarnet-cli as the user ---------------------------------------------

# run_cli LOGNAME ARGS...: zarnet-cli as the user, in the user's home;
# stdout and stderr kept in $logs, the exit status in $cli_status.
run_cli() {
  local name=$1
  shift
  timeout -s KILL "$cli_time_limit" su -s /bin/sh "$user" -c "cd $home && exec $cli $*" \
    < /dev/null > "$logs/$name.out" 2> "$logs/$name.err"
  cli_status=$?
  [ $cli_status -ne 137 ] || fail "zarnet-cli $* did not end within $cli_time_limit s"
}

expect_status() {
  local name=$1 want=$2
  [ "$cli_status" -eq "$want" ] || fail "$name: exit status $cli_status, expected $want; stderr: $(tail -n 3 "$logs/$name.err" | tr '\n' '|')"
}

expect_result() {
  local name=$1 want=$2 got
  got=$(tail -n 1 "$logs/$name.out")
  [ "$got" = "$want" ] || fail "$name: result '$got', expected '$want'"
}

expect_in() {
  local file=$1 text=$2
  grep -qF -- "$text" "$logs/$file" || fail "$file lacks '$text'"
}

expect_not_in() {
  local file=$1 text=$2
  ! grep -qF -- "$text" "$logs/$file" || fail "$file has '$text'"
}

# The camera's memory from address 0 equals the image (as long as the image;
# the rest of a larger memory is not the image's business).
expect_memory_is() {
  local image=$1 size
  size=$(stat -c %s "$image")
  [ -f "$state_dir/memory.bin" ] || { fail "no memory.bin from the camera program"; return; }
  [ "$(stat -c %s "$state_dir/memory.bin")" -ge "$size" ] ||
    fail "the camera's memory ($(stat -c %s "$state_dir/memory.bin") bytes) is smaller than the image ($size)"
  cmp -s -n "$size" "$image" "$state_dir/memory.bin" ||
    fail "the camera's memory differs from $image: $(cmp -n "$size" "$image" "$state_dir/memory.bin" 2>&1 | head -1)"
}

expect_state() {
  local key=$1 want=$2 got
  got=$(state "$key")
  [ "$got" = "$want" ] || fail "camera state $key=$got, expected $want"
}

# Protected: the write-protect registers hold the memory, and the flash's
# status register (which outlives a reset) has its protection bits set.
expect_protected() {
  expect_state memoryWritable 0
  expect_state flashStatus 0x8c
  expect_state dataLength 8
  expect_state present 1
}

# flash_and_check LOGNAME IMAGE [OPTION]: a flash that must pass and leave
# the camera holding the image, protected, at 8-byte blocks.
flash_and_check() {
  local name=$1 image=$2
  run_cli "$name" flash -y ${3:-} "$image"
  expect_status "$name" 0
  expect_result "$name" Pass
  wait_for_camera || return 1
  read_state || return 1
  expect_memory_is "$image"
  expect_protected
}

# --- scenarios ------------------------------------------------------------

image6=$home/sample-6.bin
image8=$home/sample-8.bin

# The images are made inside the machine, by the user, as a technician
# would; the 65,536-byte class-8 sample ends in blank bytes, so the 65,534
# bytes a download writes leave memory equal to the whole image.
make_images() {
  run_cli make-sample-6 make-sample --memory-class 6 "$image6" && [ "$cli_status" -eq 0 ] &&
    run_cli make-sample-8 make-sample --memory-class 8 "$image8" && [ "$cli_status" -eq 0 ]
}

# The user is an ordinary one: uid 1000, groups 1000 and video only, no
# capability at all.
check_user() {
  local ids caps
  ids=$(su -s /bin/sh "$user" -c 'echo "$(id -u) $(id -G)"')
  [ "$ids" = "1000 1000 44" ] || [ "$ids" = "1000 44 1000" ] || fail "user $user has ids '$ids', expected uid 1000 in groups 1000 and 44"
  caps=$(su -s /bin/sh "$user" -c 'sed -n "s/^CapEff:[[:space:]]*//p" /proc/self/status')
  [ "$caps" = 0000000000000000 ] || fail "user $user has capabilities $caps"
  ! su -s /bin/sh "$user" -c 'touch /etc/rig-probe' 2>/dev/null || fail "user $user could write /etc"
}

scenario_user() {
  check_user
}

# What the udev rule gave the user, for the record: printed, and the usbfs
# node checked to open for writing as the user.
show_access() {
  local video usb
  if ! video=$(capture_node) || ! usb=$(usbfs_node); then
    fail "the camera's nodes are gone"
    return
  fi
  echo "    access: $(ls -l "$video")"
  echo "    access: $(ls -l "$usb")"
  echo "    access: $(id "$user")"
  su -s /bin/sh "$user" -c "test -r $video -a -w $video" || fail "$user cannot read and write $video"
  su -s /bin/sh "$user" -c "test -r $usb -a -w $usb" || fail "$user cannot read and write $usb (the udev rule's group video)"
  [ "$(stat -c '%G %a' "$usb")" = "video 664" ] || fail "$usb is $(stat -c '%U:%G %a' "$usb"), expected group video, mode 664"
}

scenario_list() {
  start_gadget || return
  run_cli list list --json
  expect_status list 0
  expect_in list.out "\"usbId\":\"$vendor_product\""
  expect_in list.out '"identified":true'
  expect_in list.out '"extensionUnit":true'
  expect_in list.out '"extensionUnitId":4,'
  expect_in list.out '"downloadPath":true'
  show_access
}

scenario_info() {
  start_gadget || return
  run_cli info info --json
  expect_status info 0
  expect_in info.out '"status":"Corvex Camera Connected"'
  expect_in info.out '"connected":true'
}

scenario_flash_6_xu() {
  start_gadget --memory-class 6 || return
  flash_and_check flash-6 "$image6"
}

# The status lines tell the routes apart: the download-mode path reports
# "Writing firmware ... 0x....", the extension unit "Erase Chip ...".
# A full serial flash over the extension unit restarts the camera once for
# 64-byte transfers (two departures with the final reset), in at most 4,000
# requests; forced to 8 bytes it takes some 24,700 (measured only).
flash_8_xu() {
  local name=$1 option=${2:-}
  start_gadget --memory-class 8 --no-probe || return
  flash_and_check "$name" "$image8" "$option"
  expect_in "$name.err" "Erase Chip"
  expect_not_in "$name.err" "Writing firmware"
}

scenario_flash_8_xu() {
  flash_8_xu flash-8-xu
  expect_state departures 2
  [ "$(state xuRequests)" -le 4000 ] 2>/dev/null || fail "$(state xuRequests) requests on the extension unit, expected at most 4,000"
}

scenario_flash_8_xu_8_bytes() { flash_8_xu flash-8-xu-8-bytes --8-byte-transfers; }

scenario_flash_6_xu_8_bytes() {
  start_gadget --memory-class 6 || return
  flash_and_check flash-6-8-bytes "$image6" --8-byte-transfers
}

scenario_flash_8_download() {
  start_gadget --memory-class 8 || return
  flash_and_check flash-8-download "$image8"
  expect_in flash-8-download.err "Writing firmware ... 0xF000"
}

scenario_read() {
  start_gadget --memory-class 8 || return
  flash_and_check read-flash "$image8" || return
  run_cli read read --memory-class 8 "$home/backup.bin"
  expect_status read 0
  read_state || return
  cmp -s "$home/backup.bin" "$state_dir/memory.bin" ||
    fail "the backup differs from the camera's memory: $(cmp "$home/backup.bin" "$state_dir/memory.bin" 2>&1 | head -1)"
}

scenario_reset() {
  start_gadget || return
  read_state || return
  local before
  before=$(state departures)
  [ -n "$before" ] || { fail "the camera's state has no departures"; return; }
  run_cli reset reset
  expect_status reset 0
  expect_result reset Pass
  wait_until_back || return
  expect_state departures $((before + 1))
  run_cli info-after-reset info --json
  expect_status info-after-reset 0
  expect_in info-after-reset.out '"status":"Corvex Camera Connected"'
}

# The 512th write on the data control is mid-image for both routes: an
# 8 KiB class-6 image is 1,024 writes of 8 bytes, a 64 KiB class-8 image
# 1,024 of 64 bytes after a few settings writes.
mid_image_write=512

# Mid-write on the camera's 64-byte appearance: the camera hangs past the
# host driver's 5 s, so the first run cannot even protect it; the next run
# finds it at the length the driver still holds and passes.
scenario_silent_write() {
  start_gadget --memory-class 8 --no-probe --silent-write $mid_image_write || return
  run_cli silent-write flash -y "$image8"
  expect_status silent-write 1
  expect_result silent-write FAIL
  wait_until_back || return
  flash_and_check silent-write-again "$image8"
}

scenario_unplug_write() {
  start_gadget --memory-class 6 --unplug-write $mid_image_write --replug-ms 3000 || return
  run_cli unplug-write flash -y "$image6"
  expect_status unplug-write 1
  expect_result unplug-write FAIL
  wait_until_back || return
  flash_and_check unplug-write-again "$image6"
  [ "$(state departures)" -ge 1 ] 2>/dev/null || fail "the camera never left the bus (departures=$(state departures))"
}

# Each scenario ends with the camera program stopped, so the next one starts
# from a camera fresh on the bus. Measurements run only when named.
named() { echo " $only " | grep -q " $1 "; }
scenario() {
  local name=$1 body=$2 started
  if [ -n "$only" ] && ! named "$name"; then return; fi
  failures=""
  started=$(uptime_s)
  kernel_mark=$(dmesg | wc -l)
  rm -f "$state_dir/state"
  $body
  [ -f "$state_dir/state" ] || ! gadget_alive || read_state
  local counts
  counts=$(counts_line)
  stop_gadget
  if [ -z "$failures" ]; then
    echo "scenario $name: PASS ($(seconds_since "$started") s)"
    passed=$((passed + 1))
  else
    echo "scenario $name: FAIL ($(seconds_since "$started") s)$failures"
    tail -n 5 "$logs/gadget.log" 2>/dev/null | sed 's/^/    gadget says: /'
    dmesg | tail -n +$((kernel_mark + 1)) | grep -vE 'New USB device|Product:|Manufacturer:|SerialNumber:' |
      tail -n 12 | sed 's/^/    kernel: /'
    failed=$((failed + 1))
  fi
  [ -z "$counts" ] || echo "$counts"
}

if ! make_images; then
  echo "setup: make-sample failed: $(cat "$logs"/make-sample-*.err | tr '\n' '|')"
  failed=$((failed + 1))
fi
scenario user scenario_user
scenario list scenario_list
scenario info scenario_info
scenario flash-6-xu scenario_flash_6_xu
scenario flash-8-download scenario_flash_8_download
scenario flash-8-xu scenario_flash_8_xu
scenario read scenario_read
scenario reset scenario_reset
scenario silent-write scenario_silent_write
scenario unplug-write scenario_unplug_write
if named measure; then
  only="flash-6-xu-8-bytes flash-8-xu-8-bytes"
  scenario flash-6-xu-8-bytes scenario_flash_6_xu_8_bytes
  scenario flash-8-xu-8-bytes scenario_flash_8_xu_8_bytes
fi

echo "scenarios: $passed passed, $failed failed"
