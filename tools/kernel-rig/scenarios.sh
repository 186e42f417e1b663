#!/bin/sh
# The kernel rig's scenarios, run as root by the machine's /init (busybox
# sh). Each starts fresh camera programs on the device side of dummy_hcd
# (one, or several for the production line's scenarios, each on its own
# controller), waits until uvcvideo and udev have made their nodes, runs
# zarnet-cli as the ordinary user, then checks the camera from the inside:
# its memory byte for byte and its protection state, from the state each
# camera program writes on SIGUSR1.
#
# Prints one line per scenario, "scenario NAME: PASS|FAIL (N s)", what failed
# under it, then "scenarios: N passed, N failed".
set -u

user=$(cat /etc/rig-user)
only=$(cat /etc/rig-only)
home=/home/$user
logs=/tmp/rig-logs
image6=$home/sample-6.bin
image8=$home/sample-8.bin
passed=0
failed=0
failures=""
cameras_started=0
started_clis=""
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

# --- the camera programs ------------------------------------------------

# Camera k is a camera program on the device side of dummy_hcd's controller
# k (dummy_udc.k), alone on bus k+1: port k+1-1. The one-camera scenarios
# use camera 0 only, port 1-1 as on a machine with one controller. Each
# camera has its own state dir and log; the functions below act on the
# camera on_camera chose last.
on_camera() {
  camera=$1
  port=$(($1 + 1))-1
  state_dir=/tmp/camera-$1
  gadget_log=$logs/gadget-$1.log
}
on_camera 0
gadget_pid() { eval "echo \"\${gadget_pid_$camera:-}\""; }
# Cameras other than camera 0 have serial numbers of their own.
serial_of() { echo "ZRIG000$(($1 + 1))"; }

