#!/usr/bin/env bash
# lbm_trace under hostile conditions: a full disk as standard output, and a
# step count too large for its type.
# usage: trace_cli_test.sh LBM_TRACE
set -u
LBM_TRACE=${1:?path of lbm_trace}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
PASSED=0
FAILED=0
check() {  # check DESCRIPTION COMMAND...
    local what=$1; shift
    if "$@"; then echo "ok: $what"; PASSED=$((PASSED + 1)); else echo "FAILED: $what"; FAILED=$((FAILED + 1)); fi
}

"$LBM_TRACE" 20 >/dev/full 2>"$WORK/full.err"
status=$?
check "a full disk ends with status 1 (got $status)" [ "$status" -eq 1 ]
check "the lost reports are said once, with the reason" \
    [ "$(grep -c 'No space left on device' "$WORK/full.err")" -eq 1 -a "$(wc -l <"$WORK/full.err")" -eq 1 ]

# Taken as the largest long, the count would run for ages: bounded here.
timeout 10 "$LBM_TRACE" 99999999999999999999 >"$WORK/big.out" 2>"$WORK/big.err"
status=$?
check "a count beyond the largest long is refused with status 2 (got $status)" [ "$status" -eq 2 ]
check "... with the usage message and no report" eval 'grep -q "^usage: " "$WORK/big.err" && [ ! -s "$WORK/big.out" ]'

echo "$PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
