#!/usr/bin/env bash
# Usage: run_role.sh QZR QZR_CAMSIM SOURCE_DIR
# Runs contrib/ansible's playbook with the role qzr_site locally (-c local)
# against two sites, each a simulated fleet on 127.0.0.1: site-a with three
# cameras, site-b with three and one whose port refuses connections. The
# cameras' password comes from an Ansible Vault file. First a clone, then a
# backup (save) of both sites; checks each merged report (every camera named
# with its site and result, the counts), a camera's new value, the backup
# files fetched to the controller, that the password is on no process's
# command line while the role runs (the simulators' own excepted: they are
# told it with --password) and in none of Ansible's output, and that no
# temporary file is left behind.
# Exit status 77 (skipped) without ansible-playbook.
set -euo pipefail
for program in ansible-playbook ansible-vault python3; do
  if ! command -v "$program" >/dev/null; then
    echo "SKIP: $program not found; install Debian's ansible-core to run the Ansible role test"
    exit 77
  fi
done

qzr=$(realpath "$1")
camsim=$(realpath "$2")
source_dir=$(realpath "$3")

work=$(mktemp -d)
sim_pids=()
scanner_pid=
cleanup() {
  [ -n "$scanner_pid" ] && kill "$scanner_pid" 2>/dev/null
  for pid in "${sim_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  exit 1
}

# A password unique to this run, with a space and quotes that a careless
# hand-over through a shell would break. Looked for whole and by its unique
# tail alone, which stays the same where the password is shown escaped
# (JSON, shell quoting).
tail="$$-$RANDOM-$RANDOM-$RANDOM"
password="qzr pass'\"$tail"
printf '%s\n' "$password" "$tail" >"$work/password-pattern"

# start_fleet NAME CAMERAS [simulator options...]: starts a fleet, sets $port.
start_fleet() {
  local name=$1 cameras=$2
  shift 2
  "$camsim" --port 0 --cameras "$cameras" --password "$password" --no-discovery "$@" \
    >"$work/$name.out" 2>"$work/$name.log" &
  sim_pids+=($!)
  local attempt
  for ((attempt = 0; attempt < 100; ++attempt)); do
    port=$(head -n 1 "$work/$name.out" 2>/dev/null || true)
    [ -n "$port" ] && return 0
    sleep 0.1
  done
  fail "simulator $name printed no port: $(cat "$work/$name.log")"
}
start_fleet site-a 3
port_a=$port
start_fleet site-b 3
port_b=$port
start_fleet refusing 1 --fault refuse
port_refusing=$port

# The file to clone: site-a's first camera's settings with encoder 1 at 15
# frames per second instead of 30 (line 6).
QZR_PASSWORD=$password "$qzr" --host 127.0.0.1 --port "$port_a" save "$work/golden.txt" >/dev/null
sed -i '6s/^30\r$/15\r/' "$work/golden.txt"
[ "$(sed -n '6p' "$work/golden.txt")" = $'15\r' ] || fail "could not set line 6 of the settings file: $(sed -n '6p' "$work/golden.txt")"

# The vault: the password encrypted with a vault password from a file.
head -c 24 /dev/urandom | base64 >"$work/vault-password"
chmod 600 "$work/vault-password"
QZR_TEST_PASSWORD=$password python3 -c \
  'import json, os; print(json.dumps({"qzr_password": os.environ["QZR_TEST_PASSWORD"]}))' >"$work/vault.yml"
ansible-vault encrypt --vault-password-file "$work/vault-password" "$work/vault.yml" >/dev/null 2>&1
if grep -qF -f "$work/password-pattern" "$work/vault.yml"; then
  fail "the vault file holds the password in clear text"
fi

cat >"$work/inventory.yml" <<EOF
qzr_sites:
  hosts:
    site-a:
      qzr_cameras: ["127.0.0.1:$port_a", "127.0.0.1:$((port_a + 1))", "127.0.0.1:$((port_a + 2))"]
    site-b:
      qzr_cameras: ["127.0.0.1:$port_b", "127.0.0.1:$((port_b + 1))", "127.0.0.1:$((port_b + 2))", "127.0.0.1:$port_refusing"]
  vars:
    ansible_connection: local
    ansible_python_interpreter: $(command -v python3)
EOF

# Ansible keeps its own files in the work folder, and reads no configuration
# of the machine's.
mkdir -p "$work/site-tmp" "$work/ansible-home" "$work/ansible-local" "$work/ansible-remote"
export ANSIBLE_CONFIG=$work/no-ansible.cfg ANSIBLE_HOME=$work/ansible-home
export ANSIBLE_LOCAL_TEMP=$work/ansible-local ANSIBLE_REMOTE_TEMP=$work/ansible-remote
export ANSIBLE_NOCOLOR=1 ANSIBLE_RETRY_FILES_ENABLED=0 ANSIBLE_FORCE_COLOR=0

# Every command line on the machine, read over and over while the role runs.
# Hits of the password go to cmdline-hits; qzr-seen proves the scan ran while
# qzr did.
scan_command_lines() {
  local round
  for ((round = 0; round < 4000; ++round)); do
    [ -e "$work/playbook-done" ] && return 0
    grep -l -a -F -f "$work/password-pattern" /proc/[0-9]*/cmdline >>"$work/cmdline-hits" 2>/dev/null || true
    grep -l -a -F -e '--password-file' /proc/[0-9]*/cmdline >>"$work/qzr-seen" 2>/dev/null || true
    sleep 0.01
  done
}
: >"$work/cmdline-hits"
: >"$work/qzr-seen"
scan_command_lines &
scanner_pid=$!

