# Headless sway for the Wayland benchmarks, sourced by cpu_wayland.sh and soak.sh: two outputs side
# by side (1920x1080 unless told) on the software renderer (pixman), no input devices, no XWayland.
# sway refuses to run as root: as root, sway and the program run as nobody.
#
# start_headless_sway TAVRIN SOURCE-DIR [WxH]: makes the folder $work with a copy of the program
# (bin/tavrin), the pictures (resources/), out/ (writable by the program) and runtime/ (its
# XDG_RUNTIME_DIR), starts sway there and sets sway (its pid), socket (the Wayland display's name)
# and client_env (the command prefix that runs a client as sway's user in a clean environment:
# `"${client_env[@]}" "$work/bin/tavrin" ... &` leaves the program's own pid in $!).
# stop_headless_sway ends sway and removes $work.

start_headless_sway() {
  local tavrin="$1" source="$2" size="${3:-1920x1080}"
  work=$(mktemp -d /tmp/tavrin-bench.XXXXXX)
  chmod 755 "$work"
  mkdir -p "$work/bin" "$work/resources" "$work/out" "$work/runtime"
  cp "$tavrin" "$work/bin/tavrin"
  cp -r "$source/resources/." "$work/resources/"
  printf '%s\n' "output HEADLESS-1 mode $size position 0 0" "output HEADLESS-2 mode $size position ${size%x*} 0" \
    'xwayland disable' >"$work/config"
  chmod -R a+rX "$work"
  chmod 700 "$work/runtime"
  as_user=()
  if [ "$(id -u)" -eq 0 ]; then
    chown -R 65534:65534 "$work/out" "$work/runtime"
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  fi
  "${as_user[@]}" env -i PATH=/usr/bin:/bin HOME="$work/out" XDG_RUNTIME_DIR="$work/runtime" WLR_BACKENDS=headless \
    WLR_HEADLESS_OUTPUTS=2 WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway -c "$work/config" >"$work/sway.log" 2>&1 &
  sway=$!
  socket=""
  for _ in $(seq 100); do
    socket=$(cd "$work/runtime" && ls wayland-* 2>/dev/null | grep -v lock | head -1) || true
    [ -n "$socket" ] && break
    sleep 0.1
  done
  if [ -z "$socket" ]; then
    echo "sway did not start:" >&2
    tail "$work/sway.log" >&2
    return 1
  fi
  client_env=("${as_user[@]}" env -i PATH=/usr/bin:/bin HOME="$work/out" XDG_RUNTIME_DIR="$work/runtime"
    WAYLAND_DISPLAY="$socket" TAVRIN_RESOURCE_DIR="$work/resources")
}

stop_headless_sway() {
  if [ -n "${sway:-}" ]; then
    kill "$sway" 2>/dev/null || true
    wait "$sway" 2>/dev/null || true
  fi
  sway=""
  if [ -n "${work:-}" ]; then rm -rf "$work"; fi
  work=""
}
