#!/usr/bin/env bash
# Usage: run_role.sh QZR QZR_CAMSIM SOURCE_DIR
# Runs contrib/ansible's playbook with the role qzr_site locally (-c local)
# against two sites, each a simulated fleet on 127.0.0.1: site-a with three
# cameras and a fourth of its own simulator on 127.0.0.2 (stopped later),
# site-b with three and one whose port refuses connections. The cameras'
# password comes from an Ansible Vault file; the fourth camera of site-a has
# a password of its own, given in the vault's qzr_camera_credentials. In turn:
#   1. clone: every camera named in the merged report, a camera's new value,
#      changed at both sites, the play failed by the refusing camera;
#   2. diff (qzr_fail_on_camera_failure false): no changed, play succeeds;
#   3. clone --check with another file: no camera value and no report file
#      replaced, the audit's report says what the clone would change;
#   4. save: every camera's file back on the controller; save --check says
#      what it would do and writes nothing;
#   5. save with site-a's fourth camera stopped and site-b's qzr missing:
#      the play fails, the camera's earlier file and site-b's earlier files
#      are kept byte for byte, the merged report names both;
#   6. site-b's PC unreachable, site-a's stopped camera off its list and the
#      option false: the play succeeds, site-b named, the camera's earlier
#      file kept in the backup folder but not reported as this run's.
# Throughout: no password is on any process's command line while the role
# runs (the simulators' own excepted: they are told it with --password) or
# in any of Ansible's output, qzr is given --netrc-file, and no temporary
# file (the netrc file among them) is left behind.
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
# The fourth camera's own: a backslash and quotes that the netrc file must
# carry as they are.
own_password="own \\ \"$tail\" x"
printf '%s\n' "$password" "$own_password" "$tail" >"$work/password-pattern"

# start_fleet NAME CAMERAS [PASSWORD [simulator options...]]: starts a fleet,
# sets $port and $pid.
start_fleet() {
  local name=$1 cameras=$2 camera_password=${3-$password}
  shift $(($# < 3 ? $# : 3))
  "$camsim" --port 0 --cameras "$cameras" --password "$camera_password" --no-discovery "$@" \
    >"$work/$name.out" 2>"$work/$name.log" &
  pid=$!
  sim_pids+=("$pid")
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
start_fleet fragile 1 "$own_password" --address 127.0.0.2
port_fragile=$port
fragile_pid=$pid
start_fleet site-b 3
port_b=$port
start_fleet refusing 1 "$password" --fault refuse
port_refusing=$port
export PORT_A=$port_a PORT_B=$port_b PORT_FRAGILE=$port_fragile PORT_REFUSING=$port_refusing

# A loopback port nothing listens on: site-b's PC, unreachable, in run 6.
closed_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

# The file to clone: site-a's first camera's settings with encoder 1's I-frame
# interval (line 6) at 15 instead of 30; the file of the dry run has 10.
QZR_PASSWORD=$password "$qzr" --host 127.0.0.1 --port "$port_a" save "$work/golden.txt" >/dev/null
sed -i '6s/^30\r$/15\r/' "$work/golden.txt"
[ "$(sed -n '6p' "$work/golden.txt")" = $'15\r' ] || fail "could not set line 6 of the settings file: $(sed -n '6p' "$work/golden.txt")"
sed '6s/^15\r$/10\r/' "$work/golden.txt" >"$work/golden-check.txt"

# iframe_interval PORT: encoder 1's I-frame interval as the camera reads it back.
iframe_interval() {
  QZR_PASSWORD=$password "$qzr" --host 127.0.0.1 --port "$1" get 'encode(1).iframeinterval'
}

# The vault: the password encrypted with a vault password from a file.
head -c 24 /dev/urandom | base64 >"$work/vault-password"
chmod 600 "$work/vault-password"
QZR_TEST_PASSWORD=$password QZR_TEST_OWN_PASSWORD=$own_password python3 -c \
  'import json, os; print(json.dumps({"qzr_password": os.environ["QZR_TEST_PASSWORD"],
                                      "qzr_camera_credentials": [{"host": "127.0.0.2",
                                                                  "password": os.environ["QZR_TEST_OWN_PASSWORD"]}]}))' \
  >"$work/vault.yml"
