#!/bin/sh
# Starts the loopback FTP peers of the FTP library tests (CTest fixture).
# State, roots and ports live in <bin>/ftptest, which the tests under Wine
# read as T:\ftptest.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
state="$1/ftptest"
if [ -f "$state/servers.pid" ]; then "$here/stop-servers.sh" "$1" || true; fi
rm -rf "$state"
mkdir -p "$state/rootVS/sub" "$state/empty"

# vsftpd on a free loopback port, anonymous, read-only, private config.
vsport=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
printf 'hello vsftpd\n' >"$state/rootVS/file one.txt"
head -c 5000 /dev/urandom >"$state/rootVS/sub/data.bin"
# vsftpd cannot build fixtures on request: the front end's are made here.
for kind in listing links names; do
  /usr/bin/python3 "$here/ftp_servers.py" --fixture "$kind" "$state/rootVS/$kind"
done
cat >"$state/vsftpd.conf" <<CONF
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$vsport
background=NO
run_as_launching_user=YES
anonymous_enable=YES
local_enable=NO
no_anon_password=YES
anon_root=$state/rootVS
write_enable=NO
pasv_enable=YES
seccomp_sandbox=NO
xferlog_enable=NO
check_shell=NO
secure_chroot_dir=$state/empty
CONF
if [ ! -x /usr/sbin/vsftpd ]; then
  echo "vsftpd is missing: scripts/install-deps.sh installs it" >&2
  exit 1
fi
setsid /usr/sbin/vsftpd "$state/vsftpd.conf" >"$state/vsftpd.out" 2>&1 </dev/null &
echo $! >"$state/vsftpd.pid"
export VSFTPD_PORT=$vsport

setsid /usr/bin/python3 "$here/ftp_servers.py" "$state" >"$state/servers.out" 2>&1 </dev/null &
echo $! >"$state/servers.pid"
for _ in $(seq 100); do
  [ -f "$state/ports.txt" ] && exit 0
  sleep 0.1
done
echo "FTP test servers did not start" >&2
cat "$state/servers.out" >&2
exit 1
