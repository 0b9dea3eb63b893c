#!/usr/bin/env bash
# Demo: installs what is missing, builds, starts the AC simulator on loopback with the
# sample fleet (sim/fleet.sample with the status fleet sim/fleet.json), runs a few qor
# commands against it (status, configuration, operations) and stops the simulator again.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash scripts/deps.sh
bash scripts/build.sh

work=$(mktemp -d)
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then
    kill "$sim_pid"
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

build/bin/ac_sim --address 127.0.0.1 --port 0 --port-file "$work/port" \
  --fleet sim/fleet.sample --log "$work/wire.log" >"$work/sim.out" 2>&1 &
sim_pid=$!
for _ in $(seq 1 100); do
  [ -s "$work/port" ] && break
  sleep 0.05
done
if [ ! -s "$work/port" ]; then
  echo "demo: the AC simulator did not start" >&2
  cat "$work/sim.out" >&2
  exit 1
fi
port=$(cat "$work/port")
echo "== AC simulator (pid $sim_pid) listening on 127.0.0.1:$port with sim/fleet.sample"

# run [--no-eol] COMMAND OPTIONS...: --no-eol for output that ends without a line end.
run() {
  local shown="" word eol=""
  if [ "$1" = --no-eol ]; then eol=$'\n'; shift; fi
  for word in "$@"; do
    if [[ $word =~ ^[A-Za-z0-9_./:=,-]+$ ]]; then shown+=" $word"; else shown+=" '$word'"; fi
  done
  printf '\n$ qor%s\n' "$shown"
  set +e
  build/bin/qor "$@" --acserver 127.0.0.1 --acport "$port"
  local rc=$?
  set -e
  printf '%s(exit status %d)\n' "$eol" "$rc"
}

# The operator's daily round: the AC, the fleet at a glance, one WTP in detail, the whole
# fleet as JSON (a member: wrapped in braces it is a document), pending upgrades, online count.
run ac
run wtps --breif
run wtps --mac=00:11:22:33:44:55 --no_stainf
printf '\n$ { printf "{"; qor wtps --json; printf "}"; } | python3 -m json.tool | head -n 40\n'
{ printf '{'; build/bin/qor wtps --json --acserver 127.0.0.1 --acport "$port"; printf '}'; } \
  | python3 -m json.tool >"$work/wtps.json"
head -n 40 "$work/wtps.json"
echo "... ($(wc -l <"$work/wtps.json") lines)"
run wtpflag --flag 1
run online

# Configuration: a new WTP on the management list with fixed IP settings, then the shipped
# access-point example applied to the lobby AP; wtps shows both changes.
show_cfg() {
  printf '\n$ { printf "{"; qor wtps --mac=%s --json; printf "}"; } | (name, location, SSIDs)\n' "$1"
  { printf '{'; build/bin/qor wtps --mac="$1" --json --acserver 127.0.0.1 --acport "$port"; printf '}'; } \
    | python3 -c 'import json, sys
c = json.load(sys.stdin)["wtp_list"][0]["wtp_cfg"]
print("name %r, location %r" % (c["name"], c["location"]))
for i, r in enumerate(c.get("radio", [])):
    print("radio %d: data_rate %s, SSIDs %s" % (i, r["data_rate"], [w["ssid"] for w in r["wlan"]]))'
}
run cfg --mac=02:00:00:00:00:01 --add --ip 192.168.10.50/255.255.255.0/192.168.10.1/192.168.10.1
run wtps --breif
show_cfg 00:11:22:33:44:55
run cfg --mac=00:11:22:33:44:55 --file sim/cfg-ap.json
show_cfg 00:11:22:33:44:55

# Operations on WTPs and on the daemon.
run rst --mac=00:11:22:33:44:55 --factory
run sh --mac=00:11:22:33:44:55,00:11:22:33:44:66,00:11:22:33:44:77 --cmd "uname -a"
run rst --mac=00:11:22:33:44:55,00:11:22:33:44:66 --wait 5
run cac --mac=00:11:22:33:44:55 --ip 192.168.10.2
run dbg --enable 1 --wtp --mac=00:11:22:33:44:55
run rst --factory
run upg --mac=00:11:22:33:44:55,00:11:22:33:44:77 --period 600
run --no-eol fwlist --mac=00:11:22:33:44:55,00:11:22:33:44:66,00:11:22:33:44:77
run bgscan --radio 5g --enable 1 --period 300
run kick --mac=00:11:22:33:44:55 --radio 2g --wlan 1 --client 02:aa:bb:cc:dd:01
run mem
run nodc

kill "$sim_pid"
wait "$sim_pid" 2>/dev/null || true
sim_pid=""
echo
echo "== what the simulator saw"
cat "$work/sim.out"
echo
echo "== wire log (hex, one block per connection)"
cat "$work/wire.log"
