#!/usr/bin/env bash
# Builds the Debian package, installs it with apt (as root, or through sudo) and starts both
# installed programs: the command line prints its version, the window stays up offscreen and keeps
# its settings in the user's configuration folder, since /usr/bin cannot be written.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/setup.sh --package
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DQUILLMARK_BUILD_TESTS=OFF -DQUILLMARK_BUILD_BENCH=OFF
cmake --build build-package -j2
(cd build-package && cpack -G DEB)
deb=$(ls -t build-package/quillmarkbox_*.deb | head -n 1)
dpkg-deb --info "$deb" | sed -n '/Depends/p;/Installed-Size/p'

as_root=()
[[ $(id -u) -ne 0 ]] && as_root=(sudo)
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq "./$deb"

/usr/bin/quillmarkbox-cli --version
/usr/bin/quillmarkbox --version
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
status=0
HOME=$home XDG_CONFIG_HOME= QT_QPA_PLATFORM=offscreen timeout 5 /usr/bin/quillmarkbox --log-dir samples/logs || status=$?
if [[ $status -ne 124 ]]; then
  echo "package-check: the installed window ended with status $status before 5 s" >&2
  exit 1
fi
echo "package-check: $deb installs; both programs start (settings folder: $home/.config/quillmarkbox)"
