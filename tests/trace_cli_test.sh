#!/usr/bin/env bash
# lbm_trace under hostile conditions: a full disk as standard output, a step
# count too large for its type, arguments it does not take, snapshots that
# cannot be written, links planted in a shared directory (by another user too),
# runs sharing a directory, runs interrupted by a signal, and arguments that
# could drive a terminal.
# usage: trace_cli_test.sh LBM_TRACE
set -u
LBM_TRACE=${1:?path of lbm_trace}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
. "$(dirname "$0")/../scripts/shell_helpers.sh"

"$LBM_TRACE" 20 >/dev/full 2>"$WORK/full.err"
status=$?
check "a full disk ends with status 1 (got $status)" [ "$status" -eq 1 ]
check "the lost reports are said once, with the program's name and the reason" \
    [ "$(grep -c '^lbm_trace: .*No space left on device' "$WORK/full.err")" -eq 1 -a "$(wc -l <"$WORK/full.err")" -eq 1 ]

# Taken as the largest long, the count would run for ages: bounded here.
timeout 10 "$LBM_TRACE" 99999999999999999999 >"$WORK/big.out" 2>"$WORK/big.err"
status=$?
check "a count beyond the largest long is refused with status 2 (got $status)" [ "$status" -eq 2 ]
check "... with the usage message and no report" eval 'grep -q "^usage: " "$WORK/big.err" && [ ! -s "$WORK/big.out" ]'

# Arguments: the options in any order and in both forms; anything else is
# refused with the usage message, status 2 and no report.
"$LBM_TRACE" 3 --every 2 --vtk "$WORK/order1" >/dev/null && "$LBM_TRACE" --every=2 --vtk="$WORK/order2" 3 >/dev/null
check "the options come in any order, as '--vtk DIR' or '--vtk=DIR'" \
    eval '[ "$(ls "$WORK/order1")" = "$(printf "lattice.pvd\nlattice_000000.vti\nlattice_000002.vti\nlattice_000003.vti")" ] &&
          diff -r "$WORK/order1" "$WORK/order2" >/dev/null'
for arguments in "--every 0" "--vtk" "--every 2x 5" "-v 5" "5 6" "--every -1 5"; do
    # shellcheck disable=SC2086
    "$LBM_TRACE" $arguments >"$WORK/bad.out" 2>"$WORK/bad.err"
    status=$?
    check "'$arguments' is refused with status 2 (got $status), the usage message and no report" \
        eval '[ "$status" -eq 2 ] && grep -q "^usage: lbm_trace " "$WORK/bad.err" && [ ! -s "$WORK/bad.out" ]'
