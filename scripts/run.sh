#!/usr/bin/env bash
# The main job: builds the release configuration and shows the shared model at work on this
# user's real settings: the templates as the file manager's menu will list them, and a
# create request for FOLDER (default: the home folder) signed with the shared key and
# verified as the host will verify it.  Usage: scripts/run.sh [FOLDER [TEMPLATE-INDEX]]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh build test bench
cmake --preset release >/dev/null
cmake --build --preset release --target tessary-model >/dev/null
exec build/release/shared/tessary-model "${@:-$HOME}"
