#!/usr/bin/env bash
# The Windows program's tests under Wine, on a virtual X display:
#   tests/windows/run.sh [64] [32]
# For each build (build-win64, build-win32): the unit tests, then the flows a
# user goes through in the real window, typed into with xdotool and read back
# through the files they leave, the process status and the windows' texts
# (wintool):
#   conversion  "1" Enter converts the sample set into TIFF files identical to
#               the Linux build's
#   screenshot  of the window, kept as build-winNN/artefacts/window.png and
#               checked for the menu bar and text ink
#   close       "9" Enter shows the save box; No ends the process with status 0
#   save        Ctrl+S and the real save dialog write the transcript with CR LF
#   faults      a division by zero shows "Unhandled Exception" with c0000094
#   return point  Ctrl+C during a read and during output, exit taken from a
#               paste, Ctrl+C inside a paste, Exit from the menu during a read
#   print       no printer, the print dialog cancelled, a document on a file
#               printer (Wine's PostScript driver writing to a file)
#   --version   answered in a box captioned "Rastrel", status 0
#   cell grid   a line typed at the prompt lands in the console's cells where
#               "Courier" is missing (screenshot build-winNN/artefacts/cell-grid.png)
#   installer   silent installs for the current user and for all users: the
#               files, the Start-menu shortcut, "Open with Rastrel" on
#               folders; the installed program started on the example folder
#               converts it; each uninstaller removes everything
# A 32-bit build is run only where this machine runs 32-bit processes; it is
# reported as skipped otherwise.  The last line counts the checks.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"

