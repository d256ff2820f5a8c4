#!/bin/sh
# Runs a Windows program under Wine for CTest: WINE is the wine64 binary, the rest its
# command line. Wine's own background processes are started first, with nothing of the
# test's output open: CTest waits until every holder of that output lets it go.
"$WINE" wineboot < /dev/null > /dev/null 2>&1
exec "$WINE" "$@"
