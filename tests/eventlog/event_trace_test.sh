#!/usr/bin/env bash
# Runs event_trace_tests.exe (argument 1) in a Wine prefix of its own, whose service manager
# is started with Wine's event log trace on: Wine's ReportEventW writes its arguments and
# inserts to the debug output, and a service's debug output goes to the standard error of
# the command that started the prefix's service manager. The tests read that file; it is
# kept beside the prefix (…-eventtrace.log) for a look afterwards.
set -u
: "${WINEPREFIX:?the Wine prefix of the test run}"
exe=$1
export WINEPREFIX="$WINEPREFIX-eventtrace"
trace="$WINEPREFIX.log"

stop() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
}
trap 'stop; rm -rf "$WINEPREFIX"' EXIT

rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
stop
# A server kept up between commands, and the first process of its session (which starts
# the service manager) with the trace channels on and its standard error in the file.
wineserver -p
WINEDEBUG=-all,+eventlog,fixme+advapi wine cmd.exe /c exit </dev/null >/dev/null 2>"$trace"

QUORVANE_EVENT_TRACE=$(winepath -w "$trace" 2>/dev/null) wine "$exe" --gtest_color=no
