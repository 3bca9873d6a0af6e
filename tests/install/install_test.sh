#!/usr/bin/env bash
# The installed program, as a user who ran `cmake --install` has it:
#   tests/install/install_test.sh BUILD_DIR
# installs BUILD_DIR into a scratch prefix and checks that no installed file
# holds a path of the source or build tree, that the desktop entry and the
# man page pass their checkers, and that the installed program answers
# --help and --version, converts in plain mode with the folder given on the
# command line, runs in a terminal (a tmux pane) with the source and build
# trees out of its sight and its installed terminal module, prints to a PDF
# file there with the installed print module (not the build tree's), says
# why when either module is missing, and, on an Xvfb of the test's own,
# opens the desktop window with the installed module, converts and prints
# to a PDF file.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:?usage: install_test.sh BUILD_DIR}" && pwd)
. "$here/../support/checks.sh"

scratch=$(mktemp -d /tmp/rastrel-install.XXXXXX)
program_pid=
tmux_socket=
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
  [ -n "$tmux_socket" ] && tmux -S "$tmux_socket" kill-server 2>/dev/null
  stop_display
  rm -rf "$scratch"
}
trap cleanup EXIT

prefix=$scratch/prefix
if ! cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1; then
  cat "$scratch/install.log"
  fail "cmake --install"
  finish_checks
  exit
fi
rastrel=$prefix/bin/rastrel
check "installed: the program, its desktop, terminal and print modules, desktop entry, icons, man page, guide" \
  test -x "$rastrel" -a -f "$prefix/lib/rastrel/desktop.so" -a -f "$prefix/lib/rastrel/print.so" \
  -a -f "$prefix/lib/rastrel/terminal.so" \
  -a -f "$prefix/share/applications/rastrel.desktop" \
  -a -f "$prefix/share/icons/hicolor/48x48/apps/rastrel.png" -a -f "$prefix/share/icons/hicolor/256x256/apps/rastrel.png" \
  -a -f "$prefix/share/man/man1/rastrel.1.gz" -a -f "$prefix/share/doc/rastrel/README.md"

# No installed file names the source or build tree.  A leaked path is a
# string that names the tree or something in it; the strings are searched,
# not the raw bytes, where a short tree path could turn up by chance, and
# what was found is shown.  A sanitizer build is never what a user installs,
# and AddressSanitizer keeps each source file's path as the compiler was given
# it (for its reports), whatever the prefix maps say: the check is made on the
# builds a user has.
if grep -q '^RASTREL_SANITIZE:BOOL=ON' "$build/CMakeCache.txt" 2>/dev/null; then
  skip "no installed file holds a path of the source or build tree: a sanitizer build names its sources"
else
  tree_paths=
  while IFS= read -r -d '' file; do
    found=$(strings -a -n 3 "$file" | awk -v r="$root" -v b="$build" '$0 == r || index($0, r "/") || index($0, b)' | head -3 | tr '\n' ' ')
    [ -n "$found" ] && tree_paths+="$file ($found) "
  done < <(find "$prefix" -type f -print0)
  check "no installed file holds a path of the source or build tree${tree_paths:+: $tree_paths}" test -z "$tree_paths"
fi

if command -v desktop-file-validate >/dev/null; then
  check "desktop entry passes desktop-file-validate" desktop-file-validate "$prefix/share/applications/rastrel.desktop"
else
  skip "desktop-file-validate is not installed (Debian: desktop-file-utils)"
fi
check "desktop entry: Exec=rastrel %f, for folders" \
  grep -qx -e 'Exec=rastrel %f' "$prefix/share/applications/rastrel.desktop"
man_warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/rastrel.1.gz" 2>&1 >/dev/null)
check "man --warnings is silent on the man page${man_warnings:+: $man_warnings}" test -z "$man_warnings"
check "the icons are PNG images of their size" \
  bash -c "file '$prefix/share/icons/hicolor/32x32/apps/rastrel.png' | grep -q 'PNG image data, 32 x 32'"

