# Sourced by the test scripts that restart the prefix as a machine restarts. wine_boot ends
# every Wine process of the prefix, starts its server again, persistent (a server that is
# not ends the service manager, and the services with it, seconds after the last other
# program exits), and runs wineboot -r to its end: the restart queue is carried out and the
# services whose start type is automatic start.
wine_boot() {
  : "${WINEPREFIX:?the Wine prefix}"
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  wineserver -p >/dev/null 2>&1 </dev/null
  wineboot -r >/dev/null 2>&1 </dev/null
}
