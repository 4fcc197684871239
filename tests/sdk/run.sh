#!/usr/bin/env bash
# Runs the SDK client tests when their packages are installed (npm ci).
set -euo pipefail
cd "$(dirname "$0")"
if [ ! -d node_modules/@modelcontextprotocol/sdk ]; then
  echo "skipped: run 'npm ci --prefix tests/sdk' first"
  exit 77
fi
exec "$1" --test mcp_sdk.test.mjs
