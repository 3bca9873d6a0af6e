# Shared by the install, package and Windows tests: counting checks,
# waiting on conditions, and a display of the test's own.
passed=0
failed=0
skipped=0
pass() { passed=$((passed + 1)); echo "ok   $*"; }
fail() { failed=$((failed + 1)); echo "FAIL $*"; }
skip() { skipped=$((skipped + 1)); echo "skip $*"; }
check() {   # check DESCRIPTION COMMAND...: passes when the command succeeds
  local description=$1
  shift
  if "$@"; then pass "$description"; else fail "$description"; fi
}
finish_checks() {
  echo "$(basename "$0" .sh): $passed passed, $failed failed, $skipped skipped"
  [ "$failed" = 0 ]
}

# Waits until the command succeeds, up to $timeout seconds (default 30).
wait_for() {
  local limit=$((${timeout:-30} * 10))
  for ((i = 0; i < limit; i++)); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

# An Xvfb of the test's own, with the desktop's services a test must not
# reach turned off; sets DISPLAY, and xvfb_pid for the cleanup.  1 when
# there is none.
xvfb_pid=
start_display() {
  command -v Xvfb >/dev/null || return 1
  local number=$scratch/display.number
  : >"$number"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$number" >"$scratch/xvfb.log" 2>&1 &
  xvfb_pid=$!
  timeout=10 wait_for grep -q . "$number" || return 1
  export DISPLAY=":$(head -1 "$number")"
  unset WAYLAND_DISPLAY
  export NO_AT_BRIDGE=1 GSETTINGS_BACKEND=memory DBUS_SESSION_BUS_ADDRESS=disabled:
  return 0
}
stop_display() { [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; xvfb_pid=; }