# --help and --version.
help=$("$rastrel" --help)
help_status=$?
check "--help prints the usage and exits 0" test "$help_status" = 0 -a "$(head -1 <<<"$help")" = "Usage: rastrel [OPTION]... [FOLDER]"
version=$("$rastrel" --version)
check "--version prints rastrel 1.0 and one line" test "$(head -1 <<<"$version")" = "rastrel 1.0" -a "$(wc -l <<<"$version")" = 2

# A plain conversion, the folder given on the command line, against the
# build tree's program.
samples=$scratch/samples
"$build/make_samples" "$samples" >/dev/null
reference=$scratch/reference
cp -r "$samples" "$reference"
(cd "$reference" && printf '1\n9\n' | env -u DISPLAY "$build/rastrel" --plain >/dev/null)
same_images() {
  for n in 0 1 2 3 4 5; do cmp -s "$reference/$n.tif" "$1/$n.tif" || return 1; done
}
plain=$scratch/plain
cp -r "$samples" "$plain"
(cd / && printf '1\n9\n' | "$rastrel" --plain "$plain" >"$scratch/plain.out" 2>&1)
check "plain run in the folder given: six images byte for byte the build tree's" same_images "$plain"
linked=$(ldd "$rastrel" | grep -E 'libncurses|libtinfo|libgtk|libcups|libcairo')
check "the program itself links no curses, GTK or printing library${linked:+: $linked}" test -z "$linked"

# The terminal, in a tmux pane, with the source and build trees out of the
# program's sight (an empty folder mounted over each, in a mount namespace
# of its own, where the system allows one): the installed terminal module
# is the one loaded.  Printing there, with no printing system to be
# reached: the print form offers the PDF file.  The installed print module
# is loaded only once the form opens; without it the form says why and the
# console reports that it could not print.  Without the terminal module a
# forced --terminal says why and ends with status 2, and the program
# started without an option in the terminal runs plain.
away=$scratch/away.sh
cat >"$away" <<'SCRIPT'
#!/bin/sh
# away.sh BUILD ROOT COMMAND...: COMMAND with BUILD and ROOT hidden.
build=$1 root=$2
shift 2
exec unshare --mount $UNSHARE_USER sh -c \
  'mount -t tmpfs tmpfs "$0" && mount -t tmpfs tmpfs "$1" && shift && exec "$@"' "$build" "$root" "$@"
SCRIPT
chmod +x "$away"
hidden() { "$away" "$build" "$root" sh -c '! test -e "$0/CMakeCache.txt" && ! test -e "$1/CMakeLists.txt"' "$build" "$root" 2>/dev/null; }
trees_hidden=yes
if ! hidden; then
  export UNSHARE_USER=--map-root-user
  if ! hidden; then
    trees_hidden=
    printf '#!/bin/sh\nshift 2\nexec "$@"\n' >"$away"
  fi
fi
# A sanitizer build reads its leak suppressions from the source tree: a
# copy is kept in sight.
if [[ ${LSAN_OPTIONS:-} =~ suppressions=([^:]+) ]] && cp "${BASH_REMATCH[1]}" "$scratch/lsan.supp" 2>/dev/null; then
  export LSAN_OPTIONS=${LSAN_OPTIONS/suppressions=${BASH_REMATCH[1]}/suppressions=$scratch/lsan.supp}
fi
if ! command -v tmux >/dev/null; then
  skip "terminal printing: tmux is not installed"
elif ! command -v pdftotext >/dev/null; then
  skip "terminal printing: pdftotext is not installed (Debian: poppler-utils)"
