#!/bin/sh
# Runs a test of one build: run_for_build.sh BUILD COMMAND... A win32 test is
# skipped (exit 77, CTest's skip code here) where this machine cannot run
# 32-bit Windows programs, saying why; it never fails for that.
build=$1
shift
if [ "$build" = win32 ] && ! why=$("$(dirname "$0")/../../scripts/lib/probe-32bit"); then
    echo "32-bit test not run: $why"
    exit 77
fi
exec "$@"