done
# An argument echoed in a message is quoted, its control characters shown as
# escapes: it cannot drive the terminal that shows the message.
"$LBM_TRACE" $'\e[31mX' 2>"$WORK/escape.err"
status=$?
"$LBM_TRACE" --vtk "$WORK/missing/"$'\e[31mX' 2 >/dev/null 2>>"$WORK/escape.err"
status2=$?
check "arguments with control characters: status 2 then 1 (got $status, $status2), each echoed as '\\033[31mX', no control character said" \
    eval '[ "$status" -eq 2 ] && [ "$status2" -eq 1 ] && [ "$(grep -cF "'"'"'\\033[31mX'"'"'" "$WORK/escape.err")" -eq 1 ] &&
          grep -qF "'"'"'$WORK/missing/\\033[31mX'"'"'" "$WORK/escape.err" && ! LC_ALL=C grep -q "[[:cntrl:]]" "$WORK/escape.err"'
"$LBM_TRACE" 5 --help >"$WORK/help.out"
status=$?
check "--help prints the usage on standard output, with status 0 (got $status)" \
    eval '[ "$status" -eq 0 ] && grep -q "^Usage: lbm_trace \[--resume FILE\] \[--vtk DIR\] \[--every K\] \[--tau T\]" "$WORK/help.out"'
check "--version prints the program, the package and a version" \
    eval '"$LBM_TRACE" --version | grep -qx "lbm_trace (latticeview) [0-9][0-9.]*"'

# Snapshots that cannot be written: status 1, one message naming the file and
# the reason, reports already printed kept, nothing under a final name that is
# not complete, no temporary file left.
snapshot_failure() {  # NAME REASON LINES DIR STEPS [LIMIT]: lbm_trace --vtk DIR STEPS, files up to LIMIT KiB
    local name=$1 reason=$2 lines=$3 dir=$4 steps=$5 limit=${6:-unlimited}
    # Past the limit, write() fails with EFBIG once the signal it raises is ignored.
    (trap '' XFSZ; ulimit -f "$limit"; exec "$LBM_TRACE" --vtk "$dir" "$steps") >"$WORK/$name.out" 2>"$WORK/$name.err"
    status=$?
    check "$name: status 1 (got $status), one message naming $dir and '$reason'" \
        eval '[ "$status" -eq 1 ] && [ "$(wc -l <"$WORK/$name.err")" -eq 1 ] &&
              grep -q "^lbm_trace: .*$dir.*: $reason\$" "$WORK/$name.err"'
    check "$name: standard output holds the reports printed before the failure ($lines lines), whole" \
        eval 'head -n "$lines" "$PROBE_GOLDEN" | cmp -s - "$WORK/$name.out"'
}
PROBE_GOLDEN=$WORK/probe.txt
"$LBM_TRACE" 2 >"$PROBE_GOLDEN"

snapshot_failure missing_parent "No such file or directory" 0 "$WORK/missing/snapshots" 2
touch "$WORK/regular"
snapshot_failure regular_file "Not a directory" 0 "$WORK/regular" 2

# A write error: files are limited to 200 KiB, less than a snapshot.
snapshot_failure file_size "File too large" 0 "$WORK/limited" 2 200
check "file_size: no file left, complete or not" eval '[ -z "$(ls -A "$WORK/limited")" ]'

# A directory in the way of the snapshot of step 2: steps 0 and 1 are written
# and listed, the reports of steps 1 and 2 printed.
mkdir -p "$WORK/blocked/lattice_000002.vti"
snapshot_failure blocked "Is a directory" 22 "$WORK/blocked" 3
check "blocked: snapshots 0 and 1 are written and listed, the directory kept, no temporary file left" \
    eval '[ -d "$WORK/blocked/lattice_000002.vti" ] && [ "$(ls "$WORK/blocked")" = "$(printf "lattice.pvd\nlattice_000000.vti\nlattice_000001.vti\nlattice_000002.vti")" ] &&
          [ "$(grep -o "file=\"[^\"]*\"" "$WORK/blocked/lattice.pvd" | tr "\n" " ")" = "file=\"lattice_000000.vti\" file=\"lattice_000001.vti\" " ]'

same_files() {  # REFERENCE DIR: every file of REFERENCE is in DIR, with the same bytes
    local file
    for file in "$1"/*; do cmp -s "$file" "$2/${file##*/}" || return 1; done
}

# Links planted in a shared directory by another user, at two final names and
# at the NAME.tmp names that the writer once used for its temporary files:
# nothing is written through them, and the final names are replaced by the
# run's files. (Files planted at the writer's own temporary names, which it
# draws at random: snapshot_test.cpp.)
"$LBM_TRACE" --vtk "$WORK/reference3" 3 >/dev/null
mkdir "$WORK/planted"
echo precious >"$WORK/victim"
for name in lattice.pvd lattice_000000.vti lattice_000001.vti lattice_000002.vti lattice_000003.vti; do
    ln -s "$WORK/victim" "$WORK/planted/$name.tmp"
