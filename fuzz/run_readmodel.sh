#!/usr/bin/env bash
# The model-reader fuzz target (see run.sh):  fuzz/run_readmodel.sh [SECONDS] [options]
exec "$(dirname "$0")/run.sh" readmodel "$@"