# The camera's capture node has uvcvideo's index 0 (index 1 is the metadata
# node) and hangs below its port's USB device in sysfs.
capture_node() {
  local v
  for v in /sys/class/video4linux/video*; do
    [ "$(cat "$v/index" 2>/dev/null)" = 0 ] && [ -c "/dev/${v##*/}" ] || continue
    case $(readlink -f "$v/device") in */$port/$port:*) echo "/dev/${v##*/}" && return 0 ;; esac
  done
  return 1
}
usbfs_node() { printf '/dev/bus/usb/%03d/%03d\n' "$(cat /sys/bus/usb/devices/$port/busnum)" "$(cat /sys/bus/usb/devices/$port/devnum)"; }
camera_there() { capture_node >/dev/null; }
camera_gone() { ! camera_there; }
gadget_alive() { local pid; pid=$(gadget_pid) && [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; }
gadget_ready() { grep -q '^gadget: ready' "$gadget_log" || ! gadget_alive; }

# The camera is usable once its capture node exists and udev has finished
# with it (group and mode set, the usbfs node's rule applied).
wait_for_camera() {
  wait_for 40 camera_there || { fail "no capture node at $port within 40 s; the camera program says: $(tail -n 2 "$gadget_log")"; return 1; }
  udevadm settle --timeout=30
}

start_gadget() {
  rm -rf "$state_dir" && mkdir -p "$state_dir"
  local serial=""
  [ "$camera" = 0 ] || serial="--serial $(serial_of "$camera")"
  # shellcheck disable=SC2086 # $serial is an option and its value, or nothing
  /usr/local/bin/zarnet-gadget-camera --state-dir "$state_dir" --udc dummy_udc "dummy_udc.$camera" $serial "$@" \
    > "$gadget_log" 2>&1 &
  eval "gadget_pid_$camera=$!"
  [ "$camera" -lt "$cameras_started" ] || cameras_started=$((camera + 1))
  wait_for 40 gadget_ready && gadget_alive || { fail "the camera program at $port ($*) did not get ready: $(tail -n 2 "$gadget_log")"; return 1; }
  wait_for_camera
}

stop_gadget() {
  gadget_alive || return 0
  kill -TERM "$(gadget_pid)"
  wait "$(gadget_pid)" || fail "the camera program at $port ended with status $? on SIGTERM"
  eval "gadget_pid_$camera="
  wait_for 20 camera_gone
  udevadm settle --timeout=30
}

# start_cameras N OPTION...: cameras 0 to N-1, each with the options; camera 0
# is the one chosen afterwards.
start_cameras() {
  local n=$1 k=0
  shift
  while [ $k -lt "$n" ]; do
    on_camera $k && start_gadget "$@" || return 1
    k=$((k + 1))
  done
  on_camera 0
}

# The state file is written last and renamed into place: a new one means
# memory.bin is complete too.
read_state() {
  rm -f "$state_dir/state"
  gadget_alive && kill -USR1 "$(gadget_pid)" && wait_for 10 test -f "$state_dir/state" ||
    { fail "no state from the camera program at $port"; return 1; }
}
state() { sed -n "s/^$1=//p" "$state_dir/state"; }
back_on_bus() { read_state && [ "$(state present)" = 1 ]; }

# After a reset or an unplug the old capture node may still be there for a
# moment: the camera is back once it says it is on the bus and has a node.
wait_until_back() {
  wait_for 40 back_on_bus || { fail "the camera at $port did not come back within 40 s"; return 1; }
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
expect_state() { [ "$(state "$1")" = "$2" ] || fail "camera $port state $1=$(state "$1"), expected $2"; }

# The camera's memory from address 0 equals the image, and the camera is
# protected: the write-protect registers hold the memory and the flash's
# status register (which outlives a reset) has its protection bits set.
expect_flashed_with() {
  cmp -s -n "$(stat -c %s "$1")" "$1" "$state_dir/memory.bin" ||
    fail "the memory of the camera at $port differs from $1: $(cmp -n "$(stat -c %s "$1")" "$1" "$state_dir/memory.bin" 2>&1 | head -1)"
  expect_state memoryWritable 0
  expect_state flashStatus 0x8c
  expect_state dataLength 8
}

# A scenario that writes nothing leaves the memory it found, protected.
remember_memory() { read_state && cp "$state_dir/memory.bin" "$state_dir/memory.before"; }
expect_untouched() {
  read_state || return
  cmp -s "$state_dir/memory.before" "$state_dir/memory.bin" || fail "the memory of the camera at $port changed"
  expect_state memoryWritable 0
  expect_state flashStatus 0x8c
}

# start_cli NAME ARGS...: run_cli in the background, its process id added
# to $started_clis; end_cli NAME then tells its exit status in $cli_status,
# once all of $started_clis have been waited for.
start_cli() {
  (
    run_cli "$@"
    echo "$cli_status" > "$logs/$1.status"
  ) &
  started_clis="$started_clis $!"
}
end_cli() { cli_status=$(cat "$logs/$1.status" 2>/dev/null || echo -1); }
wait_for_clis() {
  local pid
  for pid in $started_clis; do wait "$pid"; done
  started_clis=""
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

# A class-8 flash through the download-mode path, traced; the trace leaves
# the machine through the third serial port. Run only when asked for.
scenario_trace_8() {
  start_gadget --memory-class 8 || return
  run_cli trace-8 --trace "$home/flash-8.jsonl" flash -y "$image8"
  expect_run trace-8 0 Pass
  wait_for_camera && read_state && expect_flashed_with "$image8" || return
  [ -s "$home/flash-8.jsonl" ] || { fail "zarnet-cli wrote no trace"; return; }
  cat "$home/flash-8.jsonl" > /dev/ttyS2
  echo "    trace: $(wc -l < "$home/flash-8.jsonl") lines, $(wc -c < "$home/flash-8.jsonl") bytes"
}

# --- a production line: several cameras on one host -----------------------

# line_of CLASS: the line's cameras and image. A class-8 flash over the
# extension unit resets its camera twice (for 64-byte transfers, then at
# the end), so the cameras leave and come back mid-flash while the others
# do too; a class-6 flash resets it once, at the end, and takes less time.
line_cameras=2
line_of() {
  case $1 in
    8) line_image=$image8 line_options="--memory-class 8 --no-probe" line_departures=2 ;;
    6) line_image=$image6 line_options="--memory-class 6" line_departures=1 ;;
  esac
}

seconds_since() { awk -v a="$1" -v b="$(uptime_s)" 'BEGIN { printf "%.1f", b - a }'; }

# each_line_camera COMMAND...: COMMAND with each line camera chosen in turn.
each_line_camera() {
  local k=0
  while [ $k -lt $line_cameras ]; do
    on_camera $k
    "$@"
    k=$((k + 1))
  done
  on_camera 0
}

# expect_line_flashed TIMES: the camera holds the image, protected, and left
# the bus as often as its flashes reset it: camera 0 was flashed TIMES
# times, the others once.
expect_line_flashed() {
  local times=1
  [ "$camera" != 0 ] || times=$1
  wait_for_camera && read_state && expect_flashed_with "$line_image" &&
    expect_state departures $((times * line_departures))
}
expect_listed() {
  expect_in line-list.out "\"port\":\"$port\""
  expect_in line-list.out "\"serialNumber\":\"$(serial_of "$camera")\""
}
start_line_flash() { start_cli "line-$port" flash -y --device "$port" "$line_image"; }
expect_line_pass() { end_cli "line-$port" && expect_run "line-$port" 0 Pass; }

# list tells each camera's port; then one camera is flashed alone, and then
# every camera at once by one zarnet-cli each, chosen by its port, so that
# their resets overlap. Both times are printed.
scenario_line_ports() {
  line_of 8
  # shellcheck disable=SC2086 # the options are words
  start_cameras $line_cameras $line_options || return
  run_cli line-list list --json
  expect_run line-list 0
  each_line_camera expect_listed
  local begun alone together
  begun=$(uptime_s)
  run_cli line-alone flash -y --device "$port" "$line_image"
  alone=$(seconds_since "$begun")
  expect_run line-alone 0 Pass
  wait_for_camera || return
  begun=$(uptime_s)
  each_line_camera start_line_flash
  wait_for_clis
  together=$(seconds_since "$begun")
  each_line_camera expect_line_pass
  each_line_camera expect_line_flashed 2
  echo "    line timing: 1 camera $alone s, $line_cameras cameras $together s ($(awk -v a="$alone" -v b="$together" 'BEGIN { printf "%.2f", b / a }')x)"
}

# The summary has a row for the camera: its port, its serial number, Pass.
expect_summary_pass() {
  grep -qiE "(^|[[:space:]])$port[[:space:]].*$(serial_of "$camera").*[[:space:]]pass([[:space:]]|\$)" "$logs/line-all.out" ||
    fail "line-all: no Pass row for $port in the summary: $(grep -E "(^|[[:space:]])$port[[:space:]]" "$logs/line-all.out" | head -1)"
}

# One zarnet-cli flashes every camera it identifies.
scenario_line_all() {
  line_of 6
  # shellcheck disable=SC2086 # the options are words
  start_cameras $line_cameras $line_options || return
  run_cli line-all flash --all -y "$line_image"
  if grep -qF "unknown option --all" "$logs/line-all.err"; then
    fail "zarnet-cli has no flash --all"
    return
  fi
  expect_run line-all 0
  each_line_camera expect_summary_pass
  each_line_camera expect_line_flashed 1
}

# Each scenario ends with every camera program stopped, so the next one
# starts from cameras fresh on the bus. Measurements run only when named.
named() { echo " $only " | grep -q " $1 "; }
# The camera's name in the counts and the log lines: its port, once a
# scenario has started more than one.
camera_label() { if [ "$cameras_started" -gt 1 ]; then echo "$1 $port"; else echo "$1"; fi; }

# Stops every camera the scenario started, each one's request counts (from
# its last state) kept in $counts.
stop_cameras() {
  local k=0
  counts=""
  while [ $k -lt "$cameras_started" ]; do
    on_camera $k
    [ -f "$state_dir/state" ] || ! gadget_alive || read_state
    [ ! -f "$state_dir/state" ] ||
      counts="$counts
    $(camera_label camera): requests=$(state requests) xuRequests=$(state xuRequests) vendorRequests=$(state vendorRequests) departures=$(state departures)"
    stop_gadget
    rm -rf "$state_dir"
    k=$((k + 1))
  done
  on_camera 0
}

tell_camera_logs() {
  local k=0
  while [ $k -lt "$cameras_started" ]; do
    on_camera $k
    tail -n 5 "$gadget_log" | sed "s/^/    $(camera_label gadget) says: /"
    k=$((k + 1))
  done
  on_camera 0
}

scenario() {
  local name=$1 started marks
  if [ -n "$only" ] && ! named "$name"; then return; fi
  failures=""
  cameras_started=0
  on_camera 0
  started=$(uptime_s)
  marks=$(dmesg | wc -l)
  "scenario_$(echo "$name" | tr - _)"
  stop_cameras
  local took
  took=$(awk -v a="$started" -v b="$(uptime_s)" 'BEGIN { printf "%.1f", b - a }')
  if [ -z "$failures" ]; then
    echo "scenario $name: PASS ($took s)"
    passed=$((passed + 1))
  else
    echo "scenario $name: FAIL ($took s)$failures"
    tell_camera_logs
    dmesg | tail -n +$((marks + 1)) | grep -vE 'New USB device|Product:|Manufacturer:|SerialNumber:' | tail -n 12 |
      sed 's/^/    kernel: /'
    failed=$((failed + 1))
  fi
  [ -z "$counts" ] || echo "${counts#?}"
}

# The images are made inside the machine, by the user; the 65,536-byte
# class-8 sample ends in blank bytes, so the 65,534 bytes a download writes
# leave memory equal to the whole image.
run_cli make-sample-6 make-sample --memory-class 6 "$image6" && run_cli make-sample-8 make-sample --memory-class 8 "$image8"
[ "$cli_status" -eq 0 ] || { echo "setup: make-sample failed"; failed=1; }
for name in user list info flash-6-xu flash-8-download flash-8-xu read reset silent-write unplug-write line-ports line-all; do
  scenario $name
done
if [ -n "$(cat /etc/rig-trace)" ]; then
  only="trace-8"
  scenario trace-8
fi
if named measure; then
  only="flash-6-xu-8-bytes flash-8-xu-8-bytes"
  scenario flash-6-xu-8-bytes
  scenario flash-8-xu-8-bytes
fi
echo "scenarios: $passed passed, $failed failed"
