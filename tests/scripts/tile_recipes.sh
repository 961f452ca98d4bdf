#!/usr/bin/env bash
# The README's recipes for a tile set on many machines, run on the real
# engines: GNU parallel on local slots, or Slurm on a one-node cluster this
# script starts itself (munged with its own key, slurmctld and slurmd with a
# generated slurm.conf, all in a scratch folder, stopped however the script
# ends). Both passes run as the recipe has them; every mesh must equal the
# one-process set's byte for byte but for its time line. A daemon that cannot
# start is a failure, never a skip.
# Usage: tile_recipes.sh CONVERTER parallel|slurm
set -euo pipefail
readme=$(cd "$(dirname "$0")/../.." && pwd)/README.md
convert=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
engine=$2
fail() { echo "FAIL: $*" >&2; exit 1; }

work=$(mktemp -d)
pids=()
stop() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap stop EXIT
export HOME=$work/home PATH=$(dirname "$convert"):$PATH
mkdir -p "$HOME" "$work/data/tiles"

# A 61 x 47 grid with holes, cut into 4 x 3 uneven tiles (one row per line).
awk -v dir="$work/data/tiles" 'BEGIN {
  nc = 61; nr = 47; cw = 16; rh = 16
  for (r = 0; r < nr; r++) for (c = 0; c < nc; c++) {
    v = (r * c % 13 == 7) ? -9999 : sprintf("%.3f", 500 + 40 * sin(r * 0.21) * cos(c * 0.17) + r * 0.37 - c * 0.11)
    tr = int(r / rh); tc = int(c / cw); f = sprintf("%s/t_%d_%d.asc", dir, tr, tc)
    row[f, r] = row[f, r] (row[f, r] == "" ? "" : " ") v
    if (!((f, "r0") in first)) { first[f, "r0"] = r; first[f, "c0"] = c }
    last[f, "r"] = r; last[f, "c"] = c; files[f] = 1
  }
  for (f in files) {
    r0 = first[f, "r0"]; c0 = first[f, "c0"]; r1 = last[f, "r"]; c1 = last[f, "c"]
    printf "ncols %d\nnrows %d\nxllcorner %d\nyllcorner %d\ncellsize 5\nNODATA_value -9999\n", c1 - c0 + 1, r1 - r0 + 1,
      300000 + 5 * c0, 4100000 + 5 * (nr - 1 - r1) > f
    for (r = r0; r <= r1; r++) print row[f, r] > f
    close(f)
  }
}'
[ "$(ls "$work/data/tiles" | wc -l)" = 12 ] || fail "the tiles were not cut"

"$convert" "$work/data/tiles" -o "$work/reference" --quiet --offsets || fail "the one-process set did not convert"

# The recipe as the README has it, on this machine's folders and slots, every
# process with the reference's options.
recipe() {
  awk -v name="$1" '$0 ~ "^<!-- recipe: " name " " { on = 1; next } /^<!-- end of recipe/ { on = 0 } on && /^    / {
    print substr($0, 5) }' "$readme" |
    sed -e "s#/data#$work/data#g" -e 's#-S 4/host1,4/host2#-S 2/:#' -e 's#--quiet#--quiet --offsets#'
}
script=$(recipe "$engine")
[ -n "$script" ] || fail "README.md has no $engine recipe"

