# Sourced by the test scripts that restart the prefix as a machine restarts. wine_boot ends
# every Wine process of the prefix and starts its server again, persistent (a server that
# is not ends the service manager, and the services with it, seconds after the last other
# program exits). The first program of the new session makes Wine run its own boot
# (wineboot --init) to its end first: the restart queue carried out, then the services
# started, those whose start type is automatic among them, as Windows orders a restart.
# No "wineboot -r" follows: run as that first program it carries out the queue a second
# time while the services run, deleting what a service that started at the boot had just
# asked to be deleted at the next restart.
wine_boot() {
  : "${WINEPREFIX:?the Wine prefix}"
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  wineserver -p >/dev/null 2>&1 </dev/null
  wine cmd.exe /c exit >/dev/null 2>&1 </dev/null
}
