#!/usr/bin/env bash
# A random-input soak of the desktop window: the program (a sanitizer build)
# in its window under a window manager (openbox) on an Xvfb of its own,
# driven by random X input for a bounded time: keys (Alt and the menus'
# letters, Ctrl+Shift, Insert, Enter, Esc, digits), clicks, drags, the wheel,
# the middle button, resizes from 1x1 to 8000 pixels, the close box, and the
# buttons of the boxes and dialogs that come up.
#
# Each run has its own seed, printed before it starts.  A run fails when the
# program dies by a signal, a sanitizer reports anything, or the program
# hangs (it does not end within a deadline after its window is closed and
# the question answered).  The failing seed is printed and its log kept;
# SOAK_SEED=N SOAK_SECONDS=1 replays that run.
#
#   desktop_soak.sh RASTREL MAKE_SAMPLES SUPPRESSIONS [OUTPUT_DIR]
# SOAK_SECONDS (default 60) bounds the time in which new runs start.  Leak
# reports get whole stacks (glib and GTK have no frame pointers), so the
# suppressions that name a library's own allocations can match them.
set -u
rastrel=$1
make_samples=$2
suppressions=$3
out=${4:-$PWD}
budget=${SOAK_SECONDS:-60}
seed=${SOAK_SEED:-$(( $(date +%s) % 100000 ))}

for tool in Xvfb openbox xdotool wmctrl; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is not installed"
    exit 0
  fi
done

work=$(mktemp -d /tmp/rastrel-soak-XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# A display of our own, and openbox on it.
exec 3> >(cat > "$work/display")
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
pids+=($!)
exec 3>&-
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
if [ ! -s "$work/display" ]; then
  echo "SKIPPED: Xvfb did not start"
  exit 0
fi
export DISPLAY=:$(head -1 "$work/display")
export NO_AT_BRIDGE=1 GSETTINGS_BACKEND=memory DBUS_SESSION_BUS_ADDRESS=disabled:
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CACHE_HOME=$work/home/.cache
mkdir -p "$HOME"
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break; sleep 0.1; done

"$make_samples" "$work/samples" >/dev/null

pick() { echo "${@:$((RANDOM % $# + 1)):1}"; }

# One random action on the window (or on a box or dialog in front of it).
act() {
  local id=$1 box cmd
  box=$(xdotool search --onlyvisible --name '^(Vellomex|Save As|Print|Unhandled Exception)$' 2>/dev/null | head -1)
  # Pointer actions stay over the window: the desktop's own clicks and
  # wheel (openbox's menus, another virtual desktop) are not the program's.
  local WIDTH=1 HEIGHT=1
  eval "$(xdotool getwindowgeometry --shell "$id" 2>/dev/null | grep -E '^(WIDTH|HEIGHT)=')"
  local w=$((RANDOM % (WIDTH > 0 ? WIDTH : 1))) h=$((RANDOM % (HEIGHT > 0 ? HEIGHT : 1)))
  if [ -n "$box" ] && [ $((RANDOM % 3)) -ne 0 ]; then
    cmd=(xdotool windowactivate "$box" key "$(pick alt+y alt+n alt+c Escape Return Tab space)")
  else
    case $((RANDOM % 14)) in
      0|1) cmd=(xdotool key --window "$id" "$(pick alt+e alt+f alt+e+c alt+e+l alt+e+p alt+f+s Escape Escape \
             ctrl+shift+c ctrl+shift+v ctrl+Insert shift+Insert ctrl+a ctrl+s ctrl+z Up Down Left Right Prior Next)") ;;
      2|3) cmd=(xdotool type --window "$id" --delay 5 "$(pick 1 9 abc 'x y' 0 '  ' 7)") ;;
      4) cmd=(xdotool key --window "$id" "$(pick Return BackSpace Tab Escape Home End)") ;;
      5) cmd=(xdotool mousemove --window "$id" "$w" "$h" click "$(pick 1 1 2 3)") ;;
      6) cmd=(xdotool mousemove --window "$id" "$w" "$h" mousedown 1 sleep 0.05
              mousemove --window "$id" $((RANDOM % (WIDTH + 200) - 100)) $((RANDOM % (HEIGHT + 200) - 100)) sleep 0.05 mouseup 1) ;;
      7) cmd=(xdotool mousemove --window "$id" "$w" "$h" click --repeat $((RANDOM % 5 + 1)) "$(pick 4 5)") ;;
      8) cmd=(xdotool windowsize "$id" "$(pick 1 2 10 50 300 640 1200 5000 8000)" "$(pick 1 2 10 50 200 480 1000 8000)") ;;
      9) cmd=(xdotool windowsize "$id" $((RANDOM % 1300 + 1)) $((RANDOM % 1000 + 1))) ;;
      10) cmd=(wmctrl -i -c "$id") ;;                                   # the close box
      11) cmd=(xdotool windowactivate "$id" key "$(pick alt+e alt+f)" sleep 0.1 key "$(pick Down Up Return Escape c p l x s)") ;;
      12) cmd=(xdotool key --window "$id" "$(pick ctrl+c ctrl+d ctrl+v ctrl+x)") ;;
      13) cmd=(xdotool mousemove --window "$id" "$w" "$h" mousedown 1 sleep 0.1 mouseup 1) ;;
    esac
  fi
  [ -n "${SOAK_TRACE:-}" ] && echo "  ${cmd[*]}"
  "${cmd[@]}" >/dev/null 2>&1
}

