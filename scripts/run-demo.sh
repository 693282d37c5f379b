#!/usr/bin/env bash
# Installs what is missing, builds, writes the demo project, attaches the
# simulated burner and starts the GUI on it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh

bin="$PWD/build/bin"
demo="$PWD/build/demo"
"$bin/velsend-cli" --dir "$demo" demo

sim_out="$demo/burner-sim.out"
"$bin/velsend-burner-sim" --log "$demo/burner.log" >"$sim_out" &
sim_pid=$!
trap 'kill $sim_pid 2>/dev/null || true' EXIT
for _ in $(seq 50); do
    [ -s "$sim_out" ] && break
    sleep 0.1
done
port=$(head -n 1 "$sim_out")
echo "simulated burner on $port (bytes logged in $demo/burner.log)"

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    # No desktop here: serve the window over VNC instead.
    echo "no display found: connect a VNC viewer to localhost:5900"
    export QT_QPA_PLATFORM="vnc:size=1100x600"
fi
cd "$demo"
VELSEND_PORTS="$port" "$bin/velsend"
