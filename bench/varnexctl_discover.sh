#!/usr/bin/env bash
# The wall time of `varnexctl discover --timeout 1` against N simulated gateways
# (2,000 unless given), and how many it listed, over 5 runs.
# Run inside the project's namespaces: tests/netns/netns-run bench/varnexctl_discover.sh [N]
set -u
count=${1:-2000}
build=${VARNEX_BUILD:-build}
[ -n "${VARNEX_NETNS_B:-}" ] || { echo "run me through tests/netns/netns-run" >&2; exit 77; }
exec 3< <(ip netns exec "$VARNEX_NETNS_B" "$build/gateway-sim" --quiet --count "$count" < <(sleep 600))
read -r _ <&3  # the simulator's "listening" line
for run in 1 2 3 4 5; do
    start=$(date +%s.%N)
    listed=$("$build/varnexctl" discover --timeout 1 --json 2>/dev/null | grep -c '"mac"')
    end=$(date +%s.%N)
    printf 'varnexctl discover --timeout 1, %d gateways, run %d: %.3f s, %d listed\n' \
        "$count" "$run" "$(awk "BEGIN { print $end - $start }")" "$listed"
done
