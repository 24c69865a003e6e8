#!/usr/bin/env bash
# Sets everything up and runs the product.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh run
cmake -S . -B build -G Ninja
cmake --build build

echo
echo "Built the wire layer (transport/): data blocks, values, the interpreter and the socket connection."
echo "velmora-server and the velmora client are not built yet, so there is nothing to start."
echo "Run ./test.sh to exercise what exists."
