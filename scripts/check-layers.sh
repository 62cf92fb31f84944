#!/usr/bin/env bash
# Fails when a layer includes a header of a layer above it: platform code never includes product
# code, and the script engine depends on the automation layer alone.
set -euo pipefail
cd "$(dirname "$0")/.."
status=0
bad=$(grep -rnE '#include "(core|template|model|project|generate|schema)/' src/platform || true)
if [ -n "$bad" ]; then
    echo "platform code includes product headers:"; echo "$bad"; status=1
fi
bad=$(grep -rnE '#include "platform/' src/platform/vbscript | grep -vE '#include "platform/(automation|vbscript)/' || true)
if [ -n "$bad" ]; then
    echo "the script engine includes more than the automation layer:"; echo "$bad"; status=1
fi
# A layer's internal/ headers serve only its own sources, so they may hold the C handles.
bad=$(grep -rnE '#include <(sql|sqlext|zip|iconv|mdbtools)\.h>|#include <libxml/' src --include='*.h' | grep -v '/internal/' || true)
if [ -n "$bad" ]; then
    echo "third-party C headers in public headers:"; echo "$bad"; status=1
fi
exit $status