start_slurm() {
  local s=$work/slurm host
  host=$(hostname -s)
  mkdir -p "$s/state" "$s/spool"
  chmod 700 "$s"
  head -c 1024 /dev/urandom >"$s/munge.key"
  chmod 600 "$s/munge.key"
  munged --force --socket="$s/munge.socket" --key-file="$s/munge.key" --pid-file="$s/munged.pid" \
    --log-file="$s/munged.log" --seed-file="$s/munge.seed" ||
    fail "munged cannot start (run as root with munge installed): $(cat "$s/munged.log" 2>/dev/null)"
  pids+=("$(cat "$s/munged.pid")")
  # Two free ports side by side (a port that answers is taken).
  local port
  for _ in $(seq 20); do
    port=$((20000 + RANDOM % 20000))
    (echo >"/dev/tcp/127.0.0.1/$port") 2>/dev/null || (echo >"/dev/tcp/127.0.0.1/$((port + 1))") 2>/dev/null || break
  done
  cat >"$s/slurm.conf" <<CONF
ClusterName=morvale
SlurmctldHost=$host(127.0.0.1)
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$s/munge.socket
CredType=cred/munge
SlurmctldPort=$port
SlurmdPort=$((port + 1))
StateSaveLocation=$s/state
SlurmdSpoolDir=$s/spool
SlurmctldPidFile=$s/slurmctld.pid
SlurmdPidFile=$s/slurmd.pid
SlurmctldLogFile=$s/slurmctld.log
SlurmdLogFile=$s/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
SchedulerType=sched/builtin
SchedulerParameters=sched_interval=1
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
MpiDefault=none
ReturnToService=2
MinJobAge=600
NodeName=$host NodeAddr=127.0.0.1 CPUs=$(nproc) State=UNKNOWN
PartitionName=local Nodes=$host Default=YES MaxTime=INFINITE State=UP
CONF
  export SLURM_CONF=$s/slurm.conf
  slurmctld -D -i -f "$SLURM_CONF" >"$s/slurmctld.out" 2>&1 &
  pids+=($!)
  slurmd -D -f "$SLURM_CONF" >"$s/slurmd.out" 2>&1 &
  pids+=($!)
  for _ in $(seq 60); do
    if sinfo -h -o %T 2>/dev/null | grep -qx idle; then return 0; fi
    sleep 0.5
  done
  fail "the Slurm daemons did not start: $(tail -5 "$s/slurmctld.log" "$s/slurmd.log" "$s"/*.out 2>&1)"
}

case $engine in
parallel)
  command -v parallel >/dev/null || fail "GNU parallel is not installed"
  (cd "$work" && bash -euo pipefail -c "$script") || fail "the recipe failed"
  [ "$(awk 'NR > 1 && $7 != 0' "$work/data/meshes.log" | wc -l)" = 0 ] || fail "a task failed: $(cat "$work/data/meshes.log")"
  ;;
slurm)
  for tool in munged slurmctld slurmd sbatch; do command -v $tool >/dev/null || fail "$tool is not installed"; done
  start_slurm
  echo "cluster up after ${SECONDS}s"
  jobs=$(cd "$work" && bash -euo pipefail -c "$script") || fail "the recipe failed: $jobs"
  for _ in $(seq 240); do
    [ -z "$(squeue -h -o %i 2>/dev/null)" ] && break
    sleep 0.5
  done
  [ -z "$(squeue -h -o %i)" ] || fail "the jobs did not end within two minutes: $(squeue)"
  states=$(scontrol -o show job | grep -o 'JobState=[A-Z_]*' | sort | uniq -c)
  echo "$states" | grep -qv 'JobState=COMPLETED' && fail "not every task completed: $states"
  [ "$(echo "$states" | awk '{ n += $1 } END { print n }')" = 24 ] || fail "expected 24 tasks: $states"
  ;;
*) fail "unknown engine $engine" ;;
esac

# Every mesh as in the one-process set, its fourth line (the time) aside.
for ref in "$work"/reference/*.obj; do
  got=$work/data/meshes/$(basename "$ref")
  [ -f "$got" ] || fail "$(basename "$ref") was not written"
  cmp -s <(sed 4d "$ref") <(sed 4d "$got") || fail "$(basename "$ref") differs from the one-process set's"
done
[ "$(ls "$work/data/meshes" | wc -l)" = 12 ] || fail "other files among the meshes: $(ls "$work/data/meshes")"
echo "$engine: 12 tiles, both passes, identical to the one-process set"