else
  tmux_socket=$scratch/tmux.sock
  mkdir -p "$scratch/no-cups" "$scratch/tmux-home"
  printf 'set -g default-terminal tmux-256color\nset -g status off\n' >"$scratch/tmux.conf"
  tmux -S "$tmux_socket" -f "$scratch/tmux.conf" new-session -d -x 100 -y 30 -c "$scratch" \
    -e LANG=C.UTF-8 -e LC_PAPER=C -e HOME="$scratch/tmux-home" -e HISTFILE=/dev/null \
    -e CUPS_SERVER="$scratch/no-cups/cups.sock" -e CUPS_SERVERROOT="$scratch/no-cups" 'bash --norc --noprofile'
  pane() { tmux -S "$tmux_socket" capture-pane -p; }
  on_screen() { pane | grep -qF -- "$1"; }
  keys() { tmux -S "$tmux_socket" send-keys "$@"; }
  pane_program() {   # the program the pane's shell started
    local shell
    shell=$(tmux -S "$tmux_socket" display -p '#{pane_pid}')
    cat "/proc/$shell/task/$shell/children" 2>/dev/null | awk '{print $1}'
  }
  start_in_pane() {
    keys -l "clear; '$away' '$build' '$root' env -u PRINTER -u LPDEST '$rastrel' --terminal '$samples'; echo EXIT=\$?"
    keys Enter
    timeout=20 wait_for on_screen "Enter Selection:" && timeout=20 wait_for on_screen " File  Edit "
  }
  leave_pane_program() {
    keys M-f && timeout=10 wait_for on_screen "Exit" && keys x &&
      timeout=10 wait_for on_screen "before quitting?" && keys n && timeout=10 wait_for on_screen "EXIT="
  }
  printed_pdf=$scratch/printed.pdf
  pdf_printed() { pdftotext -layout "$printed_pdf" - 2>/dev/null | grep -q "Page 1"; }
  if start_in_pane; then
    pid=$(pane_program)
    if [ -n "$trees_hidden" ]; then
      pass "terminal: the installed program runs in the pane with the source and build trees out of its sight"
    else
      skip "terminal: no mount namespace to hide the source and build trees in (unshare); the modules' paths are checked"
    fi
    modules=$(grep -o '/[^ ]*/terminal\.so$' "/proc/$pid/maps" | sort -u)
    check "terminal: the module loaded is the installed one ($modules)" \
      test "$modules" = "$prefix/lib/rastrel/terminal.so"
    check "terminal: curses is mapped with it" grep -q libncursesw "/proc/$pid/maps"
    before=$(grep -E 'libcups|libcairo|/print\.so' "/proc/$pid/maps" 2>/dev/null | awk '{print $6}' | sort -u)
    check "terminal printing: nothing of printing is mapped before the user prints${before:+ ($before)}" \
      test -n "$pid" -a -z "$before"
    keys M-f && timeout=10 wait_for on_screen "Print" && keys p
    if timeout=20 wait_for on_screen "< PDF file >"; then
      modules=$(grep -o '/[^ ]*/print\.so$' "/proc/$pid/maps" | sort -u)
      check "terminal printing: the print module loaded is the installed one ($modules)" \
        test "$modules" = "$prefix/lib/rastrel/print.so"
      keys Down C-u && keys -l "$printed_pdf" && keys Enter
      if timeout=20 wait_for pdf_printed; then
        pass "terminal printing: the PDF file holds the transcript's page"
      else
        fail "terminal printing: no PDF file written"
      fi
    else
      fail "terminal printing: no print form offering the PDF file"; pane
    fi
    leave_pane_program || { fail "terminal printing: the program did not end"; pane; }
  else
    fail "terminal printing: the program did not start in the pane"; pane
  fi

  mv "$prefix/lib/rastrel/print.so" "$scratch/print.so.away"
  if start_in_pane; then
    keys M-f && timeout=10 wait_for on_screen "Print" && keys p
    if timeout=20 wait_for on_screen "Printing is not available"; then
      pass "terminal printing without the print module: the box says printing is not available"
      keys Enter
      timeout=10 wait_for on_screen "Default printer not found" && keys Enter
      if timeout=10 wait_for on_screen "Could not print output"; then
        pass "terminal printing without the print module: the console reports it could not print"
        keys Enter
      else
        fail "terminal printing without the print module: no \"Could not print output\""; pane
      fi
    else
      fail "terminal printing without the print module: no box saying why"; pane
    fi
    leave_pane_program || { fail "terminal printing without the print module: the program did not end"; pane; }
  else
    fail "terminal printing without the print module: the program did not start"; pane
  fi
  mv "$scratch/print.so.away" "$prefix/lib/rastrel/print.so"

  mv "$prefix/lib/rastrel/terminal.so" "$scratch/terminal.so.away"
  keys -l "clear; '$rastrel' --terminal '$samples'; echo EXIT=\$?"
  keys Enter
  exit_shown() { pane | grep -qE '^EXIT=[0-9]+$'; }
  if timeout=20 wait_for exit_shown; then
    check "without the terminal module: --terminal says why and ends with status 2" \
      bash -c "tmux -S '$tmux_socket' capture-pane -p -J | grep -q 'rastrel: --terminal is not possible here: the terminal front end cannot be loaded' && tmux -S '$tmux_socket' capture-pane -p | grep -qx 'EXIT=2'"
  else
    fail "without the terminal module: --terminal did not end"; pane
  fi
  keys -l "clear; env -u DISPLAY -u WAYLAND_DISPLAY '$rastrel' '$samples'; echo EXIT=\$?"
  keys Enter
  if timeout=20 wait_for on_screen "Enter Selection:" && ! on_screen " File  Edit "; then
    keys 9 Enter
    if timeout=20 wait_for exit_shown && on_screen "EXIT=0"; then
      pass "without the terminal module: the program in the terminal runs plain"
    else
      fail "without the terminal module: the plain run did not end"; pane
    fi
  else
    fail "without the terminal module: no plain menu in the terminal"; pane
  fi
  mv "$scratch/terminal.so.away" "$prefix/lib/rastrel/terminal.so"
  tmux -S "$tmux_socket" kill-server 2>/dev/null
  tmux_socket=
