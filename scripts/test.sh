#!/usr/bin/env bash
# Builds Tandrel and runs every test headless (the SDL backend's test runs
# under a virtual X server).
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh" xvfb xauth xdotool imagemagick
cd "$root/build"
ctest --output-on-failure -j "$(nproc)"