ansible-vault encrypt --vault-password-file "$work/vault-password" "$work/vault.yml" >/dev/null 2>&1
if grep -qF -f "$work/password-pattern" "$work/vault.yml"; then
  fail "the vault file holds the password in clear text"
fi

# write_inventory FILE [SITE_B_VARIABLES [SITE_A_LAST_CAMERA]]: both sites;
# the extra lines go to site-b's host variables; site-a's fourth camera is
# left out where SITE_A_LAST_CAMERA is empty.
write_inventory() {
  local last_camera=", \"127.0.0.2:$port_fragile\""
  [ $# -lt 3 ] || last_camera=$3
  cat >"$1" <<EOF
qzr_sites:
  hosts:
    site-a:
      qzr_cameras: ["127.0.0.1:$port_a", "127.0.0.1:$((port_a + 1))", "127.0.0.1:$((port_a + 2))"$last_camera]
    site-b:
      qzr_cameras: ["127.0.0.1:$port_b", "127.0.0.1:$((port_b + 1))", "127.0.0.1:$((port_b + 2))", "127.0.0.1:$port_refusing"]
${2-}
  vars:
    ansible_connection: local
    ansible_python_interpreter: $(command -v python3)
    qzr_bin: $qzr
EOF
}
write_inventory "$work/inventory.yml"
write_inventory "$work/inventory-no-qzr.yml" "      qzr_bin: $work/no-such-folder/qzr"
write_inventory "$work/inventory-unreachable.yml" "      ansible_connection: ssh
      ansible_host: 127.0.0.1
      ansible_port: $closed_port
      ansible_ssh_common_args: -F /dev/null -o BatchMode=yes -o ConnectTimeout=5" ""

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
  for ((round = 0; round < 30000; ++round)); do
    [ -e "$work/playbook-done" ] && return 0
    grep -l -a -F -f "$work/password-pattern" /proc/[0-9]*/cmdline >>"$work/cmdline-hits" 2>/dev/null || true
    grep -l -a -F -e '--password-file' /proc/[0-9]*/cmdline >>"$work/qzr-seen" 2>/dev/null || true
    grep -l -a -F -e '--netrc-file' /proc/[0-9]*/cmdline >>"$work/netrc-seen" 2>/dev/null || true
    sleep 0.01
  done
}
: >"$work/cmdline-hits"
: >"$work/qzr-seen"
: >"$work/netrc-seen"
scan_command_lines &
scanner_pid=$!

# run_playbook NAME STATUS INVENTORY ACTION REPORT_DIR [ansible-playbook options...]:
# the example playbook for both sites, which must end with exit status
# STATUS; Ansible's output in $work/ansible-NAME.out.
run_playbook() {
  local name=$1 expected=$2 inventory=$3 action=$4 report_dir=$5 status=0
  shift 5
  (cd "$work" && ansible-playbook -vvv -i "$inventory" "$source_dir/contrib/ansible/site.yml" \
    --vault-password-file "$work/vault-password" -e @"$work/vault.yml" -e qzr_action="$action" \
    -e qzr_install=false -e qzr_settings_file="$work/golden.txt" -e qzr_jobs=4 \
    -e qzr_report_dir="$report_dir" -e qzr_tmp_parent="$work/site-tmp" "$@") \
    >"$work/ansible-$name.out" 2>&1 || status=$?
  if [ "$status" -ne "$expected" ]; then
    touch "$work/playbook-done"
    cat "$work/ansible-$name.out"
    fail "ansible-playbook for $name ended with exit status $status, expected $expected"
  fi
}

# check_recap NAME SITE CHANGED FAILED: the play recap's counts for SITE.
check_recap() {
  local line
  line=$(grep -E "^$2 +: ok=" "$work/ansible-$1.out") || fail "$1: no recap line for $2"
  [[ "$line" =~ changed=([0-9]+).*failed=([0-9]+) ]] || fail "$1: unreadable recap line: $line"
  [ "${BASH_REMATCH[1]} ${BASH_REMATCH[2]}" = "$3 $4" ] \
    || fail "$1: $2 has changed=${BASH_REMATCH[1]} failed=${BASH_REMATCH[2]}, expected changed=$3 failed=$4: $line"
}

# snapshot PATH...: every file and folder under PATH with its inode, size,
# modification time and checksum; a file replaced, even by the same bytes,
# shows.
snapshot() {
  find "$@" -printf '%p %y %i %s %T@\n' | sort
  find "$@" -type f -exec sha256sum {} + | sort
}