failures=0
idle=0
runs=0
start=$SECONDS
while (( SECONDS - start < budget )); do
  runs=$((runs + 1))
  runSeed=$((seed + runs - 1))
  RANDOM=$runSeed
  echo "run $runs: seed $runSeed"
  log=$work/run.log
  rm -rf "$work/run" && cp -r "$work/samples" "$work/run"
  (cd "$work/run" && exec env ASAN_OPTIONS="detect_leaks=1:fast_unwind_on_malloc=0" \
      LSAN_OPTIONS="suppressions=$suppressions:print_suppressions=0" UBSAN_OPTIONS="print_stacktrace=1" \
      "$rastrel" --window </dev/null >"$log" 2>&1) &
  program=$!
  id=""
  for _ in $(seq 300); do
    id=$(xdotool search --onlyvisible --name '^Vellomex Text Window$' 2>/dev/null | head -1)
    [ -n "$id" ] && break
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
  done
  actions=$((RANDOM % 40 + 20))
  for ((i = 0; i < actions; ++i)); do
    kill -0 "$program" 2>/dev/null || break
    [ -n "$id" ] && act "$id"
    [ -n "${SOAK_TRACE:-}" ] && echo "  after action $i: $(xdotool getactivewindow getwindowname 2>/dev/null)"
  done
  # The end: close the window, answer No to the question, and wait.
  hung=1
  for tick in $(seq 200); do
    kill -0 "$program" 2>/dev/null || { hung=0; break; }
    if (( tick % 10 == 1 )); then
      # A box or dialog of the program's, mapped or not (the window
      # manager may have hidden it with a window it belongs to).
      box=$(xdotool search --all --pid "$program" --name '^(Vellomex|Save As|Print|Unhandled Exception)$' 2>/dev/null |
            while read -r w; do xwininfo -id "$w" 2>/dev/null | grep -q 'Map State: IsViewable' && echo "$w"; done | head -1)
      [ -z "$box" ] && box=$(xdotool search --all --pid "$program" --name '^(Vellomex|Save As|Print|Unhandled Exception)$' \
            2>/dev/null | head -1)
      [ -n "${SOAK_TRACE:-}" ] && echo "  closing: box [$box] $(xdotool search --all --pid "$program" --name . 2>/dev/null |
        while read -r w; do printf '%s=%s; ' "$w" "$(xdotool getwindowname "$w")"; done)"
      if [ -n "$box" ]; then
        wmctrl -i -a "$box" 2>/dev/null
        timeout 5 xdotool windowactivate --sync "$box" 2>/dev/null
        timeout 5 xdotool windowfocus --sync "$box" key "$(pick alt+n Escape)" 2>/dev/null
      else
        id=$(xdotool search --onlyvisible --name '^Vellomex' 2>/dev/null | head -1)
        # Esc first: an open menu holds the keyboard.  Then the close box.
        [ -n "$id" ] && timeout 5 xdotool windowactivate --sync "$id" key Escape Escape 2>/dev/null
        [ -n "$id" ] && wmctrl -i -c "$id" 2>/dev/null
      fi
    fi
    sleep 0.1
  done
  if (( hung )); then
    command -v import >/dev/null && import -window root "$out/desktop_soak_seed_$runSeed.png" 2>/dev/null
    xdotool search --all --pid "$program" --name . 2>/dev/null | while read -r w; do
      echo "window $w: $(xdotool getwindowname "$w" 2>/dev/null)" \
        "($(xwininfo -id "$w" 2>/dev/null | grep -oE 'Map State: [A-Za-z]+|-geometry [^ ]+' | tr '\n' ' '))"
    done > "$work/windows"
    # Where it waits, for the log.
    pid=$(pgrep -P "$program" 2>/dev/null | head -1)
    command -v gdb >/dev/null && timeout 30 gdb -q -batch -p "${pid:-$program}" -ex "thread apply all bt 25" \
      >"$work/stack" 2>&1
    kill -ABRT "$program" 2>/dev/null
    sleep 1
    kill -KILL "$program" 2>/dev/null
  fi
  wait "$program"
  status=$?
  reason=""
  if (( hung )); then
    # Still waiting for input in its event loop (or a dialog's) is not a
    # hang: the driver could not bring the window to close.  Anything else
    # is.
    if grep -qE "in gw::.*onWait|in gtk_dialog_run" "$work/stack" 2>/dev/null; then
      idle=$((idle + 1))
      echo "  still waiting for input after the close attempts (not judged)"
      hung=0
      status=0
    else
      reason="hung"
    fi
  fi
  (( !hung && status > 128 )) && reason="ended by signal $((status - 128))"
  grep -qE "ERROR: (Address|Leak)Sanitizer|runtime error:|SUMMARY: (Address|Leak|UndefinedBehavior)Sanitizer" "$log" &&
    reason="sanitizer report"
  if [ -n "$reason" ]; then
    failures=$((failures + 1))
    kept=$out/desktop_soak_seed_$runSeed.log
    cp "$log" "$kept"
    echo "FAILED: run $runs, seed $runSeed: $reason (status $status); log in $kept"
    echo "  replay: SOAK_SEED=$runSeed SOAK_SECONDS=1 $0 $*"
    (( hung )) && cat "$work/windows" && grep -E "^#" "$work/stack" | head -30
    head -40 "$log"
  else
    echo "  ended with status $status after $actions actions"
  fi
done
echo "desktop soak: $runs runs from seed $seed, $failures failed, $idle left waiting"
echo "$((runs - failures)) passed, $failures failed"
(( failures == 0 ))
