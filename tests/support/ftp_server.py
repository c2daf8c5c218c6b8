#!/usr/bin/python3
"""A loopback FTP server for the tests and the demo, with switchable faults.

Runs pyftpdlib with one account (ftpjob / pelmun, full permissions) on 127.0.0.1 (or ::1 with
--ipv6) and prints "READY <port>" once it listens. Faults come from --fault (repeatable) and
from the lines of the --control file, which is read again before every command so a test can
change them between attempts. A fault line may end in ":times=N": it then triggers only the
first N times (counted per server process) and is spent after that.

  refuse:CMD:CODE            answer CMD with CODE instead of running it
  refuse-complete:STOR:CODE  take all the data, then give CODE as the final reply, drop the file
  drop-control:CMD:BYTES     after BYTES data bytes of RETR/STOR, cut data and control
  reset-data:CMD:BYTES       after BYTES data bytes, reset the data connection
  stall:CMD                  never answer CMD
  stall-data:RETR:BYTES      stop sending after BYTES bytes, keep the connection open
  421:CMD                    answer CMD with 421 and close the connection
  refuse-login               answer PASS with 530
  pasv-address:ADDRESS       PASV names ADDRESS (with the real port); EPSV answers 500
  list-fail:BYTES            reset the LIST/MLSD data connection after BYTES bytes
  no-mlst                    hide MLST/MLSD from FEAT and answer them with 500
  no-size                    hide SIZE from FEAT and answer it with 500
  list-format:dos            LIST answers in the DOS/IIS format
  refuse-connect:CODE        greet a new connection with CODE and close it (e.g. 421, busy)
  byte-names                 names pass as the bytes they are (no UTF-8 replacement), for
                             connections opened while it is in force
"""

import argparse
import logging
import os
import re
import signal
import socket
import struct
import sys
import time
import warnings

warnings.filterwarnings("ignore", category=DeprecationWarning)

from pyftpdlib.authorizers import DummyAuthorizer  # noqa: E402
from pyftpdlib.filesystems import AbstractedFS  # noqa: E402
from pyftpdlib.handlers import DTPHandler, FTPHandler  # noqa: E402
from pyftpdlib.servers import FTPServer  # noqa: E402

USER = "ftpjob"
PASSWORD = "pelmun"
DATA_COMMANDS = ("RETR", "STOR", "APPE", "LIST", "NLST", "MLSD")


class Fault:
    """One parsed fault line: kind, the command it applies to, an argument, a use limit."""

    def __init__(self, text):
        self.text = text
        self.times = None
        match = re.match(r"^(.*):times=(\d+)$", text)
        if match:
            text, self.times = match.group(1), int(match.group(2))
        kind, _, rest = text.partition(":")
        self.kind = kind
        self.command = None
        self.argument = rest
        if kind in ("refuse", "refuse-complete", "drop-control", "reset-data", "stall-data"):
            command, _, self.argument = rest.partition(":")
            self.command = command.upper()
        elif kind in ("stall", "421"):
            self.command = rest.upper()
        elif kind == "refuse-login":
            self.command = "PASS"
        elif kind not in ("pasv-address", "list-fail", "no-mlst", "no-size", "list-format",
                          "refuse-connect", "byte-names"):
            raise ValueError("unknown fault: " + self.text)

    def limit(self):
        return int(self.argument)


class FaultBook:
    """The faults in force: the command line's plus the control file's, with use counts."""

    def __init__(self, lines, control):
        self.fixed = [Fault(text) for text in lines]
        self.control = control
        self.used = {}

    def current(self):
        faults = list(self.fixed)
        if self.control:
            try:
                with open(self.control, encoding="utf-8") as file:
                    lines = [line.strip() for line in file]
            except OSError:
                lines = []
            faults += [Fault(line) for line in lines if line and not line.startswith("#")]
        return [f for f in faults if f.times is None or self.used.get(f.text, 0) < f.times]

    def take(self, faults, predicate):
        """The first fault that matches, counted as used; None when none does."""
        for fault in faults:
            if predicate(fault):
                self.used[fault.text] = self.used.get(fault.text, 0) + 1
                return fault
        return None