# no_fresh_folders DIR: no run left its fresh folder (.SITE.new) behind.
no_fresh_folders() {
  local left
  left=$(find "$1" -name '.*' -print)
  [ -z "$left" ] || fail "left in $1: $left"
}

# same_json FILE1 FILE2: both hold the same JSON value.
same_json() {
  python3 -c 'import json, sys; sys.exit(json.load(open(sys.argv[1])) != json.load(open(sys.argv[2])))' "$1" "$2"
}

# check_merged RUN PATH [REASON]: the merged report at PATH as run RUN must
# give it, every camera with its site and result; REASON: what site-b's
# failure must say.
check_merged() {
  python3 - "$@" <<'EOF' || fail "merged report of $1: see above"
import json, os, re, sys
run, path = sys.argv[1], sys.argv[2]
reason = sys.argv[3] if len(sys.argv) > 3 else None
port_a, port_b = int(os.environ["PORT_A"]), int(os.environ["PORT_B"])
fragile, refusing = os.environ["PORT_FRAGILE"], os.environ["PORT_REFUSING"]
merged = json.load(open(path, encoding="utf-8"))
problems = []
def expect(what, actual, expected):
    if actual != expected:
        problems.append(f"{what}: {actual!r}, expected {expected!r}")
ISO_TIME = re.compile(r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d")
result = {"clone": "verified", "diff": "equal", "check": "differs"}.get(run, "saved")
file = {"clone": "golden.txt", "diff": "golden.txt", "check": "golden-check.txt"}.get(run)
site_a = [f"127.0.0.1:{port_a + k}" for k in range(3)]
site_b = [f"127.0.0.1:{port_b + k}" for k in range(3)]
cameras = {(c.get("site"), c.get("host")): c for c in merged.get("cameras", [])}
if run in ("clone", "diff", "check", "save"):
    expect("cameras", [(c.get("site"), c.get("host"), c.get("result")) for c in merged.get("cameras", [])],
           [("site-a", host, result) for host in site_a + [f"127.0.0.2:{fragile}"]]
           + [("site-b", host, result) for host in site_b] + [("site-b", f"127.0.0.1:{refusing}", "failed")])
    refused = cameras.get(("site-b", f"127.0.0.1:{refusing}"), {})
    if "Connection refused" not in refused.get("error", ""):
        problems.append(f"the refusing camera's error: {refused.get('error')!r}")
    expect("sites", [(s.get("site"), os.path.basename(s.get("file", "-")), s.get("cameras"), s.get(result),
                      s.get("failed"), s.get("error")) for s in merged.get("sites", [])],
           [("site-a", file or "-", 4, 4, None, None), ("site-b", file or "-", 4, 3, 1, None)])
    expect("counts", {key: merged.get(key) for key in (result, "failed", "failed_sites", "sites_without_report")},
           {result: 7, "failed": 1, "failed_sites": [], "sites_without_report": 0})
else:
    # Site-b did not run through; site-a's fourth camera failed (save-failed)
    # or is no longer in its list (save-unreachable): its earlier file stays
    # in the folder's index, not in the report.
    dropped = run == "save-unreachable"
    fourth = [] if dropped else [("site-a", f"127.0.0.2:{fragile}", "failed")]
    expect("cameras", [(c.get("site"), c.get("host"), c.get("result")) for c in merged.get("cameras", [])],
           [("site-a", host, "saved") for host in site_a] + fourth)
    folder = os.path.dirname(path)
    index = json.load(open(os.path.join(folder, "site-a", "index.json"), encoding="utf-8"))
    report = json.load(open(os.path.join(folder, "site-a.json"), encoding="utf-8"))
    expect("site-a's index", [(c.get("host"), c.get("result")) for c in index.get("cameras", [])],
           [(host, "saved") for host in site_a] + [(f"127.0.0.2:{fragile}", "failed")])
    camera = index["cameras"][-1] if len(index.get("cameras", [])) == 4 else {}
    expect("the stopped camera's earlier file",
           (camera.get("file"), camera.get("earlier_file"), bool(ISO_TIME.match(str(camera.get("file_time"))))),
           (f"127.0.0.2_{fragile}.txt", True, True))
    if not dropped:
        expect("the stopped camera in the merged report", cameras.get(("site-a", f"127.0.0.2:{fragile}")),
               dict(camera, site="site-a"))
    expect("site-a's report", report,
           dict(index, cameras=index["cameras"][:3], saved=3, failed=0) if dropped else index)
    sites = merged.get("sites", [])
    expect("site-a", [(s.get("cameras"), s.get("saved"), s.get("failed"), s.get("error")) for s in sites[:1]],
           [(3, 3, None, None)] if dropped else [(4, 3, 1, None)])
    b = sites[1] if len(sites) == 2 else {}
    expect("site-b", (b.get("site"), b.get("failed_this_run"), b.get("earlier_files"), b.get("cameras"),
                      bool(ISO_TIME.match(str(b.get("earlier_report_time"))))),
           ("site-b", True, ["site-b.json", "site-b/"], None, True))
    if reason not in str(b.get("error")):
        problems.append(f"site-b's error {b.get('error')!r} does not say {reason!r}")
    expect("counts", {key: merged.get(key) for key in ("saved", "failed", "failed_sites", "sites_without_report")},
           {"saved": 3, "failed": None if dropped else 1, "failed_sites": ["site-b"], "sites_without_report": 1})
if run == "check":
    expect("check_mode", merged.get("check_mode"), True)
    for (site, host), camera in cameras.items():
        if camera.get("result") == "differs":
            expect(f"{host}'s differences", camera.get("differences"),
                   [{"line": 6, "setting": "encode(1).iframeinterval", "file": "10", "camera": "15"}])
else:
    expect("check_mode", merged.get("check_mode"), None)
if run.startswith("save"):
    for (site, host), camera in cameras.items():
        if camera.get("result") == "saved":
            expect(f"{host}'s file", camera.get("file"), host.replace(":", "_") + ".txt")
for problem in problems:
    print("FAIL:", problem)
sys.exit(1 if problems else 0)
EOF
}

# 1. Clone: the upload reaches the cameras; both sites wrote cameras; the
# refusing camera fails the play (qzr_fail_on_camera_failure by default).
run_playbook clone 2 inventory.yml clone "$work/reports-clone"
check_merged clone "$work/reports-clone/merged.json"
[ "$(iframe_interval "$((port_b + 2))")" = "encode(1).iframeinterval=15" ] \
  || fail "site-b's last camera reads back '$(iframe_interval "$((port_b + 2))")' after the clone"
check_recap clone site-a 1 0
check_recap clone site-b 1 1
grep -q "Failed at site-b .*127.0.0.1:$port_refusing failed" "$work/ansible-clone.out" \
  || fail "the clone's failure does not name the refusing camera"

# 2. Diff reads only: nothing changed; with the option false the refusing
# camera is named but the play goes through.
run_playbook diff 0 inventory.yml diff "$work/reports-diff" -e qzr_fail_on_camera_failure=false
check_merged diff "$work/reports-diff/merged.json"
check_recap diff site-a 0 0
check_recap diff site-b 0 0

# 3. A dry run of a clone with another file: no camera written, nothing in the
# reports folder replaced; its own report says what would change.
before=$(snapshot "$work/reports-clone")
run_playbook check 0 inventory.yml clone "$work/reports-clone" --check \
  -e qzr_settings_file="$work/golden-check.txt" -e qzr_fail_on_camera_failure=false
[ "$(snapshot "$work/reports-clone")" = "$before" ] || fail "the dry run changed the reports folder"
[ "$(iframe_interval "$port_a")" = "encode(1).iframeinterval=15" ] \
  || fail "site-a's first camera reads back '$(iframe_interval "$port_a")' after the dry run"
check_merged check "$work/reports-clone-check/merged.json"
check_recap check site-a 1 0
check_recap check site-b 1 0
no_fresh_folders "$work/reports-clone-check"

# 4. A backup of both sites: each camera's file comes back to the controller
# and holds what was cloned into it; the backup folder keeps its index.
run_playbook save 0 inventory.yml save "$work/reports-save" -e qzr_fail_on_camera_failure=false
check_merged save "$work/reports-save/merged.json"
for camera in "site-a 127.0.0.1 $port_a" "site-a 127.0.0.1 $((port_a + 1))" "site-a 127.0.0.1 $((port_a + 2))" \
              "site-a 127.0.0.2 $port_fragile" "site-b 127.0.0.1 $port_b" "site-b 127.0.0.1 $((port_b + 1))" \
              "site-b 127.0.0.1 $((port_b + 2))"; do
  read -r site camera_address camera_port <<<"$camera"
  saved=$work/reports-save/$site/${camera_address}_$camera_port.txt
  cmp -s "$saved" "$work/golden.txt" || fail "$saved is missing or differs from the file cloned"
done
[ "$(find "$work/reports-save" -name '*.txt' | wc -l)" -eq 7 ] || fail "not exactly 7 settings files came back: $(find "$work/reports-save" -name '*.txt')"
for site in site-a site-b; do
  same_json "$work/reports-save/$site/index.json" "$work/reports-save/$site.json" || fail "$site's index.json is not its report"
done
check_recap save site-a 0 0
check_recap save site-b 0 0
fragile_file=$work/reports-save/site-a/127.0.0.2_$port_fragile.txt
cp -p "$fragile_file" "$work/fragile-earlier.txt"
site_b_before=$(snapshot "$work/reports-save/site-b.json" "$work/reports-save/site-b")

# A dry run of the backup only says what it would do: nothing written.
before=$(snapshot "$work/reports-save")
run_playbook save-check 0 inventory.yml save "$work/reports-save" --check
[ "$(snapshot "$work/reports-save")" = "$before" ] || fail "the backup's dry run changed the reports folder"
[ ! -e "$work/reports-save-check" ] || fail "the backup's dry run wrote $(find "$work/reports-save-check")"
grep -q "qzr save would back up 4 camera(s) (127.0.0.1:$port_a, .*) with $qzr into $work/reports-save/site-a/" \
  "$work/ansible-save-check.out" || fail "the backup's dry run does not say what it would do"
check_recap save-check site-a 0 0

# check_backup_kept RUN: after a backup where site-a's fourth camera and site-b
# failed (or the camera was left out), the camera's earlier file and site-b's
# earlier files are there as they were; site-a's other cameras were saved
# again.
check_backup_kept() {
  cmp -s "$fragile_file" "$work/fragile-earlier.txt" || fail "$1: the stopped camera's earlier file was not kept"
  [ "$(snapshot "$work/reports-save/site-b.json" "$work/reports-save/site-b")" = "$site_b_before" ] \
    || fail "$1: site-b's earlier files were not kept as they were"
  for ((camera = port_a; camera < port_a + 3; ++camera)); do
    cmp -s "$work/reports-save/site-a/127.0.0.1_$camera.txt" "$work/golden.txt" || fail "$1: site-a's camera $camera has no file"
  done
  no_fresh_folders "$work/reports-save"
}

# 5. Site-a's fourth camera stopped, site-b's qzr missing: the play fails at
# both sites, nothing earlier is lost.
kill "$fragile_pid"
wait "$fragile_pid" 2>/dev/null || true
run_playbook save-failed 2 inventory-no-qzr.yml save "$work/reports-save"
check_merged save-failed "$work/reports-save/merged.json" "exit status 2 and no report"
check_backup_kept save-failed
check_recap save-failed site-a 0 1
check_recap save-failed site-b 0 1

# 6. Site-b's PC unreachable, site-a's fourth camera taken off its list, the
# option false: the play goes through, site-b named; the camera's file stays
# in the backup folder and its index, out of the report.
run_playbook save-unreachable 0 inventory-unreachable.yml save "$work/reports-save" -e qzr_fail_on_camera_failure=false
check_merged save-unreachable "$work/reports-save/merged.json" "unreachable"
check_backup_kept save-unreachable
check_recap save-unreachable site-a 0 0
check_recap save-unreachable site-b 0 0
grep -q "Failed at site-b .*unreachable" "$work/ansible-save-unreachable.out" \
  || fail "the output does not name site-b's failure"

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
[ -s "$work/netrc-seen" ] || fail "the scan never saw qzr running with --netrc-file"

leftovers=$(find "$work/site-tmp" "$work/ansible-remote" "$work/ansible-local" -mindepth 1 -print)
[ -z "$leftovers" ] || fail "temporary files left behind: $leftovers"

echo "ok: two sites cloned, audited, dry-run and backed up through the role; failures kept earlier files and failed the play; the password kept off command lines and output"
