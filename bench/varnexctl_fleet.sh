#!/usr/bin/env bash
# Fleet batches through varnexctl, timed by the batch itself (the summary's
# "in N s", from the first gateway started to the last one ended), apart from
# the Search before and after:
#  - a 64 KiB image to 20 gateways whose every reply comes 2 ms late, one at a
#    time and ten at once;
#  - a backup of 200 gateways, sixteen at once, their MACs given.
# Run inside the project's namespaces: tests/netns/netns-run bench/varnexctl_fleet.sh
set -u
build=${VARNEX_BUILD:-build}
[ -n "${VARNEX_NETNS_B:-}" ] || { echo "run me through tests/netns/netns-run" >&2; exit 77; }
dir=$(mktemp -d)
sim=
trap 'rm -rf "$dir"; [ -n "$sim" ] && kill "$sim" 2>/dev/null' EXIT
macs() { for i in $(seq 1 "$1"); do printf '00-1A-2B-00-%02X-%02X ' $((i / 256)) $((i % 256)); done; }
simulate() {
    [ -n "$sim" ] && { kill "$sim" 2>/dev/null; sleep 0.5; }
    exec 3< <(exec ip netns exec "$VARNEX_NETNS_B" "$build/gateway-sim" --quiet "$@" < <(sleep 600))
    sim=$!
    read -r _ <&3
}
batch_seconds() { sed -n 's/.* in \([0-9.]*\) s$/\1/p' | tail -n 1; }

head -c 65536 /dev/urandom > "$dir/image.bin"
simulate --count 20 --first-mac 00-1A-2B-00-00-01 --fault delay=2
for parallel in 1 10; do
    for run in 1 2 3; do
        t=$("$build/varnexctl" firmware "$dir/image.bin" $(macs 20) --parallel "$parallel" \
            2>&1 >/dev/null | grep ' done, ' | batch_seconds)
        printf 'firmware, 64 KiB to 20 gateways (replies 2 ms late), --parallel %2d, run %d: %s s\n' \
            "$parallel" "$run" "$t"
    done
done

simulate --count 200 --first-mac 00-1A-2B-00-00-01 --ports 4 --lora 4
for run in 1 2 3; do
    rm -f "$dir"/*.json
    start=$(date +%s.%N)
    t=$("$build/varnexctl" backup "$dir" $(macs 200) --parallel 16 --timeout 5 2>&1 >/dev/null |
        grep ' done, ' | batch_seconds)
    end=$(date +%s.%N)
    printf 'backup of 200 gateways, --parallel 16, run %d: %s s for the backups, %.3f s in all (Search included), %d files\n' \
        "$run" "$t" "$(awk "BEGIN { print $end - $start }")" "$(ls "$dir"/*.json | wc -l)"
done
