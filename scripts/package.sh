#!/usr/bin/env bash
# Builds the Debian package build/qzr-setting-tool_VERSION_amd64.deb with
# CPack (library dependencies from dpkg-shlibdeps, man pages from help2man).
# Install it with: sudo apt install ./build/qzr-setting-tool_*.deb
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

qzr_install_packages
qzr_build "$QZR_ROOT/build"

cd "$QZR_ROOT/build"
rm -f qzr-setting-tool_*.deb
cpack --config CPackConfig.cmake >cpack.log 2>&1 || { cat cpack.log >&2; exit 1; }
package=$(ls qzr-setting-tool_*.deb)
echo "Package: $QZR_ROOT/build/$package"
