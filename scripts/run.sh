#!/usr/bin/env bash
# Sets up, builds, starts the simulated recorder on loopback and then the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build

bin=build/bin
port=${TARNWELL_SIM_PORT:-8080}
sim_pid=
if [[ -x $bin/simrecorder ]]; then
  # TARNWELL_SIM_ARGS: more options for the recorder, e.g. --extra-job-file '/rec/odd/,100'.
  read -r -a sim_args <<<"${TARNWELL_SIM_ARGS:-}"
  "$bin/simrecorder" --host 127.0.0.1 --port "$port" "${sim_args[@]}" &
  sim_pid=$!
  trap 'kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true' EXIT
  echo "Simulated recorder on 127.0.0.1:$port (user admin, password admin)."
fi

if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then
  echo "No display: the program needs one. Start it under a virtual display with" >&2
  echo "  xvfb-run -s '-screen 0 1280x800x24' bash scripts/run.sh" >&2
  exit 1
fi
cd "$bin" && ./Tarnwell
