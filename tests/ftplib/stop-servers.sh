#!/bin/sh
# Stops the peers that start-servers.sh started (by their recorded ids).
state="$1/ftptest"
for f in servers.pid vsftpd.pid; do
  if [ -f "$state/$f" ]; then
    kill "$(cat "$state/$f")" 2>/dev/null || true
    rm -f "$state/$f"
  fi
done
rm -rf "$state"
exit 0
