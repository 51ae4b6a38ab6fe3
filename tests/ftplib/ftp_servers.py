#!/usr/bin/python3
"""Loopback FTP peers for the FTP library tests.

Runs in one process: three pyftpdlib servers (A, B and the slow C, user
tester/secret) with
scriptable faults, and a scripted firewall peer. Ports go to <state>/ports.txt,
every command each server receives to <state>/<name>.log.

Faults, switched on through SITE commands on A or B:
  SITE DROPAFTER n   the next RETR drops the whole connection after n bytes
  SITE SILENT        the next command gets no answer
  SITE SAY421        the next command is answered 421 and the connection closes
  SITE LONGLINE      a reply whose first line is 6000 characters long
  SITE NOREST        the next REST is refused (502)
Test questions:
  SITE MODEOF path   "200 " and the octal mode of the file as Linux has it
Fixtures the program cannot make under Wine (names with quotes and <>,
symbolic links), built by the server itself:
  SITE FIXTURE find path      a tree for FTP Find, with link loops
  SITE FIXTURE listing path   one folder of 10,000 files, odd names and links
  SITE FIXTURE links path     links to a file, to a folder and to nothing
  SITE FIXTURE names path     UTF-8 names, one with no Western form
`ftp_servers.py --fixture kind folder` builds one for vsftpd's root.
A folder that holds a file ".listing" is listed as that file's text.
"""
import os
import shutil
import socket
import sys
import threading
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.ioloop import IOLoop
from pyftpdlib.servers import FTPServer

STATE = sys.argv[1] if sys.argv[1] != "--fixture" else None


class State:
    drop_after = {}
    silent = {}
    say421 = {}
    norest = {}


class CutFile:
    """File whose reads end the connection once the budget is spent."""

    def __init__(self, real, handler, budget):
        self.real, self.handler, self.budget = real, handler, budget
        self.name = real.name
        self.closed = False

    def read(self, size=-1):
        if self.budget <= 0:
            # Control and data go down together, mid-transfer.
            try:
                self.handler.close()
            except Exception:
                pass
            return b""
        n = self.budget if size is None or size < 0 else min(size, self.budget)
        data = self.real.read(n)
        self.budget -= len(data)
        return data

    def seek(self, *a):
        return self.real.seek(*a)

    def tell(self):
        return self.real.tell()

    def close(self):
        self.closed = True
        self.real.close()

    def __getattr__(self, name):
        return getattr(self.real, name)


class FaultFS(AbstractedFS):
    def open(self, filename, mode):
        f = super().open(filename, mode)
        h = self.cmd_channel
        key = h.server_name
        budget = State.drop_after.pop(key, None)
        if budget is not None and "r" in mode:
            return CutFile(f, h, budget)
        return f