done
ln -s "$WORK/victim" "$WORK/planted/lattice.pvd"
ln -s "$WORK/victim" "$WORK/planted/lattice_000001.vti"
"$LBM_TRACE" --vtk "$WORK/planted" 3 >/dev/null 2>&1
status=$?
check "planted links: status 0 (got $status), the victim untouched, the final names hold the run's own files" \
    eval '[ "$status" -eq 0 ] && echo precious | cmp -s - "$WORK/victim" && [ ! -L "$WORK/planted/lattice.pvd" ] &&
          same_files "$WORK/reference3" "$WORK/planted" &&
          [ "$(find "$WORK/planted" -name "*.tmp" -type l | wc -l)" -eq 5 ] && [ "$(ls "$WORK/planted" | wc -l)" -eq 10 ]'

# Two users in a sticky directory that anyone can write into (as /tmp): uid 1
# plants, uid 65534 runs a copy of lbm_trace that it can reach.
two_users() {  # why they cannot be, or nothing
    [ "$(id -u)" -eq 0 ] || { echo "not run as root"; return; }
    command -v setpriv >/dev/null || { echo "no setpriv"; return; }
    chmod 711 "$WORK" && mkdir -m 755 "$WORK/users" && cp "$LBM_TRACE" "$WORK/users/lbm_trace" &&
        chmod 755 "$WORK/users/lbm_trace" || { echo "no copy of lbm_trace for them"; return; }
    as_user 65534 "$WORK/users/lbm_trace" --version >/dev/null 2>&1 ||
        echo "uid 65534 cannot run $WORK/users/lbm_trace"
}
as_user() {  # UID COMMAND...
    local uid=$1
    shift
    setpriv --reuid="$uid" --regid="$uid" --clear-groups -- "$@"
}
why_not=$(two_users)
if [ -n "$why_not" ]; then
    echo "skipped: the tests as two users ($why_not)"
else
    USERS=$WORK/users
    # A final name held by the other user's link cannot be replaced: nothing is
    # written through it, and the message says why and what to do.
    mkdir -m 1777 "$USERS/sticky"
    echo precious >"$USERS/victim" && chown 65534:65534 "$USERS/victim"
    as_user 1 ln -s "$USERS/victim" "$USERS/sticky/lattice_000000.vti"
    as_user 65534 "$USERS/lbm_trace" --vtk "$USERS/sticky" 5 >"$WORK/held.out" 2>"$WORK/held.err"
    status=$?
    check "a final name held by another user in a sticky directory: status 1 (got $status), the victim intact, the link kept, no file left, one message naming the file, why and what to do" \
        eval '[ "$status" -eq 1 ] && echo precious | cmp -s - "$USERS/victim" && [ -L "$USERS/sticky/lattice_000000.vti" ] &&
              [ "$(ls -A "$USERS/sticky")" = lattice_000000.vti ] && [ ! -s "$WORK/held.out" ] && [ "$(wc -l <"$WORK/held.err")" -eq 1 ] &&
              grep -qx "lbm_trace: cannot replace '"'"'$USERS/sticky/lattice_000000.vti'"'"': the name is another user'"'"'s, in a shared directory that protects it (.*); write the snapshots into a directory of your own" "$WORK/held.err"'

    # DIR itself as the other user's link, to a directory the runner can
    # write, is refused; the links that Linux's protected_symlinks follows are
    # followed: the runner's own, the directory owner's, and any in a directory
    # that is not sticky.
    mkdir "$USERS/target" && chown 65534:65534 "$USERS/target"
    as_user 1 ln -s "$USERS/target" "$USERS/sticky/snapshots"
    as_user 65534 "$USERS/lbm_trace" --vtk "$USERS/sticky/snapshots/" 2 >"$WORK/planted_dir.out" 2>"$WORK/planted_dir.err"
    status=$?
    mkdir -m 1777 "$USERS/owned" "$USERS/unsticky" && chown 1 "$USERS/owned" && chmod 777 "$USERS/unsticky"
    as_user 65534 ln -s "$USERS/target" "$USERS/sticky/mine"
    as_user 1 ln -s "$USERS/target" "$USERS/owned/snapshots"
    as_user 1 ln -s "$USERS/target" "$USERS/unsticky/snapshots"
    followed=""
    for link in sticky/mine owned/snapshots unsticky/snapshots; do
        as_user 65534 "$USERS/lbm_trace" --vtk "$USERS/$link" 2 >/dev/null 2>&1
        followed+="$? $(ls "$USERS/target" | wc -l) "
        as_user 65534 sh -c "rm -f '$USERS/target'/*"
    done
    check "another user's link as DIR in a sticky directory: status 1 (got $status), nothing written, no report, one message; the links allowed are followed (got $followed)" \
        eval '[ "$status" -eq 1 ] && [ -z "$(ls -A "$USERS/target")" ] && [ ! -s "$WORK/planted_dir.out" ] &&
              [ "$(wc -l <"$WORK/planted_dir.err")" -eq 1 ] &&
              grep -q "^lbm_trace: refusing the directory '"'"'$USERS/sticky/snapshots/'"'"': it is a link of another user'"'"'s" "$WORK/planted_dir.err" &&
              [ "$followed" = "0 4 0 4 0 4 " ]'
