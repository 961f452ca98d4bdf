#!/usr/bin/env bash
# A short run of every fuzz target (20 seconds each unless given), quick enough
# for CI: it catches a crash that the seeds or the first mutations reach.
# Usage: tools/run-fuzz-smoke.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
exec tools/run-fuzzers.sh all "${1:-20}"
