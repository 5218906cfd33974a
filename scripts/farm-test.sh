#!/usr/bin/env bash
# Integration test of `korvane farm`: starts a one-node Slurm cluster on 127.0.0.1 (munged,
# slurmctld and slurmd from Debian's packages, every file of it in a temporary directory), runs
# tests/farm/farm-render-test.sh against it and stops every daemon it started, whatever happens.
# Needs root (slurmd runs the jobs as the submitting user). Installs slurm-wlm and munge when
# they are missing.
#   usage: scripts/farm-test.sh [BUILD_DIR]    (default build; the korvane program is BUILD_DIR/bin/korvane)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=$(realpath "${1:-build}")
korvane="$build_dir/bin/korvane"
startup_timeout=${KORVANE_FARM_STARTUP_TIMEOUT:-60}

say() { echo "farm-test: $*"; }
fail() { echo "farm-test: FAILED: $*" >&2; exit 1; }

[ -x "$korvane" ] || fail "$korvane is missing: build first (make build, or cmake --build $build_dir --target korvane)"
[ "$(id -u)" = 0 ] || fail "the test cluster's slurmd must run as root"

if ! command -v slurmctld >/dev/null || ! command -v slurmd >/dev/null || ! command -v munged >/dev/null ||
    ! command -v sbatch >/dev/null; then
    candidate=$(apt-cache policy slurm-wlm 2>/dev/null | awk '/Candidate:/ { print $2 }')
    if [ -z "$candidate" ] || [ "$candidate" = "(none)" ]; then
        apt-get update >/dev/null || fail "apt-get update failed"
        candidate=$(apt-cache policy slurm-wlm 2>/dev/null | awk '/Candidate:/ { print $2 }')
    fi
    [ -n "$candidate" ] && [ "$candidate" != "(none)" ] || fail "the apt sources offer no slurm-wlm package"
    say "installing slurm-wlm $candidate and munge"
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends slurm-wlm munge >/dev/null ||
        fail "apt-get could not install slurm-wlm and munge"
fi

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
    local seconds=$1; shift
    local deadline=$((SECONDS + seconds))
    until "$@" >/dev/null 2>&1; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.5
    done
}

cluster=$(mktemp -d /tmp/korvane-farm-test.XXXXXX)
chmod 755 "$cluster"
daemons=()
# The processes that hold a file of the test cluster open: the daemons and the job steps slurmd
# started (slurmstepd leaves slurmd's process group, so only its open log file tells it apart).
cluster_processes() {
    local fd
    for fd in /proc/[0-9]*/fd/*; do
        case "$(readlink "$fd" 2>/dev/null)" in "$cluster"/*) fd=${fd#/proc/}; echo "${fd%%/*}" ;; esac
    done | sort -u | grep -vx "$$" || true
}
stop_cluster() {
    local status=$?
    # Jobs first, so that no job step outlives its slurmd.
    if [ -n "${SLURM_CONF:-}" ] && scontrol ping >/dev/null 2>&1; then
        scancel --user="$(id -un)" 2>/dev/null || true
        wait_for 30 sh -c '[ -z "$(squeue --noheader)" ]' || echo "farm-test: jobs still running; killing them" >&2
    fi
    for pid in "${daemons[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${daemons[@]}"; do
        # A daemon that ignores SIGTERM for ten seconds is killed outright.
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
        kill -9 "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    for pid in $(cluster_processes); do kill -9 "$pid" 2>/dev/null || true; done
    if [ "$status" != 0 ]; then
        for log in "$cluster"/*.log; do
            [ -f "$log" ] && { echo "--- $log (last lines)"; tail -n 20 "$log"; }
        done
    fi
    rm -rf "$cluster"
    exit "$status"
}
trap stop_cluster EXIT
trap 'exit 130' INT TERM

say "cluster files in $cluster"
mkdir -p "$cluster/munge" "$cluster/state" "$cluster/spool"
chmod 755 "$cluster/munge"  # clients reach the socket in it
head -c 1024 /dev/urandom >"$cluster/munge/munge.key"
chmod 400 "$cluster/munge/munge.key"
munge_socket="$cluster/munge/munge.socket"
munged --foreground --force --socket="$munge_socket" --key-file="$cluster/munge/munge.key" \
    --pid-file="$cluster/munge/munged.pid" --log-file="$cluster/munged.log" \
    --seed-file="$cluster/munge/munged.seed" 2>>"$cluster/munged.log" &
daemons+=($!)
wait_for "$startup_timeout" sh -c "munge --socket='$munge_socket' -n | unmunge --socket='$munge_socket'" ||
    fail "munged did not answer within ${startup_timeout}s"

# Two ports in an unprivileged range, different for every run so that runs side by side do not meet.
controller_port=$((20000 + RANDOM % 20000))
node_port=$((controller_port + 1))
node=korvane-node
cat >"$cluster/slurm.conf" <<CONF
ClusterName=korvane-farm-test
SlurmctldHost=$(hostname -s)(127.0.0.1)
SlurmctldPort=$controller_port
SlurmdPort=$node_port
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$munge_socket
MpiDefault=none
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
SchedulerType=sched/backfill
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
SlurmdParameters=config_overrides
MinJobAge=600
StateSaveLocation=$cluster/state
SlurmdSpoolDir=$cluster/spool
SlurmctldPidFile=$cluster/slurmctld.pid
SlurmdPidFile=$cluster/slurmd.pid
SlurmctldLogFile=$cluster/slurmctld.log
SlurmdLogFile=$cluster/slurmd.log
NodeName=$node NodeAddr=127.0.0.1 NodeHostname=$node CPUs=$(nproc) State=UNKNOWN
PartitionName=render Nodes=$node Default=YES MaxTime=INFINITE State=UP
CONF
export SLURM_CONF="$cluster/slurm.conf"

slurmctld -D -i -f "$SLURM_CONF" >>"$cluster/slurmctld.log" 2>&1 &
daemons+=($!)
wait_for "$startup_timeout" scontrol ping || fail "slurmctld did not answer within ${startup_timeout}s"
slurmd -D -N "$node" -f "$SLURM_CONF" >>"$cluster/slurmd.log" 2>&1 &
daemons+=($!)
node_idle() { sinfo --noheader --nodes="$node" --format=%t | grep -qx idle; }
wait_for "$startup_timeout" node_idle ||
    fail "node $node is not idle after ${startup_timeout}s: $(sinfo --noheader --format='%t %E' 2>&1)"
say "one-node cluster up (slurmctld on 127.0.0.1:$controller_port)"

bash tests/farm/farm-render-test.sh "$korvane"