def make_handler(name):
    log_path = os.path.join(STATE, name + ".log")

    class Handler(FTPHandler):
        server_name = name
        abstracted_fs = FaultFS
        permit_foreign_addresses = True
        use_sendfile = False
        banner = "Test server %s ready." % name

        proto_cmds = dict(FTPHandler.proto_cmds)
        for verb in ("DROPAFTER", "SILENT", "SAY421", "LONGLINE", "NOREST", "MODEOF", "FIXTURE"):
            proto_cmds["SITE " + verb] = dict(perm=None, auth=False, arg=None, help="test fault")

        def pre_process_command(self, line, cmd, arg):
            with open(log_path, "a") as log:
                log.write(line + "\n")
            if not cmd.startswith("SITE") and State.silent.pop(name, False):
                return
            if not cmd.startswith("SITE") and State.say421.pop(name, False):
                self.respond("421 Service not available, closing control connection.")
                self.close_when_done()
                return
            if cmd == "REST" and State.norest.pop(name, False):
                self.respond("502 REST refused for the test.")
                return
            return super().pre_process_command(line, cmd, arg)

        def ftp_SITE_DROPAFTER(self, arg):
            State.drop_after[name] = int(arg)
            self.respond("200 ok")

        def ftp_SITE_SILENT(self, arg):
            State.silent[name] = True
            self.respond("200 ok")

        def ftp_SITE_SAY421(self, arg):
            State.say421[name] = True
            self.respond("200 ok")

        def ftp_SITE_NOREST(self, arg):
            State.norest[name] = True
            self.respond("200 ok")

        def ftp_SITE_MODEOF(self, arg):
            try:
                mode = os.lstat(self.fs.ftp2fs(arg)).st_mode & 0o7777
            except (OSError, AttributeError) as e:
                self.respond("550 %s" % e)
                return
            self.respond("200 %04o" % mode)

        def ftp_SITE_FIXTURE(self, arg):
            kind, _, path = arg.partition(" ")
            try:
                folder = self.fs.ftp2fs(path)
                build_fixture(kind, folder)
            except Exception as e:
                self.respond("550 %s" % e)
                return
            self.respond("200 built")

        def ftp_SITE_LONGLINE(self, arg):
            self.push("200-" + "x" * 6000 + "\r\n")
            self.respond("200 done")

        def ftp_LIST(self, path):
            canned = os.path.join(path, ".listing")
            if os.path.isdir(path) and os.path.isfile(canned):
                with open(canned, "rb") as f:
                    data = f.read()
                self.push_dtp_data(data, isproducer=False, cmd="LIST")
                return path
            return super().ftp_LIST(path)

    return Handler


# Every stamp of a fixture: old enough that listings give the year, not the
# time, in every time zone.
FIXTURE_TIME = 1577966400  # 2020-01-02 12:00 UTC


