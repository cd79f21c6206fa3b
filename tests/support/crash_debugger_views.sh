#!/bin/sh
# The test session's crash debugger is crash_exit in both registry views: a
# 32-bit program reads the 32-bit one, the 64-bit build's the other. A session
# written by a 32-bit reg or regedit alone sets the 32-bit view only.
loader=$("$(dirname "$0")/../../scripts/lib/wine-loader" 64) || exit 1
key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug'
rc=0
for view in 64 32; do
    out=$("$loader" reg query "$key" "/reg:$view" </dev/null 2>&1)
    if printf '%s\n' "$out" | grep -q 'Debugger .*crash_exit\.exe' &&
            printf '%s\n' "$out" | grep -Eq 'Auto +REG_SZ +1'; then
        echo "/reg:$view: crash_exit is the debugger"
    else
        echo "/reg:$view: crash_exit is not the debugger: $out"
        rc=1
    fi
done
exit $rc