# run_playbook ACTION: the example playbook for both sites; reports in
# $work/reports-ACTION, Ansible's output in $work/ansible-ACTION.out.
run_playbook() {
  local action=$1 status=0
  (cd "$work" && ansible-playbook -vvv -i inventory.yml "$source_dir/contrib/ansible/site.yml" \
    --vault-password-file "$work/vault-password" -e @"$work/vault.yml" -e qzr_action="$action" \
    -e qzr_install=false -e qzr_bin="$qzr" -e qzr_settings_file="$work/golden.txt" -e qzr_jobs=4 \
    -e qzr_report_dir="$work/reports-$action" -e qzr_tmp_parent="$work/site-tmp") \
    >"$work/ansible-$action.out" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    touch "$work/playbook-done"
    cat "$work/ansible-$action.out"
    fail "ansible-playbook for $action ended with exit status $status"
  fi
}

# check_merged ACTION RESULT [FILE]: the merged report names both sites and
# every camera with its site and result: RESULT for the six cameras that
# answer, "failed" for the refusing one; and FILE, the settings file.
check_merged() {
  python3 - "$work/reports-$1/merged.json" "$2" "$port_a" "$port_b" "$port_refusing" "${3-}" <<'EOF' || fail "merged report of $1: see above"
import json, sys
path, result = sys.argv[1], sys.argv[2]
port_a, port_b, refusing, file = int(sys.argv[3]), int(sys.argv[4]), sys.argv[5], sys.argv[6] or None
merged = json.load(open(path, encoding="utf-8"))
problems = []
def expect(what, actual, expected):
    if actual != expected:
        problems.append(f"{what}: {actual!r}, expected {expected!r}")
expected_cameras = [("site-a", f"127.0.0.1:{port_a + k}", result) for k in range(3)] \
    + [("site-b", f"127.0.0.1:{port_b + k}", result) for k in range(3)] \
    + [("site-b", f"127.0.0.1:{refusing}", "failed")]
expect("cameras", [(c.get("site"), c.get("host"), c.get("result")) for c in merged.get("cameras", [])],
       expected_cameras)
failed = [c for c in merged.get("cameras", []) if c.get("result") == "failed"]
if not failed or "Connection refused" not in failed[0].get("error", ""):
    problems.append(f"the refusing camera's error: {failed[0].get('error') if failed else None!r}")
expect("sites", [(s.get("site"), s.get("file"), s.get("cameras"), s.get(result), s.get("failed"))
                 for s in merged.get("sites", [])],
       [("site-a", file, 3, 3, None), ("site-b", file, 4, 3, 1)])
expect("file", merged.get("file"), file)
expect("counts", {key: merged.get(key) for key in (result, "differs", "failed", "sites_without_report")},
       {result: 6, "differs": None, "failed": 1, "sites_without_report": 0})
for problem in problems:
    print("FAIL:", problem)
sys.exit(1 if problems else 0)
EOF
}

run_playbook clone
check_merged clone verified "$work/golden.txt"
# The upload reached the cameras.
framerate=$(QZR_PASSWORD=$password "$qzr" --host 127.0.0.1 --port "$((port_b + 2))" get 'encode(1).framerate')
[ "$framerate" = "encode(1).framerate=15" ] || fail "site-b's last camera reads back '$framerate' after the clone"

# A backup of both sites: each camera's file comes back to the controller and
# holds what was cloned into it.
run_playbook save
check_merged save saved
for site_port in "site-a $port_a" "site-b $port_b"; do
  read -r site first <<<"$site_port"
  for ((camera = first; camera < first + 3; ++camera)); do
    saved=$work/reports-save/$site/127.0.0.1_$camera.txt
    cmp -s "$saved" "$work/golden.txt" || fail "$saved is missing or differs from the file cloned"
  done
done
[ "$(find "$work/reports-save" -name '*.txt' | wc -l)" -eq 6 ] || fail "not exactly 6 settings files came back: $(find "$work/reports-save" -name '*.txt')"

touch "$work/playbook-done"
wait "$scanner_pid" || true
scanner_pid=

# Only the simulators may show the password; the scan must have seen them (it
# reads command lines at all) and qzr itself (it ran while qzr did).
leaks=$(sort -u "$work/cmdline-hits" | while read -r hit; do
  pid=${hit#/proc/}
  pid=${pid%/cmdline}
  [[ " ${sim_pids[*]} " == *" $pid "* ]] || echo "$pid"
done)
[ -z "$leaks" ] || fail "the password was on the command line of process(es) ${leaks//$'\n'/ }"
for pid in "${sim_pids[@]}"; do
  grep -qx "/proc/$pid/cmdline" "$work/cmdline-hits" || fail "the scan never saw simulator $pid's command line"
done
if grep -lF -f "$work/password-pattern" "$work"/ansible-*.out; then
  fail "the password appears in Ansible's output (above)"
fi
[ -s "$work/qzr-seen" ] || fail "the scan never saw qzr running with --password-file"

leftovers=$(find "$work/site-tmp" "$work/ansible-remote" "$work/ansible-local" -mindepth 1 -print)
[ -z "$leftovers" ] || fail "temporary files left behind: $leftovers"

echo "ok: two sites cloned and backed up through the role, reports merged, the password kept off command lines and output"
