#!/usr/bin/env bash
# Schemathesis against a `quarvex serve` of our own on a free local port: no
# answer of 5xx, and every answer as /openapi.json describes it. Batch is left
# out: schemathesis cannot write its newline-delimited bodies.
#   service_fuzz.sh PYTHON [EXAMPLES]
set -euo pipefail
python=$1; examples=${2:-30}
port=$("$python" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$python" -m quarvex serve --port "$port" --max-time-limit 0.2 --deadline 5 2>/dev/null &
server=$!
trap 'kill -TERM $server; wait $server' EXIT
for _ in $(seq 100); do
  "$python" -c "import urllib.request; urllib.request.urlopen('http://127.0.0.1:$port/healthz')" 2>/dev/null && break
  sleep 0.2
done
"$(dirname "$python")/schemathesis" run "http://127.0.0.1:$port/openapi.json" -n "$examples" --seed 1 \
  --exclude-path /v1/batch \
  -c not_a_server_error,status_code_conformance,content_type_conformance,response_schema_conformance,response_headers_conformance