def build_fixture(kind, folder):
    # Afresh: a test run that ended early may have left one (with links the
    # test cannot remove from its side).
    if os.path.lexists(folder):
        shutil.rmtree(folder)
    os.makedirs(folder, exist_ok=True)
    if kind == "find":
        files = {"a b.txt": b"hello", 'x"q.txt': b"abc", "a<b>&c.txt": b"1",
                 "semi;colon.txt": b"12", "Gr\u00fc\u00dfe.txt": b"1234",
                 os.path.join("sub dir", "deep.txt"): b"123456",
                 os.path.join("sub dir", "other.dat"): b"1234567"}
        links = {"loop": ".", os.path.join("sub dir", "back"): ".."}
    elif kind == "listing":
        files = {"n%d" % i: b"" for i in range(10000)}
        files.update({"name with blanks.txt": b"12345", "Gr\u00fc\u00dfe.txt": b"1234",
                      os.path.join("Neuer Ordner", "inside"): b"1"})
        links = {"link to file": "name with blanks.txt", "link to folder": "."}
    elif kind == "links":
        files = {"real.txt": b"12345", os.path.join("sub", "inner.txt"): b"abc"}
        links = {"to file": "real.txt", "to folder": ".", "to nothing": "gone.txt"}
    elif kind == "names":
        # "Zhuk" in Cyrillic has no form in a Western code page; the
        # decoy has the name that form would take, and other bytes.
        files = {"Gr\u00fc\u00dfe.txt": b"1234", "\u0416\u0443\u043a.txt": b"beetle",
                 "???.txt": b"decoy", os.path.join("\u041f\u0430\u043f\u043a\u0430", "in.txt"): b"x"}
        links = {}
    else:
        raise ValueError("no fixture " + kind)
    for name, data in files.items():
        path = os.path.join(folder, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        os.utime(path, (FIXTURE_TIME, FIXTURE_TIME))
    for name, target in links.items():
        os.symlink(target, os.path.join(folder, name))
        os.utime(os.path.join(folder, name), (FIXTURE_TIME, FIXTURE_TIME), follow_symlinks=False)
    for root, dirs, _ in os.walk(folder):
        for d in dirs:
            os.utime(os.path.join(root, d), (FIXTURE_TIME, FIXTURE_TIME))


def start_server(name, ioloop, limit=0):
    root = os.path.join(STATE, "root" + name)
    os.makedirs(root, exist_ok=True)
    auth = DummyAuthorizer()
    auth.add_user("tester", "secret", root, perm="elradfmwMT")
    handler = make_handler(name)
    handler.authorizer = auth
    if limit:
        # Slow data: a transfer is surely still running when a test acts.
        # The library's throttle lets the first seconds' worth through at
        # once and none at all when a transfer starts late on a busy
        # machine; this one paces every transfer from its first byte.
        class Slow(ThrottledDTPHandler):
            read_limit = limit
            write_limit = limit
            _paced_since = None

            def _throttle_bandwidth(self, len_chunk, max_speed):
                now = time.monotonic()
                if self._paced_since is None:
                    self._paced_since = now
                self._datacount += len_chunk
                ahead = self._paced_since + self._datacount / max_speed - now
                if ahead <= 0.005 or self.sleeping:
                    return

                def unsleep():
                    self.sleeping = False
                    self.add_channel(events=self.ioloop.READ if self.receive else self.ioloop.WRITE)

                self.sleeping = True
                self.del_channel()
                self._cancel_throttler()
                self._throttler = self.ioloop.call_later(ahead, unsleep, _errback=self.handle_error)
        handler.dtp_handler = Slow
    handler.passive_ports = None
    server = FTPServer(("127.0.0.1", 0), handler, ioloop=ioloop)
    return server.socket.getsockname()[1]


# Firewall peer: answers the login of the six firewall types and records
# every line it gets, one connection after the other.
FW_REPLIES = [
    ("USER fw@", "331 firewall password"),
    ("USER fw", "331 firewall password"),
    ("PASS fwpw", "230 firewall ok"),
    ("SITE target", "220 target ready"),
    ("OPEN target", "220 target ready"),
    ("USER me@fw@", "331 password, then firewall password"),
    ("USER me", "331 password"),
    ("PASS secret@fwpw", "230 logged in"),
    ("PASS secret", "230 logged in"),
    ("SYST", "215 UNIX Type: L8"),
    ("PWD", '257 "/" is current'),
    ("CWD", "250 ok"),
    ("QUIT", "221 bye"),
]


def firewall_client(conn):
    log_path = os.path.join(STATE, "fw.log")
    with conn, open(log_path, "a") as log:
        log.write("CONNECT\n")
        log.flush()
        conn.sendall(b"220 firewall ready\r\n")
        buf = b""
        while True:
            data = conn.recv(4096)
            if not data:
                return
            buf += data
            while b"\n" in buf:
                line, buf = buf.split(b"\n", 1)
                text = line.decode("latin-1").rstrip("\r")
                log.write(text + "\n")
                log.flush()
                reply = "500 not here"
                for prefix, answer in FW_REPLIES:
                    if text.startswith(prefix):
                        reply = answer
                        break
                conn.sendall((reply + "\r\n").encode())
                if text.startswith("QUIT"):
                    return


def firewall_peer():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    s.listen(8)

    def loop():
        while True:
            conn, _ = s.accept()
            threading.Thread(target=firewall_client, args=(conn,), daemon=True).start()

    threading.Thread(target=loop, daemon=True).start()
    return s.getsockname()[1]


def main():
    ioloop = IOLoop()
    ports = {"A": start_server("A", ioloop), "B": start_server("B", ioloop),
             "C": start_server("C", ioloop, 4 * 1024 * 1024), "FW": firewall_peer()}
    tmp = os.path.join(STATE, "ports.tmp")
    with open(tmp, "w") as f:
        for k, v in ports.items():
            f.write("%s=%d\n" % (k, v))
        vs = os.environ.get("VSFTPD_PORT")
        if vs:
            f.write("VS=%s\n" % vs)
    os.rename(tmp, os.path.join(STATE, "ports.txt"))
    ioloop.loop()


if __name__ == "__main__":
    if sys.argv[1] == "--fixture":
        build_fixture(sys.argv[2], sys.argv[3])
    else:
        main()
