# Sourced by the test, demo and benchmark scripts: a Wine prefix of the run's own, an
# X display for message boxes, and the Chinese ANSI code page (936) the product runs
# under. wine_env_start DIR makes a fresh prefix in DIR; wine_env_stop ends it all.

# Wine takes the ANSI code page from the locale variables; a locale made here, in
# build/locale, keeps non-ASCII command-line arguments intact without touching the system's
# locales. The variables are set once the locale is there.
wine_env_locale() {
  local root
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  local locdir="$root/build/locale"
  if [ ! -d "$locdir/zh_CN.UTF-8" ]; then
    mkdir -p "$locdir"
    localedef -i zh_CN -f UTF-8 "$locdir/zh_CN.UTF-8" >/dev/null 2>&1 || true
    ln -sfn zh_CN.UTF-8 "$locdir/zh_CN.utf8"   # the name glibc looks up
  fi
  if [ ! -d "$locdir/zh_CN.UTF-8" ]; then
    echo "wine-env: cannot make the zh_CN.UTF-8 locale in $locdir (package locales)" >&2
  fi
  export LOCPATH="$locdir"
  # Every program started from here on finds the locale through LOCPATH. The shell itself
  # cannot: it reads LOCPATH only from the environment it was started with, so its own
  # switch to the locale fails and bash would warn about it; the scripts need none.
  { export LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8; } 2>/dev/null
}

wine_env_start() {
  local prefix=$1
  wine_env_locale

  # A free display number; the prefix must see DISPLAY from its very first process.
  local n
  for n in $(seq 90 199); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
  done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  WINE_ENV_XVFB_PID=$!
  export DISPLAY=":$n"
  local i
  for i in $(seq 1 100); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    sleep 0.1
  done
  if [ ! -e "/tmp/.X11-unix/X$n" ]; then
    echo "wine-env: Xvfb did not start on :$n" >&2
    return 1
  fi

  export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEARCH=win64
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  wineboot -i >/dev/null 2>&1
  wineserver -w
}

# Keeps one server, and with it the service manager, up until wine_env_stop. The first
# process starts Wine's background processes; they inherit its output, so it writes to
# /dev/null rather than to a pipe that a caller (CTest) would then wait on.
wine_env_persist() {
  wineserver -p
  wine cmd.exe /c exit >/dev/null 2>&1 </dev/null
}

wine_env_stop() {
  if [ -n "${WINEPREFIX:-}" ]; then
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
  fi
  if [ -n "${WINE_ENV_XVFB_PID:-}" ]; then
    kill "$WINE_ENV_XVFB_PID" >/dev/null 2>&1 || true
    wait "$WINE_ENV_XVFB_PID" 2>/dev/null || true
    WINE_ENV_XVFB_PID=
  fi
}