def reset_socket(sock):
    """Closing after this sends RST instead of FIN."""
    try:
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    except OSError:
        pass


class FaultDTPHandler(DTPHandler):
    """The data connection, cut, reset or stalled after a number of bytes when asked to."""

    def data_fault(self):
        return getattr(self.cmd_channel, "data_fault", None)

    tripped = False

    def send(self, data):
        fault = self.data_fault()
        if fault is None or fault.kind == "refuse-complete":
            return DTPHandler.send(self, data)
        left = fault.limit() - self.tot_bytes_sent
        if left <= 0:
            if not self.tripped:
                self.tripped = True
                self.trip(fault, sending=True)
            return 0
        return DTPHandler.send(self, data[:left])

    def handle_read(self):
        DTPHandler.handle_read(self)
        fault = self.data_fault()
        if fault is not None and fault.kind != "refuse-complete" and not self._closed:
            if self.tot_bytes_received >= fault.limit():
                self.trip(fault)

    handle_read_event = handle_read

    def trip(self, fault, sending=False):
        # Stop writing; a close by the client still ends the connection.
        self.modify_ioloop_events(self.ioloop.READ)
        if fault.kind == "stall-data":
            return
        if sending and fault.kind in ("reset-data", "list-fail"):
            # A reset throws away what the client has not read yet: give it time to read the
            # bytes sent so far, so that the fault cuts the data where it says.
            self.call_later(0.3, self.cut, fault)
            return
        self.cut(fault)

    def cut(self, fault):
        if self._closed:
            return
        self.cmd_channel.data_fault = None
        reset_socket(self.socket)
        if fault.kind == "drop-control":
            self._resp = ()
            control = self.cmd_channel
            self.close()
            reset_socket(control.socket)
            control.close()
            return
        self._resp = ("426 Connection reset by the test server; transfer aborted.", logging.info)
        self.close()

    def close(self):
        fault = self.data_fault()
        refused = (not self._closed and fault is not None and fault.kind == "refuse-complete"
                   and self.receive and self.transfer_finished)
        if not refused:
            DTPHandler.close(self)
            return
        self.cmd_channel.data_fault = None
        self._resp = ("%s Transfer refused by the test server." % fault.argument, logging.info)
        # Gone before the reply leaves, so a client that reads the reply finds no file.
        if self.file_obj is not None:
            self.file_obj.close()
            try:
                os.remove(self.file_obj.name)
            except OSError:
                pass
        DTPHandler.close(self)


class FaultFilesystem(AbstractedFS):
    """The file system, with an optional DOS/IIS style LIST."""

    def format_list(self, basedir, listing, ignore_err=True):
        if not getattr(self.cmd_channel, "dos_listing", False):
            yield from AbstractedFS.format_list(self, basedir, listing, ignore_err)
            return
        for name in listing:
            try:
                st = self.lstat(os.path.join(basedir, name))
            except OSError:
                continue
            stamp = time.strftime("%m-%d-%y  %I:%M%p", time.localtime(st.st_mtime))
            if os.path.isdir(os.path.join(basedir, name)):
                line = "%s       <DIR>          %s\r\n" % (stamp, name)
            else:
                line = "%s %20d %s\r\n" % (stamp, st.st_size, name)
            yield line.encode("utf8", self.cmd_channel.unicode_errors)


