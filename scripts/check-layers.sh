#!/usr/bin/env bash
# Checks every #include against the layer table in cmake/Layers.cmake (see cmake/CheckLayers.cmake).
set -euo pipefail
exec cmake -P "$(dirname "$0")/../cmake/CheckLayers.cmake"