fi

# Four runs at once into one directory: all succeed, and the directory ends as
# one run alone leaves it.
"$LBM_TRACE" --vtk "$WORK/reference300" 300 >/dev/null
pids=()
for run in 1 2 3 4; do "$LBM_TRACE" --vtk "$WORK/shared" 300 >/dev/null 2>"$WORK/shared$run.err" & pids+=($!); done
statuses=""
for pid in "${pids[@]}"; do wait "$pid"; statuses+="$? "; done
check "four runs at once: every status 0 (got $statuses), nothing said, the files of one run alone" \
    eval '[ "$statuses" = "0 0 0 0 " ] && cat "$WORK"/shared?.err | cmp -s - /dev/null && diff -r "$WORK/reference300" "$WORK/shared"'

# Runs interrupted while they write snapshots, by SIGINT, SIGTERM, SIGHUP or a
# reader that goes away: the program ends as the signal would have ended it,
# saying nothing, no temporary file is left, and the collection lists every
# snapshot in the directory. (Background jobs of a script start with SIGINT
# ignored; env gives the program the default dispositions.)
for signal in INT TERM HUP PIPE; do
    dir=$WORK/interrupted_$signal
    # A snapshot every 50 steps: a run that went on regardless would end by
    # itself, after 400 snapshots (90 MB), rather than fill the disk.
    if [ "$signal" = PIPE ]; then
        env --default-signal=PIPE "$LBM_TRACE" --vtk "$dir" --every 50 20000 2>"$dir.err" | head -c 90000 >"$dir.out"
        status=${PIPESTATUS[0]}
    else
        env --default-signal="$signal" "$LBM_TRACE" --vtk "$dir" --every 50 20000 >"$dir.out" 2>"$dir.err" &
        pid=$!
        wait_until 30 test -e "$dir/lattice_000050.vti"
        kill -s "$signal" "$pid"
        wait_until 60 eval '! kill -0 "$pid" 2>/dev/null' || kill -s KILL "$pid"
        { wait "$pid"; status=$?; } 2>/dev/null
    fi
    expected=$((128 + $(kill -l "$signal")))
    listed=$(grep -o 'file="[^"]*"' "$dir/lattice.pvd" | sed 's/^file="//; s/"$//')
    check "$signal: status $expected (got $status), nothing said, the collection lists all of the $(ls "$dir" | grep -c '\.vti$') files but itself" \
        eval '[ "$status" -eq "$expected" ] && [ ! -s "$dir.err" ] && [ "$(ls "$dir" | grep -vx lattice.pvd)" = "$listed" ]'
    check "$signal: the reports printed stay printed" \
        eval '"$LBM_TRACE" $(($(wc -l <"$dir.out") / 11 + 1)) | head -c "$(wc -c <"$dir.out")" | cmp -s - "$dir.out"'
done

finish