fi

# The desktop window.
if ! start_display; then
  skip "desktop window: Xvfb is not installed or did not start"
elif ! command -v xdotool >/dev/null; then
  skip "desktop window: xdotool is not installed"
else
  window=$scratch/window
  cp -r "$samples" "$window"
  home=$scratch/home
  mkdir -p "$home"
  (cd / && exec env HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
    XDG_CACHE_HOME="$home/.cache" "$rastrel" "$window" </dev/null >"$scratch/window.log" 2>&1) &
  program_pid=$!
  window_id() { xdotool search --onlyvisible --name '^Vellomex Text Window$' 2>/dev/null | head -1; }
  shown() { [ -n "$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null)" ]; }
  if timeout=30 wait_for shown 'Vellomex Text Window'; then
    pass "desktop window: the installed program opens it"
    id=$(window_id)
    modules=$(grep -o '/[^ ]*desktop\.so$' "/proc/$program_pid/maps" | sort -u)
    check "desktop window: the module loaded is the installed one ($modules)" \
      test "$modules" = "$prefix/lib/rastrel/desktop.so"
    xdotool windowfocus --sync "$id" type --delay 50 '1'
    xdotool windowfocus --sync "$id" key Return
    if timeout=60 wait_for same_images "$window"; then
      pass "desktop window: 1 converts the folder given into the build tree's images"
    else
      fail "desktop window: the images differ from the build tree's"
    fi
    mkdir -p "$build/artefacts"
    import -window "$id" "$build/artefacts/installed-window.png" 2>/dev/null
    if command -v pdftotext >/dev/null; then
      xdotool windowfocus --sync "$id" key --delay 150 alt+f p
      timeout=20 wait_for shown Print
      print_dialog=$(xdotool search --onlyvisible --name '^Print$' | head -1)
      # "Print to File" is listed once the dialog has asked its printers.
      chosen() {
        xdotool windowfocus --sync "$print_dialog" key --delay 150 Home alt+p
        ! shown Print
      }
      timeout=20 wait_for chosen
      printed() {
        local text
        text=$(pdftotext -layout "$window/output.pdf" - 2>/dev/null) &&
          grep -q "Writing TIFF file 5" <<<"$text" && grep -q "Page 1" <<<"$text"
      }
      if timeout=30 wait_for printed; then
        pass "desktop window: Print to File writes the transcript with its header"
      else
        fail "desktop window: no PDF file with the transcript"
      fi
    else
      skip "desktop window: printing needs pdftotext (Debian: poppler-utils)"
    fi
  else
    fail "desktop window: none shown"; cat "$scratch/window.log"
  fi
fi

finish_checks