arches=("$@")
((${#arches[@]})) || arches=(64 32)

# Counting checks (pass, fail, skip) and waiting on conditions (wait_for).
. "$root/tests/support/checks.sh"

scratch=$(mktemp -d /tmp/rastrel-wine.XXXXXX)
xvfb_pid=
cleanup() {
  [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ] && "$wineserver" -k 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT

# Reference images from the Linux build, over plain standard input and
# output (no display of any kind).
samples=$scratch/samples
build/make_samples "$samples" >/dev/null
reference=$scratch/reference
cp -r "$samples" "$reference"
(cd "$reference" && printf '1\n9\n' | env -u DISPLAY -u WAYLAND_DISPLAY "$root/build/rastrel" >/dev/null)

# ---------------------------------------------------------------------------
# The display and Wine.

display=
for n in $(seq 90 130); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=$n; break; fi
done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >"$scratch/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"
timeout=10 wait_for test -e "/tmp/.X11-unix/X$display" || { echo "Xvfb did not start"; exit 1; }

export WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Wine lists the printing system's printers as its own: it is pointed at
# none, so the print flow starts with no printer whatever the machine has.
export CUPS_SERVER=$scratch/no-cups/cups.sock CUPS_SERVERROOT=$scratch/no-cups
mkdir -p "$CUPS_SERVERROOT"
unset PRINTER LPDEST
wineserver=/usr/lib/wine/wineserver
# The launcher starts either kind of program where the 32-bit loader runs;
# elsewhere the 64-bit loader runs the 64-bit programs alone.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  wine=(wine)
  runs32=1
else
  export WINELOADER=/usr/lib/wine/wine64
  wine=(/usr/lib/wine/wine64)
  runs32=0
fi
started=$(date +%s)
"${wine[@]}" wineboot -i >"$scratch/wineboot.log" 2>&1
"$wineserver" -p   # kept running for the whole run
# Windows drawn by Wine itself (no window manager on the display), and no
# crash dialog after the program's own fault report.
"${wine[@]}" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
"${wine[@]}" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
"${wine[@]}" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
echo "wine prefix ready in $(($(date +%s) - started)) s"


# ---------------------------------------------------------------------------
# Driving one program.

program_pid=
program_log=
# Starts a Windows program in a folder: start DIR EXE ARGS...
start() {
  local dir=$1
  shift
  program_log=$scratch/program.$RANDOM.log
  (cd "$dir" && exec "${wine[@]}" "$@") >"$program_log" 2>&1 &
  program_pid=$!
}

# The process has ended; its status in $status.
ended() { ! kill -0 "$program_pid" 2>/dev/null; }
finish() {
  if timeout=${1:-30} wait_for ended; then
    wait "$program_pid"
    status=$?
  else
    kill "$program_pid" 2>/dev/null
    wait "$program_pid" 2>/dev/null
    status=timeout
  fi
}

# The X window of the visible window titled exactly TITLE.
window_id() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1; }
shown() { [ -n "$(window_id "$1")" ]; }

# Gives the window titled TITLE the keyboard: a click on its caption.
focus() {
  local id
  id=$(window_id "$1")
  [ -n "$id" ] || return 1
  eval "$(xdotool getwindowgeometry --shell "$id")"
  xdotool mousemove "$((X + WIDTH / 2))" "$((Y + 8))" click 1
  xdotool windowfocus "$id" 2>/dev/null
  return 0
}

wintool() { "${wine[@]}" "$build/tests/wintool.exe" "$@" 2>/dev/null | tr -d '\r'; }

# The console window titled TITLE (default the first one) shows and takes
# the keyboard; a click in its text area.
console_ready() {
  local title=${1:-Vellomex Text Window}
  timeout=30 wait_for shown "$title" || return 1
  local id
  id=$(window_id "$title")
  xdotool mousemove --window "$id" 300 300 click 1
  return 0
}

# The print dialog's own box (captioned "Print") shows a text holding TEXT.
print_box_shows() { wintool text Print | grep -qF "$1"; }

# A message box captioned "Vellomex" shows TEXT.
box_shows() { wintool text Vellomex | grep -qxF "$1"; }

# Answers the "Vellomex" box with a click on the button labelled TEXT
# ("&No"); a click leaves no key to arrive after the box has gone.
answer_box() {
  local place
  place=$(wintool where Vellomex "$1")
  [ -n "$place" ] || return 1
  xdotool mousemove $place click 1
}

# Saves the transcript through the save dialog, which must be showing, as
# the Windows path of FILE.
save_as() {
  local file=$1
  timeout=20 wait_for shown "Save As" || return 1
  focus "Save As"
  xdotool type --delay 20 "Z:${file//\//\\}"
  xdotool key Return
  timeout=20 wait_for test -e "$file"
}

zpath() { printf 'Z:%s' "${1//\//\\}"; }

# ---------------------------------------------------------------------------
# The flows.

# Screenshots of the console window: settled FILE takes one into FILE and
# succeeds when it equals the one taken before.
shoot() { import -window "$(window_id "Vellomex Text Window")" "$1" 2>/dev/null; }
settled() {
  local previous=$1.previous
  [ -e "$1" ] && mv "$1" "$previous"
  shoot "$1" && [ -e "$previous" ] && cmp -s "$1" "$previous"
}
changed_and_settled() {
  shoot "$scratch/next.png" || return 1
  if cmp -s "$scratch/next.png" "$scratch/before.png"; then return 1; fi
  if cmp -s "$scratch/next.png" "$scratch/last.png"; then return 0; fi
  mv "$scratch/next.png" "$scratch/last.png"
  return 1
}

# The six images in DIR are the Linux build's, byte for byte.
same_images() {
  for n in 0 1 2 3 4 5; do cmp -s "$reference/$n.tif" "$1/$n.tif" || return 1; done
}

flow_conversion_screenshot_close() {
  local dir=$scratch/$arch/convert
  cp -r "$samples" "$dir"
  start "$dir" "$build/rastrel.exe"
  if ! console_ready; then fail "$arch conversion: no window"; return; fi

  xdotool type --delay 30 1
  xdotool key Return
  if timeout=60 wait_for same_images "$dir"; then
    pass "$arch conversion: six TIFF files byte-identical to the Linux build's"
  else
    fail "$arch conversion: TIFF files differ from the Linux build's"
  fi

  # The screenshot, once the menu has been written again after the run: an
  # invalid selection shows it once more, and the window has settled when it
  # differs from before and two shots in a row agree.
  local shot=$artefacts/window.png
  timeout=10 wait_for settled "$scratch/before.png"
  xdotool type --delay 30 x
  xdotool key Return
  cp "$scratch/before.png" "$scratch/last.png"
  timeout=10 wait_for changed_and_settled
  cp "$scratch/last.png" "$shot"
  local w h menu_ink text_ink
  w=$(identify -format %w "$shot" 2>/dev/null || echo 0)
  h=$(identify -format %h "$shot" 2>/dev/null || echo 0)
  if [ "$w" -gt 200 ] && [ "$h" -gt 200 ]; then
    # Dark pixels in the menu bar's band and in the text area.
    menu_ink=$(convert "$shot" -crop 90x18+2+24 -colorspace Gray -threshold 50% -format '%[fx:mean<0.97]' info:)
    text_ink=$(convert "$shot" -crop 400x300+5+48 -colorspace Gray -threshold 50% -format '%[fx:mean<0.99]' info:)
    if [ "$menu_ink" = 1 ] && [ "$text_ink" = 1 ]; then
      pass "$arch screenshot: menu bar and text ink in $shot"
    else
      fail "$arch screenshot: menu ink $menu_ink, text ink $text_ink in $shot"
    fi
  else
    fail "$arch screenshot: none taken"
  fi

  xdotool type --delay 30 9
  xdotool key Return
  if timeout=20 wait_for box_shows "Do you wish to save Vellomex.txt before quitting?"; then
    pass "$arch close: 9 shows the save box"
    answer_box "&No"
  else
    fail "$arch close: no save box after 9"
  fi
  finish
  if [ "$status" = 0 ]; then pass "$arch close: No ends the process with status 0"; else fail "$arch close: status $status"; fi
}

flow_save() {
  local dir=$scratch/$arch/save
  mkdir -p "$dir"
  start "$dir" "$build/tests/app_output.exe" 3
  if ! console_ready; then fail "$arch save: no window"; return; fi
  xdotool key ctrl+s
  if save_as "$dir/saved.txt"; then
    timeout=10 wait_for shown "Vellomex - saved.txt"
    if [ "$(od -An -c "$dir/saved.txt" | tr -s ' \n' ' ')" = "$(printf 'line 1\r\nline 2\r\nline 3\r\ndone\r\n' | od -An -c | tr -s ' \n' ' ')" ]; then
      pass "$arch save: Ctrl+S and the save dialog wrote the transcript with CR LF"
    else
      fail "$arch save: the saved transcript differs:"; od -c "$dir/saved.txt" | head
    fi
    if shown "Vellomex - saved.txt"; then pass "$arch save: the title names the file"; else fail "$arch save: title not changed"; fi
  else
    fail "$arch save: no file saved"
  fi
  # Saved and unchanged since: closing asks nothing.
  focus "Vellomex - saved.txt" && xdotool key alt+F4
  finish
  if [ "$status" = 0 ]; then pass "$arch save: closing after the save asks nothing"; else fail "$arch save: status $status"; fi
}

flow_faults() {
  local dir=$scratch/$arch/faults
  mkdir -p "$dir"
  start "$dir" "$build/tests/app_faults.exe"
  if timeout=30 wait_for shown "Unhandled Exception"; then
    local text
    text=$(wintool text "Unhandled Exception")
    if grep -q '^Unhandled exception: c0000094\\nAt address:          [0-9a-f]\{8,16\}\\n$' <<<"$text"; then
      pass "$arch faults: the box shows c0000094 and the dividing instruction's address"
    else
      fail "$arch faults: the box shows:"; echo "$text"
    fi
    focus "Unhandled Exception" && xdotool key Return
  else
    fail "$arch faults: no \"Unhandled Exception\" box"
  fi
  finish
  # The process ends with the exception's code, without the save box.
  if [ "$status" = $((0xc0000094 & 255)) ]; then pass "$arch faults: the process ends without the save box"; else fail "$arch faults: status $status"; fi
}

# After an interrupt the application has finished: the window stays, and its
# shortcuts work (Ctrl+S saves) as they never do during a read.
check_interrupted() {
  local name=$1 file=$2 expected_end=$3
  xdotool key ctrl+s
  if save_as "$file"; then
    if [ "$(tail -c ${#expected_end} "$file")" = "$expected_end" ]; then
      pass "$name: the application was left; the window stays and saves"
    else
      fail "$name: transcript ends with: $(tail -c 40 "$file" | od -c | head -3)"
    fi
  else
    fail "$name: the window did not go on after the interrupt"
  fi
}

flow_ctrl_c_read() {
  local dir=$scratch/$arch/ctrlc_read
  cp -r "$samples" "$dir"
  start "$dir" "$build/rastrel.exe"
  if ! console_ready; then fail "$arch Ctrl+C during a read: no window"; return; fi
  xdotool key ctrl+c
  check_interrupted "$arch Ctrl+C during a read" "$dir/t.txt" "Enter Selection: "
  focus "Vellomex - t.txt" && xdotool key alt+F4
  finish
  if [ "$status" = 0 ]; then pass "$arch Ctrl+C during a read: closed with status 0"; else fail "$arch Ctrl+C during a read: status $status"; fi
}

flow_ctrl_c_output() {
  local dir=$scratch/$arch/ctrlc_output
  mkdir -p "$dir"
  start "$dir" "$build/tests/app_output.exe"
  if ! console_ready; then fail "$arch Ctrl+C during output: no window"; return; fi
  xdotool key ctrl+c
  xdotool key ctrl+s
  if save_as "$dir/t.txt"; then
    # Saved again without the dialog: when the output had gone on, the
    # second transcript would be longer.
    cp "$dir/t.txt" "$dir/first.txt"
    rm "$dir/t.txt"
    focus "Vellomex - t.txt" && xdotool key ctrl+s
    timeout=20 wait_for test -e "$dir/t.txt"
    if cmp -s "$dir/first.txt" "$dir/t.txt" && grep -q $'^line [0-9]*\r$' "$dir/t.txt" && ! grep -q done "$dir/t.txt"; then
      pass "$arch Ctrl+C during output: the output stopped; the window stays and saves"
    else
      fail "$arch Ctrl+C during output: the output went on ($(wc -c <"$dir/first.txt") then $(wc -c <"$dir/t.txt" 2>/dev/null) bytes)"
    fi
  else
    fail "$arch Ctrl+C during output: the window did not go on after the interrupt"
  fi
  focus "Vellomex - t.txt" && xdotool key alt+F4
  finish
  if [ "$status" = 0 ]; then pass "$arch Ctrl+C during output: closed with status 0"; else fail "$arch Ctrl+C during output: status $status"; fi
}

# Edit > Paste through the menu's keys: during a read the shortcuts are
# plain characters, the menu still works.  (The keys queue in order: the
# menu's own loop takes the second.)
paste_from_menu() { xdotool key alt+e p; }

flow_exit_in_paste() {
  local dir=$scratch/$arch/paste_exit
  mkdir -p "$dir"
  start "$dir" "$build/tests/app_lines.exe" 'one\rexit\rlost\r'
  if ! console_ready; then fail "$arch exit from a paste: no window"; return; fi
  paste_from_menu
  if timeout=20 wait_for box_shows "Do you wish to save Vellomex.txt before quitting?"; then
    pass "$arch exit from a paste: exit(7) on the pasted line closes the window with the save box"
    answer_box "&No"
  else
    fail "$arch exit from a paste: no save box"
  fi
  finish
  if [ "$status" = 0 ]; then pass "$arch exit from a paste: status 0, not exit's 7"; else fail "$arch exit from a paste: status $status"; fi
}

flow_ctrl_c_in_paste() {
  local dir=$scratch/$arch/paste_ctrlc
  mkdir -p "$dir"
  start "$dir" "$build/tests/app_lines.exe" 'ab\x03cd\r'
  if ! console_ready; then fail "$arch Ctrl+C inside a paste: no window"; return; fi
  paste_from_menu
  check_interrupted "$arch Ctrl+C inside a paste" "$dir/t.txt" $'ready\r\nab'
  focus "Vellomex - t.txt" && xdotool key alt+F4
  finish
  if [ "$status" = 0 ]; then pass "$arch Ctrl+C inside a paste: closed with status 0"; else fail "$arch Ctrl+C inside a paste: status $status"; fi
}

flow_exit_menu_read() {
  local dir=$scratch/$arch/exit_menu
  cp -r "$samples" "$dir"
  start "$dir" "$build/rastrel.exe"
  if ! console_ready; then fail "$arch Exit from the menu: no window"; return; fi
  xdotool key alt+f x
  if timeout=20 wait_for box_shows "Do you wish to save Vellomex.txt before quitting?"; then
    answer_box "&No"
  else
    fail "$arch Exit from the menu: no save box"
  fi
  finish
  # The window went while the application waited for a line.
  if [ "$status" = 1 ]; then pass "$arch Exit from the menu during a read: status 1"; else fail "$arch Exit from the menu during a read: status $status"; fi
}

# PostScript's glyph names back to the text they show (letters, digits,
# the period), in the order drawn.
glyph_text() {
  sed -n 's|^/\([A-Za-z]*\) glyphshow$|\1|p' "$1" | sed -e 's/^zero$/0/;s/^one$/1/;s/^two$/2/;s/^three$/3/;s/^four$/4/' \
    -e 's/^five$/5/;s/^six$/6/;s/^seven$/7/;s/^eight$/8/;s/^nine$/9/;s/^period$/./' | tr -d '\n'
}

flow_print() {
  local dir=$scratch/$arch/print
  mkdir -p "$dir"
  start "$dir" "$build/tests/app_output.exe" 3
  if ! console_ready; then fail "$arch print: no window"; return; fi

  # No printer: the system's print dialog says so itself; then nothing is
  # printed and the console says nothing.  The save dialog that follows
  # shows that the print command has ended.
  xdotool key ctrl+p
  if timeout=20 wait_for print_box_shows "you need to install a printer"; then
    focus Print && xdotool key Return
    timeout=10 wait_for test -z "$(window_id Print)"
    focus "Vellomex Text Window" && xdotool key ctrl+s
    if timeout=20 wait_for shown "Save As"; then
      if wintool windows | grep -q '^"Vellomex"'; then
        fail "$arch print, no printer: a message box was shown"
      else
        pass "$arch print, no printer: the system's notice, then nothing printed and no message"
      fi
      focus "Save As" && xdotool key Escape
      timeout=10 wait_for test -z "$(window_id 'Save As')"
    else
      fail "$arch print, no printer: the window did not go on"
    fi
  else
    fail "$arch print, no printer: no notice from the print dialog"
  fi

  # A printer whose port Wine's spooler writes to a file.
  local ps=$dir/printed.ps
  "${wine[@]}" reg add 'HKCU\Software\Wine\Printing\Spooler' /v 'LPT1:' /d "$ps" /f >/dev/null 2>&1
  mkdir -p "$WINEPREFIX/drive_c/rastrel-test"
  cp "$root/tests/windows/data/file_printer.ppd" "$WINEPREFIX/drive_c/rastrel-test/"
  if ! wintool addprinter "Rastrel file printer" "LPT1:" 'C:\rastrel-test\file_printer.ppd'; then
    skip "$arch print: Wine did not take a file printer"
  else
      focus "Vellomex Text Window" && xdotool key ctrl+p
    if timeout=20 wait_for shown Print; then
      focus Print && xdotool key Escape
      timeout=10 wait_for test -z "$(window_id Print)"
      xdotool key ctrl+s   # shows the print command has ended
      timeout=20 wait_for shown "Save As"
      if wintool windows | grep -q '^"Vellomex"'; then
        fail "$arch print, dialog cancelled: a message box was shown"
      else
        pass "$arch print, dialog cancelled: nothing printed, no message"
      fi
      focus "Save As" && xdotool key Escape
      timeout=10 wait_for test -z "$(window_id 'Save As')"
    else
      fail "$arch print, dialog cancelled: no print dialog"
    fi

    focus "Vellomex Text Window" && xdotool key ctrl+p
    if timeout=20 wait_for shown Print; then
      focus Print && xdotool key Return
      if timeout=30 wait_for grep -q '^%%EOF' "$ps"; then
        local shown_text
        shown_text=$(glyph_text "$ps")
        if grep -q '^%%Title: Vellomex.out' "$ps" && grep -q '^%%Pages: 1' "$ps" &&
          [ "$shown_text" = "Vellomex.outPage1line1line2line3done" ]; then
          pass "$arch print: one page on the file printer with its header and the transcript"
        else
          fail "$arch print: the document shows \"$shown_text\""
        fi
      else
        fail "$arch print: no document from the file printer"
      fi
    else
      fail "$arch print: no print dialog"
    fi
  fi
  focus "Vellomex Text Window" && xdotool key alt+F4
  if timeout=20 wait_for box_shows "Do you wish to save Vellomex.txt before quitting?"; then answer_box "&No"; fi
  finish
  if [ "$status" = 0 ]; then pass "$arch print: closed with status 0"; else fail "$arch print: status $status"; fi
}

# --version, which a windowed program answers in a box captioned "Rastrel".
flow_version_box() {
  start "$scratch" "$build/rastrel.exe" --version
  if timeout=20 wait_for eval 'wintool text Rastrel | grep -qF "rastrel 1.0"'; then
    pass "$arch --version: a box with rastrel 1.0"
    local place
    place=$(wintool where Rastrel OK)
    [ -n "$place" ] && xdotool mousemove $place click 1
  else
    fail "$arch --version: no box"
  fi
  finish
  if [ "$status" = 0 ]; then pass "$arch --version: status 0"; else fail "$arch --version: status $status"; fi
}

# The console asks for a fixed-pitch face of the modern family: where
# "Courier" is missing (as under Wine) a line typed at the prompt still lands
# in the cells the console computes (tests/windows/cell_grid.py).
flow_cell_grid() {
  local dir=$scratch/$arch/grid
  cp -r "$samples" "$dir"
  start "$dir" "$build/rastrel.exe"
  if ! console_ready; then fail "$arch cell grid: no window"; return; fi
  timeout=10 wait_for settled "$scratch/before.png"
  xdotool type --delay 30 "1 - Convert scan file to TIFF."
  cp "$scratch/before.png" "$scratch/last.png"
  timeout=10 wait_for changed_and_settled
  local shot=$artefacts/cell-grid.png
  cp "$scratch/last.png" "$shot"
  local verdict
  if verdict=$(convert "$shot" -colorspace Gray pgm:- | python3 "$root/tests/windows/cell_grid.py" /dev/stdin 48); then
    pass "$arch $verdict ($shot)"
  else
    fail "$arch $verdict ($shot)"
  fi
  focus "Vellomex Text Window" && xdotool key alt+F4
  if timeout=20 wait_for box_shows "Do you wish to save Vellomex.txt before quitting?"; then answer_box "&No"; fi
  finish
}

# Every file of the Wine prefix's drive C, but the system's own folders.
drive_files() {
  (cd "$WINEPREFIX/drive_c" && find . -path ./windows -prune -o -path '*/Temp' -prune -o -type f -print | sort)
}

# A registry value's data: reg_value KEY NAME (NAME empty: the default value).
reg_value() {
  local data
  if [ -n "$2" ]; then data=$("${wine[@]}" reg query "$1" /v "$2" 2>/dev/null); else data=$("${wine[@]}" reg query "$1" /ve 2>/dev/null); fi
  tr -d '\r' <<<"$data" | sed -n 's/^ *[^ ]* *REG_[A-Z_]* *//p' | head -1
}
unix_path() { "${wine[@]}" winepath -u "$1" 2>/dev/null | tr -d '\r'; }

# The installer, silently, for the current user (then started as Explorer's
# "Open with Rastrel" starts it, on the example folder) and for all users;
# each uninstaller removes everything its installer added.
flow_installer() {
  local setup
  setup=$(ls "$build"/rastrel-*-win"$arch"-setup.exe 2>/dev/null | head -1)
  if [ -z "$setup" ]; then fail "$arch installer: none built (scripts/build-windows.sh, nsis)"; return; fi
  local mode root_key before after folder started_at
  for mode in CurrentUser AllUsers; do
    if [ "$mode" = CurrentUser ]; then root_key=HKCU; else root_key=HKLM; fi
    started_at=$(date +%s)
    before=$(drive_files)
    "${wine[@]}" "$setup" /S "/$mode" >/dev/null 2>&1
    folder=$(reg_value "$root_key\\Software\\Rastrel" InstallFolder)
    local unix
    unix=$(unix_path "$folder")
    if [ -n "$folder" ] && [ -f "$unix/rastrel.exe" ] && [ -f "$unix/Rastrel guide.txt" ] &&
      [ -f "$unix/example/scaninfo.dat" ] && [ -f "$unix/uninstall.exe" ]; then
      pass "$arch installer /S /$mode: the program, the guide and the example in $folder"
    else
      fail "$arch installer /S /$mode: not installed (\"$folder\")"
      continue
    fi
    if drive_files | grep -q '/Rastrel\.lnk$'; then
      pass "$arch installer /$mode: a Start-menu shortcut"
    else
      fail "$arch installer /$mode: no Start-menu shortcut"
    fi
    local verb
    verb=$(reg_value "$root_key\\Software\\Classes\\Directory\\shell\\Rastrel\\command" "")
    if [ "$verb" = "\"$folder\\rastrel.exe\" \"%1\"" ]; then
      pass "$arch installer /$mode: \"Open with Rastrel\" on folders"
    else
      fail "$arch installer /$mode: the folders' verb is \"$verb\""
    fi

    if [ "$mode" = CurrentUser ]; then
      # As Explorer runs the verb on the example folder, from elsewhere.
      start "$scratch" "$unix/rastrel.exe" "$folder\\example"
      if console_ready; then
        xdotool type --delay 30 1
        xdotool key Return
        if timeout=60 wait_for same_images "$unix/example"; then
          pass "$arch installed program: converts the folder it was started with"
        else
          fail "$arch installed program: the example folder's images differ from the Linux build's"
        fi
        xdotool type --delay 30 9
        xdotool key Return
        if timeout=20 wait_for box_shows "Do you wish to save Vellomex.txt before quitting?"; then answer_box "&No"; fi
      else
        fail "$arch installed program: no window"
      fi
      finish
    fi

    local uninstall
    uninstall=$(reg_value "$root_key\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Rastrel" QuietUninstallString)
    if [ "$uninstall" != "\"$folder\\uninstall.exe\" /$mode /S" ]; then
      fail "$arch uninstaller /$mode: listed as \"$uninstall\""
    fi
    # It runs from a copy in the temporary folder, and the copy removes;
    # the uninstall entry goes last.
    "${wine[@]}" "$folder\\uninstall.exe" "/$mode" /S >/dev/null 2>&1
    listed() { "${wine[@]}" reg query "$root_key\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Rastrel" >/dev/null 2>&1; }
    timeout=60 wait_for eval '! listed'
    after=$(drive_files)
    if [ ! -e "$unix" ] && [ "$after" = "$before" ] && ! listed &&
      ! "${wine[@]}" reg query "$root_key\\Software\\Rastrel" >/dev/null 2>&1 &&
      ! "${wine[@]}" reg query "$root_key\\Software\\Classes\\Directory\\shell\\Rastrel" >/dev/null 2>&1 &&
      ! "${wine[@]}" reg query "$root_key\\Software\\Classes\\Directory\\Background\\shell\\Rastrel" >/dev/null 2>&1; then
      pass "$arch uninstaller /$mode: every file, shortcut and registry key removed"
    else
      fail "$arch uninstaller /$mode: left behind:"; diff <(echo "$before") <(echo "$after") | head
    fi
    echo "     installer /$mode: $(($(date +%s) - started_at)) s"
  done
}

# ---------------------------------------------------------------------------

for arch in "${arches[@]}"; do
  build=$root/build-win$arch
  if [ ! -x "$build/rastrel.exe" ]; then
    fail "$arch: $build/rastrel.exe not built (scripts/build-windows.sh)"
    continue
  fi
  if [ "$arch" = 32 ] && [ "$runs32" = 0 ]; then
    skip "32: this machine runs no 32-bit processes (its kernel has 32-bit emulation off): build-win32 was built, not run"
    continue
  fi
  artefacts=$build/artefacts
  mkdir -p "$artefacts" "$scratch/$arch"
  arch_started=$(date +%s)

  unit_log=$artefacts/unit_tests.log
  "${wine[@]}" "$build/tests/windows_unit_tests.exe" >"$unit_log" 2>&1
  unit_status=$?
  unit_passed=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\?\..*/\1/p' "$unit_log" | tail -1)
  unit_failed=$(sed -n 's/^ *\([0-9]*\) FAILED TESTS\?$/\1/p' "$unit_log" | tail -1)
  passed=$((passed + ${unit_passed:-0}))
  failed=$((failed + ${unit_failed:-0}))
  if [ "$unit_status" = 0 ] && [ -n "$unit_passed" ]; then
    echo "ok   $arch unit tests: ${unit_passed} passed"
  else
    [ -z "$unit_failed" ] && failed=$((failed + 1))
    echo "FAIL $arch unit tests:"; grep -E '^\[  FAILED  \]|Failure' "$unit_log" | head -20
  fi

  flow_conversion_screenshot_close
  flow_save
  flow_faults
  flow_ctrl_c_read
  flow_ctrl_c_output
  flow_exit_in_paste
  flow_ctrl_c_in_paste
  flow_exit_menu_read
  flow_print
  flow_version_box
  flow_cell_grid
  flow_installer
  echo "$arch: $(($(date +%s) - arch_started)) s"
done

echo "windows: $passed passed, $failed failed, $skipped skipped"
[ "$failed" = 0 ]