class FaultHandler(FTPHandler):
    """The control connection: looks up the faults before every command."""

    faults = None  # the FaultBook, set in main
    use_sendfile = False  # byte counts of the data faults need every send to pass here
    auth_failed_timeout = 0
    dtp_handler = FaultDTPHandler
    abstracted_fs = FaultFilesystem
    data_fault = None
    dos_listing = False

    def handle(self):
        """A new connection: greeted, or refused under refuse-connect."""
        faults = self.faults.current()
        if any(f.kind == "byte-names" for f in faults):
            self.unicode_errors = "surrogateescape"
        refused = self.faults.take(faults, lambda f: f.kind == "refuse-connect")
        if refused is None:
            FTPHandler.handle(self)
            return
        self.respond("%s Connection refused by the test server." % refused.argument)
        self.close_when_done()

    def pre_process_command(self, line, cmd, arg):
        faults = self.faults.current()
        kinds = {fault.kind for fault in faults}
        self.dos_listing = cmd == "LIST" and any(
            f.kind == "list-format" and f.argument == "dos" for f in faults)
        if cmd in DATA_COMMANDS:
            self.data_fault = self.faults.take(faults, lambda f: self.is_data_fault(f, cmd))
        if self.command_fault(faults, cmd):
            return
        if ("no-mlst" in kinds and cmd in ("MLSD", "MLST")) or ("no-size" in kinds and
                                                                 cmd == "SIZE"):
            self.respond('500 Command "%s" not understood.' % cmd)
            return
        pasv = self.faults.take(faults, lambda f: f.kind == "pasv-address" and cmd in
                                ("PASV", "EPSV"))
        if pasv is not None and cmd == "EPSV":
            self.respond('500 Command "EPSV" not understood.')
            return
        if pasv is not None:
            self.masquerade_address = pasv.argument
            try:
                FTPHandler.pre_process_command(self, line, cmd, arg)
            finally:
                self.masquerade_address = None
            return
        FTPHandler.pre_process_command(self, line, cmd, arg)

    @staticmethod
    def is_data_fault(fault, cmd):
        if fault.kind == "list-fail":
            return cmd in ("LIST", "MLSD", "NLST")
        return fault.kind in ("refuse-complete", "drop-control", "reset-data",
                              "stall-data") and fault.command == cmd

    def command_fault(self, faults, cmd):
        """Answers (or not) for a refuse, stall, 421 or refused-login fault; True if it did."""
        fault = self.faults.take(
            faults, lambda f: f.kind in ("refuse", "stall", "421", "refuse-login") and
            f.command == cmd)
        if fault is None:
            return False
        if fault.kind == "refuse":
            self.respond("%s Refused by the test server." % fault.argument)
        elif fault.kind == "refuse-login":
            self.respond("530 Authentication failed.")
        elif fault.kind == "421":
            self.respond("421 Service not available, closing control connection.")
            self.close_when_done()
        self.data_fault = None
        return True

    def ftp_FEAT(self, line):
        kinds = {fault.kind for fault in self.faults.current()}
        hidden = set()
        if "no-mlst" in kinds:
            hidden |= {"MLST", "MLSD"}
        if "no-size" in kinds:
            hidden.add("SIZE")
        if not hidden:
            FTPHandler.ftp_FEAT(self, line)
            return
        self.proto_cmds = {k: v for k, v in FTPHandler.proto_cmds.items() if k not in hidden}
        try:
            FTPHandler.ftp_FEAT(self, line)
        finally:
            del self.proto_cmds


def stop_serving(signum, frame):
    """SIGTERM ends the loop the way Ctrl-C does, so the server closes its sockets."""
    raise KeyboardInterrupt()


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", required=True, help="the folder the account sees as /")
    parser.add_argument("--port", type=int, default=0, help="0 picks a free port")
    parser.add_argument("--ipv6", action="store_true", help="listen on ::1")
    parser.add_argument("--fault", action="append", default=[], help="a fault line")
    parser.add_argument("--control", help="a file of fault lines, one a line")
    parser.add_argument("--verbose", action="store_true", help="log every command")
    return parser.parse_args()


def main():
    arguments = parse_arguments()
    logging.basicConfig(level=logging.DEBUG if arguments.verbose else logging.ERROR,
                        format="ftp_server: %(message)s")
    authorizer = DummyAuthorizer()
    authorizer.add_user(USER, PASSWORD, arguments.root, perm="elradfmwMT")
    FaultHandler.authorizer = authorizer
    FaultHandler.faults = FaultBook(arguments.fault, arguments.control)
    host = "::1" if arguments.ipv6 else "127.0.0.1"
    server = FTPServer((host, arguments.port), FaultHandler)
    signal.signal(signal.SIGTERM, stop_serving)
    print("READY %d" % server.socket.getsockname()[1], flush=True)
    server.serve_forever(handle_exit=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
