# shellcheck shell=bash disable=SC2034
# Helpers for running the patch program under Wine with box-agent: Wine prefixes, a display,
# the demo install, and file fingerprints. Sourced by tests/e2e/run-scenario and
# scripts/run-demo; bash only.

E2E_WINE64=${E2E_WINE64:-/usr/lib/wine/wine64}
[ -x "$E2E_WINE64" ] || E2E_WINE64=$(command -v wine64 || true)
E2E_WINESERVER=${E2E_WINESERVER:-/usr/lib/wine/wineserver}
[ -x "$E2E_WINESERVER" ] || E2E_WINESERVER=$(command -v wineserver || true)

# The registry value the program reads its install directory from, and what the scripts that
# source this file check.
E2E_REG_KEY='HKLM\SOFTWARE\PELLANTIS\Halvenmoor Demo'
E2E_REG_VALUE=InstalledPath
E2E_BUNDLE_SIZE=1327174142
E2E_MUTEX_RUNNING='Global\ORVEK_Running'
E2E_MUTEX_DEMO='Global\ORVEK DEMO'

e2e_die() {
  echo "$*" >&2
  exit 1
}

# The Windows spelling of a Unix path, through the drive Wine maps to /.
e2e_win_path() {
  local path=$1
  printf 'Z:%s' "${path//\//\\}"
}

# Runs a Wine command in the prefix $WINEPREFIX, quietly.
e2e_wine() {
  WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= "$E2E_WINE64" "$@"
}

e2e_wineserver_stop() {
  local prefix=$1
  [ -d "$prefix" ] || return 0
  WINEPREFIX=$prefix "$E2E_WINESERVER" -k >/dev/null 2>&1
  WINEPREFIX=$prefix "$E2E_WINESERVER" -w >/dev/null 2>&1
  return 0
}

# Makes the prefix $1 draw its windows without a window manager: on a bare virtual display
# that saves the two seconds Wine otherwise waits for a missing window manager each time a
# window is hidden.
e2e_unmanaged_windows() {
  local prefix=$1
  WINEPREFIX=$prefix e2e_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ \
    /d N /f >/dev/null 2>&1 || return 1
  WINEPREFIX=$prefix "$E2E_WINESERVER" -w >/dev/null 2>&1
}

# Makes a fresh Wine prefix at $1 with wineboot; $2 = unmanaged as above.
e2e_wineboot_prefix() {
  local prefix=$1 mode=${2:-managed}
  mkdir -p "$prefix" || return 1
  WINEPREFIX=$prefix e2e_wine wineboot --init >/dev/null 2>&1
  if [ "$mode" = unmanaged ]; then
    e2e_unmanaged_windows "$prefix" || return 1
  fi
  WINEPREFIX=$prefix "$E2E_WINESERVER" -w >/dev/null 2>&1
  [ -f "$prefix/system.reg" ]
}

# Copies the template prefix $1 to $2. The 600 MB of system DLLs, which Wine only reads, are
# hard links when both are on one file system; the registry and everything else are copies.
e2e_copy_prefix() {
  local template=$1 prefix=$2
  mkdir -p "$prefix" || return 1
  (cd "$template" && tar -cf - --exclude=./drive_c/windows/system32 .) | (cd "$prefix" && tar -xf -) || return 1
  cp -al "$template/drive_c/windows/system32" "$prefix/drive_c/windows/" 2>/dev/null ||
    cp -a "$template/drive_c/windows/system32" "$prefix/drive_c/windows/"
}

# Keeps one wineserver up for the prefix, so the commands of a run do not each start their
# own; e2e_wineserver_stop ends it, and if that never comes it ends itself a minute after
# its last program.
e2e_wineserver_start() {
  WINEPREFIX=$1 "$E2E_WINESERVER" -p60 >/dev/null 2>&1
}

# Sets the install directory text in the registry; $2 is REG_SZ (default) or REG_EXPAND_SZ.
e2e_set_install_path() {
  local text=$1 type=${2:-REG_SZ}
  e2e_wine reg add "$E2E_REG_KEY" /v "$E2E_REG_VALUE" /t "$type" /d "$text" /f >/dev/null 2>&1
}

# True when $DISPLAY names an X display that answers.
e2e_display_works() {
  [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1
}

# Starts a virtual display and exports DISPLAY; sets E2E_XVFB_PID for e2e_stop_display.
E2E_XVFB_PID=
e2e_start_xvfb() {
  local fifo number
  fifo=$(mktemp -u /tmp/e2e-xvfb.XXXXXX)
  mkfifo "$fifo" || return 1
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  E2E_XVFB_PID=$!
  read -r -t 20 number <"$fifo"
  rm -f "$fifo"
  [ -n "$number" ] || { e2e_stop_display; return 1; }
  export DISPLAY=":$number"
}

e2e_stop_display() {
  if [ -n "$E2E_XVFB_PID" ]; then
    kill "$E2E_XVFB_PID" 2>/dev/null
    wait "$E2E_XVFB_PID" 2>/dev/null
  fi
  E2E_XVFB_PID=
  return 0
}

# Marker bytes at known places of a sparse bundle, so that a check can see that the very same
# bytes came back without reading the whole file.
e2e_marker_offsets() {
  local size=$1
  echo 0 $((size / 2)) $((size - 16))
}

e2e_make_sparse_bundle() {
  local path=$1 size=$2 offset n=0
  rm -f "$path"
  truncate -s "$size" "$path" || return 1
  for offset in $(e2e_marker_offsets "$size"); do
    n=$((n + 1))
    printf 'orvek-marker-%03d' "$n" |
      dd of="$path" bs=16 seek="$offset" oflag=seek_bytes conv=notrunc status=none || return 1
  done
}

# Size, inode, modification time and the marker bytes of a file: equal before and after a run
# only when the file was not touched at all.
e2e_fingerprint() {
  local path=$1 size offset
  [ -f "$path" ] || { echo "missing"; return 0; }
  size=$(stat -c %s "$path")
  stat -c '%s %i %.9Y' "$path"
  [ "$size" -ge 32 ] || return 0
  for offset in $(e2e_marker_offsets "$size"); do
    dd if="$path" bs=16 count=1 skip="$offset" iflag=skip_bytes status=none | od -An -c | tr -s ' '
  done
}

# The same without inode and time: equal when the content came back, by whatever route.
e2e_content_fingerprint() {
  e2e_fingerprint "$1" | awk 'NR == 1 { print $1; next } { print }'
}

# The names in a folder, one per line, sorted.
e2e_listing() {
  (cd "$1" && find . -mindepth 1 -maxdepth 1 -printf '%f\n' | LC_ALL=C sort)
}
