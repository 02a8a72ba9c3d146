#!/bin/bash
# A long run of the headless monitor over a simulated modem on a
# pseudo-terminal, to see that its memory, descriptors and threads stay
# flat: palvex-headless --interval 1 with the record log, the terminal log
# and the metrics (scraped at every sample) on, palvex-modemsim sending an
# unsolicited line every few seconds and unplugged (stopped, then started
# again on the same link) every few minutes.
#
#   tools/soak.sh [--minutes N] [--unplug-every MINUTES] [--build DIR]
#
# Defaults: 30 minutes, an unplug every 5 minutes, ./build. Every 30 s a
# sample of the monitor's VmRSS, open descriptors and threads goes to
# standard output (and to samples.csv in the run's folder); at the end the
# first, least, largest and last value of each, and how many records the
# log holds. The run's folder (in TMPDIR) is kept and named at the end.
set -euo pipefail

minutes=30
unplug_every=5
build=build
sample_seconds=30
urc_seconds=7
while [ $# -gt 0 ]; do
    case $1 in
    --minutes) minutes=$2; shift 2 ;;
    --unplug-every) unplug_every=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    *) echo "usage: $0 [--minutes N] [--unplug-every MINUTES] [--build DIR]" >&2; exit 2 ;;
    esac
done

work=$(mktemp -d "${TMPDIR:-/tmp}/soak.XXXXXX")
# Copies, so that a build during the run does not change what runs.
cp "$build/app/headless/palvex-headless" "$build/tools/modemsim/palvex-modemsim" "$work/"
link=$work/modem
sim=
monitor=

stop() {
    local pid=$1
    [ -n "$pid" ] || return 0
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

cleanup() {
    stop "$monitor"
    stop "$sim"
    echo "soak: the run's files are in $work" >&2
}
trap cleanup EXIT
trap 'exit 1' INT TERM

start_sim() {
    "$work/palvex-modemsim" --link "$link" --model MC55 --urc-every "$urc_seconds" \
        --exit-after $((minutes * 60 + 300)) </dev/null >>"$work/modemsim.out" 2>&1 &
    sim=$!
    for _ in $(seq 100); do
        [ -e "$link" ] && return 0
        sleep 0.05
    done
    echo "soak: the simulator did not start" >&2
    exit 1
}

start_sim
"$work/palvex-headless" --interval 1 --log "$work/records.jsonl" --terminal "$work/terminal.log" \
    --metrics 127.0.0.1:0 "$link" >/dev/null 2>"$work/headless.err" &
monitor=$!

# The metrics port the monitor chose.
port=
for _ in $(seq 100); do
    port=$(sed -n 's#.*http://127.0.0.1:\([0-9]*\)/metrics.*#\1#p' "$work/headless.err" | head -1)
    [ -n "$port" ] && break
    sleep 0.1
done

scrape() {
    [ -n "$port" ] || return 0
    # The exposition as a scraper reads it; only its size is kept.
    exec 3<>"/dev/tcp/127.0.0.1/$port" || return 0
    printf 'GET /metrics HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n' >&3
    cat <&3 | wc -c
    exec 3<&-
}

echo "seconds,rss_kb,fds,threads,metrics_bytes,records" | tee "$work/samples.csv"
start=$SECONDS
next_unplug=$((unplug_every * 60))
while [ $((SECONDS - start)) -lt $((minutes * 60)) ]; do
    sleep "$sample_seconds"
    elapsed=$((SECONDS - start))
    kill -0 "$monitor" 2>/dev/null || { echo "soak: the monitor ended" >&2; cat "$work/headless.err" >&2; exit 1; }
    rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$monitor/status")
    threads=$(awk '/^Threads:/ { print $2 }' "/proc/$monitor/status")
    fds=$(ls "/proc/$monitor/fd" | wc -l)
    bytes=$(scrape || echo 0)
    records=$(wc -l <"$work/records.jsonl")
    echo "$elapsed,$rss,$fds,$threads,$bytes,$records" | tee -a "$work/samples.csv"
    if [ "$elapsed" -ge "$next_unplug" ]; then
        # Unplugged: the simulator takes its link with it; plugged in
        # again ten seconds later.
        stop "$sim"
        sim=
        sleep 10
        start_sim
        next_unplug=$((next_unplug + unplug_every * 60))
    fi
done

stop "$monitor"
monitor=
awk -F, 'NR == 1 { for (i = 2; i <= NF; ++i) name[i] = $i; next }
         { for (i = 2; i <= NF; ++i) { v = $i + 0
               if (NR == 2) { first[i] = v; min[i] = v; max[i] = v }
               if (v < min[i]) min[i] = v
               if (v > max[i]) max[i] = v
               last[i] = v } }
         END { printf "%-14s %10s %10s %10s %10s\n", "", "first", "min", "max", "last"
               for (i = 2; i <= 4; ++i)
                   printf "%-14s %10d %10d %10d %10d\n", name[i], first[i], min[i], max[i], last[i] }' \
    "$work/samples.csv"
echo "records: $(wc -l <"$work/records.jsonl"), reconnections: $(grep -c port_reconnected "$work/records.jsonl" || true), unsolicited lines in the terminal log: $(grep -c "RING\|+CMTI\|+CREG: 1\|+CLIP\|SYSSTART\|+CGEV\|NO CARRIER" "$work/terminal.log" || true)"
