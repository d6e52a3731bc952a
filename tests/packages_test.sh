#!/usr/bin/env bash
# ensure_packages of scripts/packages.sh against a stand-in apt-get: a busy
# package lists' lock is waited for (15 minutes at most), any other failure of
# the update ends the install at once, and the install asks dpkg's lock to be
# waited for.
# usage: packages_test.sh SCRIPTS_DIR
set -u
SCRIPTS=${1:?directory of packages.sh}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
. "$(dirname "$0")/../scripts/shell_helpers.sh"

# The stand-in logs its arguments; its update fails LOCKED_UPDATES times with
# apt's lock message, then with UPDATE_ERROR if set, then succeeds.
mkdir "$WORK/bin"
cat >"$WORK/bin/apt-get" <<'EOF'
#!/usr/bin/env bash
echo "$*" >>"$WORK/calls"
if [[ " $* " == *" update "* ]]; then
    count=$(($(cat "$WORK/updates" 2>/dev/null || echo 0) + 1))
    echo "$count" >"$WORK/updates"
    if [ "$count" -le "$LOCKED_UPDATES" ]; then
        echo "E: Could not get lock /var/lib/apt/lists/lock. It is held by process 1 (apt-get)" >&2
        exit 100
    fi
    [ -n "$UPDATE_ERROR" ] && { echo "E: $UPDATE_ERROR" >&2; exit 100; }
fi
exit 0
EOF
chmod +x "$WORK/bin/apt-get"

run() {  # run LOCKED_UPDATES UPDATE_ERROR: ensure_packages of a package that is not installed
    rm -f "$WORK/calls" "$WORK/updates"
    (
        export WORK LOCKED_UPDATES=$1 UPDATE_ERROR=$2 PATH="$WORK/bin:$PATH"
        . "$SCRIPTS/packages.sh"
        id() { echo 0; }      # as root, without sudo
        sleep() { :; }        # the waits between tries
        ensure_packages latticeview-test-no-such-package
    ) >/dev/null 2>&1
}

run 3 ""
status=$?
check "a busy lists lock is waited for: status 0 (got $status)" [ "$status" -eq 0 ]
check "... the update tried 4 times, then one install" \
    [ "$(grep -cw update "$WORK/calls")" -eq 4 -a "$(grep -cw install "$WORK/calls")" -eq 1 ]
check "... the install waits for dpkg's lock" grep -q 'DPkg::Lock::Timeout=[1-9].* install .*latticeview-test-no-such-package' "$WORK/calls"

run 1 "Failed to fetch"
status=$?
check "another failure of the update fails at once (status $status)" [ "$status" -ne 0 ]
check "... after 2 tries, without installing" \
    [ "$(grep -cw update "$WORK/calls")" -eq 2 -a "$(grep -cw install "$WORK/calls")" -eq 0 ]

run 1000 ""
status=$?
check "a lock that stays busy is given up (status $status) after 180 tries of 5 s" \
    [ "$status" -ne 0 -a "$(grep -cw update "$WORK/calls")" -eq 180 ]

finish
