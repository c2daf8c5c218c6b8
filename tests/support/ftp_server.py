#!/usr/bin/python3
"""A loopback FTP server for the tests and the demo, with switchable faults.

Runs pyftpdlib with one account (ftpjob / pelmun, full permissions) on 127.0.0.1 (or ::1 with
--ipv6) and prints "READY <port>" once it listens. Faults come from --fault (repeatable) and
from the lines of the --control file, which is read again before every command so a test can
change them between attempts. A fault line may end in ":times=N": it then triggers only the
first N times (counted per server process) and is spent after that.

  refuse:CMD:CODE            answer CMD with CODE instead of running it
  refuse-complete:STOR:CODE  take all the data, then give CODE as the final reply, drop the file
  refuse-kept:STOR:CODE      the same, but the file stays as stored (a server that keeps it)
  drop-control:CMD:BYTES     after BYTES data bytes of RETR/STOR, cut data and control
  reset-data:CMD:BYTES       after BYTES data bytes, reset the data connection
  stall:CMD                  never answer CMD
  stall-data:RETR:BYTES      stop sending after BYTES bytes, keep the connection open
  421:CMD                    answer CMD with 421 and close the connection
  refuse-login               answer PASS with 530
  pasv-address:ADDRESS       PASV names ADDRESS (e.g. 127.0.0.2) with the real port, while the
                             server listens on its own address; EPSV answers 500
  list-fail:BYTES            reset the LIST/MLSD data connection after BYTES bytes
  no-mlst                    hide MLST/MLSD from FEAT and answer them with 500
  no-size                    hide SIZE from FEAT and answer it with 500
  list-format:dos            LIST answers in the DOS/IIS format
  refuse-connect:CODE        greet a new connection with CODE and close it (e.g. 421, busy)
  byte-names                 names pass as the bytes they are (no UTF-8 replacement), for
                             connections opened while it is in force
  trickle:CMD:SECONDS        send the replies to CMD one byte every SECONDS (a float), their
                             text unchanged; CMD GREETING is the 220 of a new connection (not
                             AUTH: its reply must be whole before the handshake)
  throttle-data:RETR:RATE:FILE  the data connection of RETR sends RATE bytes a second, in
                             twentieths of that every 50 ms; after each piece it appends
                             "<CLOCK_MONOTONIC seconds> <bytes sent so far>" to FILE
  trickle-data:CMD:SECONDS   the data connection of RETR, LIST, MLSD or NLST sends one byte
                             every SECONDS, for as long as there is data
  endless-list               LIST and MLSD send generated entries (file000001.txt, ...; Unix ls
                             form for LIST) as fast as the client reads, without end, and never
                             give a final reply, not even when the client closes the connection
  stor-keep:BYTES            STOR reads all the data but stores only its first BYTES bytes, 226
  early-226:CMD              answer STOR or RETR at once with "226 Transfer complete." (no 150)
                             and close the data connection without reading or sending
  vanished:NAME              the file NAME (bare name) stays in LIST and MLSD, but SIZE, MLST,
                             RETR and DELE of it answer "550 No such file or directory."
  echo-password:CODE         answer PASS with "CODE Password <the password> not accepted."
  telnet-iac                 command lines are read as a Telnet stream, as proftpd does: a
                             doubled 0xFF is one data byte, a lone 0xFF and the byte after it
                             are a Telnet command and dropped (use with byte-names)
  active-intruder:ADDRESS    on PORT or EPRT, first connect to the client's port from ADDRESS
                             (e.g. 127.0.0.2), send "intruder data\\r\\n" and hold that
                             connection open 3 s; then go on as usual
  digests:LIST               offer the digest commands of LIST (comma-separated), announced in
                             FEAT: HASH (with OPTS HASH and RANG, as draft-bryan-ftpext-hash:
                             FEAT "HASH SHA-256*;SHA-1;MD5;CRC32" starring the one selected,
                             "OPTS HASH <algo>" answered "200 <algo>", "RANG <first> <last>"
                             (inclusive, "RANG 1 0" resets) answered 350 and spent by the next
                             HASH, "HASH <path>" answered "213 <ALGO> <start>-<end> <hex> <path>"
                             with an exclusive end, as proftpd and SFTPGo give it), and any of
                             XSHA256, XSHA1, XMD5, XCRC ("<cmd> <path> [<start> <end>]", end
                             exclusive, answered "250 <hex>": upper case, as proftpd's
                             mod_digest; XCRC 8 digits)
  digest-wrong               every digest is answered in its usual form, with a wrong value
  rang-ignored               HASH answers for the whole file whatever RANG asked and does not
                             spend the range, as proftpd's mod_digest (which keeps RANG for the
                             next transfer)
  fold-case                  names are looked up without regard to ASCII letter case, as on
                             Windows: a path that names nothing, but whose folder holds an
                             entry equal to it under case folding, means that entry (so
                             STOR report.csv writes over Report.csv, which keeps its name)
  grow-after:NAME:BYTES      once a RETR of the file NAME (bare name) has sent its data, BYTES
                             bytes are appended to it and its modification time is set back to
                             what it was, as a partner still writing it would, seen by size only
  digest-slow:SECONDS        a digest command first sends "213-Computing..." (250- for the X
                             commands) once a second for SECONDS (a float), then its reply

Options: --root DIR (the account's "/", required), --port N (0 picks a free one), --ipv6,
--password WORD (instead of pelmun),
--fault LINE (repeatable), --control FILE, --verbose (log every command on standard error),
--record FILE and the TLS options below.

--record FILE appends every command line received on a control connection to FILE as
"<connection> <line as received>", one write per line, before the command is answered (also
when a fault answers it). Connections are numbered in the order they were accepted, going on
after the last number FILE already holds, so a restarted server does not reuse numbers.

--tls explicit (AUTH TLS on the port) or --tls implicit (TLS from the first byte) needs
--tls-cert (PEM, may hold the chain) and --tls-key (default: the cert file); --tls-min and
--tls-max (1.2 or 1.3) bound the protocol, by default 1.2 to 1.3. The server then insists like
vsftpd with force_local_logins_ssl, force_local_data_ssl and require_ssl_reuse: USER or PASS
before TLS is answered "530 Non-anonymous sessions must use encryption.", a data command
without PROT P "521 Data connections must be encrypted.", and a data connection that does not
resume a TLS session of its control connection is closed and its command answered "522 SSL
connection failed: session reuse required" (after its 150 or 125 when the handshake comes
late). Each control connection has its own TLS context (session cache and ticket keys), so only
its own sessions resume; a resumed ticket may be offered again. Under TLS 1.3 every resumed data
connection earns the client a fresh ticket on the control connection, so a client that uses
each ticket once never runs out.
"""

import argparse
import ctypes
import hashlib
import itertools
import logging
import os
import posixpath
import re
import signal
import socket
import struct
import sys
import time
import warnings
import zlib

warnings.filterwarnings("ignore", category=DeprecationWarning)

from pyftpdlib.authorizers import DummyAuthorizer  # noqa: E402
from pyftpdlib.filesystems import AbstractedFS  # noqa: E402
from pyftpdlib.handlers import BufferedIteratorProducer, DTPHandler, FTPHandler  # noqa: E402
from pyftpdlib.ioloop import AsyncChat  # noqa: E402
from pyftpdlib.servers import FTPServer  # noqa: E402

try:
    from OpenSSL import SSL
    from OpenSSL._util import ffi as openssl_ffi, lib as openssl_lib
    from pyftpdlib.handlers import TLS_DTPHandler, TLS_FTPHandler
except ImportError:  # without Debian's python3-openssl the server still speaks plain FTP
    TLS_FTPHandler = None

USER = "ftpjob"
PASSWORD = "pelmun"
DATA_COMMANDS = ("RETR", "STOR", "APPE", "LIST", "NLST", "MLSD")
# The data faults that cut, reset or stall a connection after a number of bytes.
CUT_KINDS = ("drop-control", "reset-data", "stall-data", "list-fail")
REUSE_REQUIRED = "522 SSL connection failed: session reuse required"


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
        if kind in ("refuse", "refuse-complete", "refuse-kept", "drop-control", "reset-data", "stall-data",
                    "trickle", "trickle-data", "throttle-data"):
            command, _, self.argument = rest.partition(":")
            self.command = command.upper()
        elif kind in ("stall", "421", "early-226"):
            self.command = rest.upper()
        elif kind in ("refuse-login", "echo-password"):
            self.command = "PASS"
        elif kind == "stor-keep":
            self.command = "STOR"
        elif kind not in ("pasv-address", "list-fail", "no-mlst", "no-size", "list-format",
                          "refuse-connect", "byte-names", "endless-list", "vanished",
                          "active-intruder", "telnet-iac", "digests", "digest-wrong",
                          "digest-slow", "rang-ignored", "fold-case", "grow-after"):
            raise ValueError("unknown fault: " + self.text)
        if kind in ("trickle", "trickle-data", "digest-slow"):
            self.seconds = float(self.argument)

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


class Recorder:
    """The --record file: every command line received, with the number of its connection."""

    def __init__(self, path):
        self.count = self.last_connection(path)
        # Unbuffered: each line is one write, there at once for the test to read.
        self.file = open(path, "ab", buffering=0)

    @staticmethod
    def last_connection(path):
        try:
            with open(path, "rb") as file:
                lines = file.read().splitlines()
            return int(lines[-1].split(b" ", 1)[0]) if lines else 0
        except (OSError, ValueError):
            return 0

    def next_connection(self):
        self.count += 1
        return self.count

    def write(self, connection, line):
        self.file.write(b"%d %s\n" % (connection, line))


def telnet_data(line):
    """The data bytes of a Telnet line: 0xFF 0xFF is 0xFF, 0xFF and any other byte go."""
    data = bytearray()
    i = 0
    while i < len(line):
        if line[i] == 0xFF:
            if i + 1 < len(line) and line[i + 1] == 0xFF:
                data.append(0xFF)
            i += 2
            continue
        data.append(line[i])
        i += 1
    return bytes(data)


def reset_socket(sock):
    """Closing after this sends RST instead of FIN."""
    try:
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    except OSError:
        pass


def endless_entries(mlsd):
    """Listing lines without end, generated one at a time as the connection takes them."""
    for number in itertools.count(1):
        name = "file%06d.txt" % number
        size = number % 100000
        if mlsd:
            line = "modify=20260101000000;perm=radfw;size=%d;type=file; %s\r\n" % (size, name)
        else:
            line = "-rw-r--r--   1 ftpjob   ftpjob   %8d Jan 01 00:00 %s\r\n" % (size, name)
        yield line.encode("ascii")


class KeptFile:
    """A file being stored that keeps only the first `limit` bytes written to it."""

    def __init__(self, file, limit):
        self.file = file
        self.left = limit

    def write(self, data):
        kept = data[:max(self.left, 0)]
        self.left -= len(kept)
        self.file.write(kept)
        return len(data)

    def __getattr__(self, name):
        return getattr(self.file, name)


# The digests of the HASH command, strongest first, and the X commands naming one each.
DIGESTS = ("SHA-256", "SHA-1", "MD5", "CRC32")
X_DIGESTS = {"XSHA256": "SHA-256", "XSHA1": "SHA-1", "XMD5": "MD5", "XCRC": "CRC32"}


def file_digest(path, algorithm, start, end):
    """The lower-case hex digest of bytes start..end-1 of the file (end None: to its end)."""
    crc = 0
    hasher = None if algorithm == "CRC32" else hashlib.new(
        {"SHA-256": "sha256", "SHA-1": "sha1", "MD5": "md5"}[algorithm])
    with open(path, "rb") as file:
        file.seek(start)
        left = None if end is None else max(end - start, 0)
        while left is None or left > 0:
            block = file.read(65536 if left is None else min(65536, left))
            if not block:
                break
            if left is not None:
                left -= len(block)
            if hasher is None:
                crc = zlib.crc32(block, crc)
            else:
                hasher.update(block)
    return "%08x" % crc if hasher is None else hasher.hexdigest()


def wrong_digest(hex_digest):
    """Another value of the same form: every digit moved on by one."""
    return "".join("0123456789abcdef"[(int(c, 16) + 1) % 16] for c in hex_digest)


class FaultDTPHandler(DTPHandler):
    """The data connection, cut, reset, stalled or slowed after a number of bytes when asked."""

    def data_fault(self):
        return getattr(self.cmd_channel, "data_fault", None)

    tripped = False

    def send(self, data):
        fault = self.data_fault()
        if fault is not None and fault.kind == "trickle-data":
            return self.trickle(data, fault.seconds)
        if fault is not None and fault.kind == "throttle-data":
            return self.throttle(data, fault)
        if fault is None or fault.kind not in CUT_KINDS:
            return super().send(data)
        left = fault.limit() - self.tot_bytes_sent
        if left <= 0:
            if not self.tripped:
                self.tripped = True
                self.trip(fault, sending=True)
            return 0
        return super().send(data[:left])

    def trickle(self, data, seconds):
        sent = super().send(data[:1])
        if sent and not self._closed:
            # No writing until the next byte is due; a close by the client still ends it.
            self.modify_ioloop_events(self.ioloop.READ)
            # The loop's own timer: the handler's call_later keeps every timer it ever made.
            self.ioloop.call_later(seconds, self.resume_writing, _errback=self.handle_error)
        return sent

    def throttle(self, data, fault):
        rate, _, times = fault.argument.partition(":")
        sent = super().send(data[:max(1, int(rate) // 20)])
        if sent:
            with open(times, "a") as log:
                log.write("%.6f %d\n" % (time.monotonic(), self.tot_bytes_sent))
        if sent and not self._closed:
            self.modify_ioloop_events(self.ioloop.READ)
            self.ioloop.call_later(0.05, self.resume_writing, _errback=self.handle_error)
        return sent

    def resume_writing(self):
        if not self._closed:
            self.modify_ioloop_events(self.ioloop.WRITE)

    def handle_read(self):
        super().handle_read()
        fault = self.data_fault()
        if fault is not None and fault.kind in CUT_KINDS and not self._closed:
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
        # Under TLS: no close_notify first, the connection just breaks.
        self._error = True
        if fault.kind == "drop-control":
            self._resp = ()
            control = self.cmd_channel
            self.close()
            reset_socket(control.socket)
            control._error = True
            control.close()
            return
        self._resp = ("426 Connection reset by the test server; transfer aborted.", logging.info)
        self.close()

    def close(self):
        fault = self.data_fault()
        if not self._closed and fault is not None and fault.kind == "endless-list":
            self._resp = ()
        refused = (not self._closed and fault is not None
                   and fault.kind in ("refuse-complete", "refuse-kept")
                   and self.receive and self.transfer_finished)
        if not refused:
            super().close()
            return
        self.cmd_channel.data_fault = None
        self._resp = ("%s Transfer refused by the test server." % fault.argument, logging.info)
        # Gone before the reply leaves, so a client that reads the reply finds no file.
        if self.file_obj is not None and fault.kind == "refuse-kept":
            self.file_obj.close()
        elif self.file_obj is not None:
            self.file_obj.close()
            try:
                os.remove(self.file_obj.name)
            except OSError:
                pass
        super().close()


ASCII_LOWER = str.maketrans("ABCDEFGHIJKLMNOPQRSTUVWXYZ", "abcdefghijklmnopqrstuvwxyz")


class FaultFilesystem(AbstractedFS):
    """The file system, with an optional DOS/IIS style LIST, a STOR that keeps a part, and
    names that may be looked up without regard to case."""

    def ftp2fs(self, ftppath):
        path = AbstractedFS.ftp2fs(self, ftppath)
        faults = getattr(self.cmd_channel, "line_faults", ())
        if not any(f.kind == "fold-case" for f in faults) or os.path.lexists(path):
            return path
        folder, name = os.path.split(path)
        try:
            entries = os.listdir(folder)
        except OSError:
            return path
        folded = name.translate(ASCII_LOWER)
        for entry in sorted(entries):
            if entry.translate(ASCII_LOWER) == folded:
                return os.path.join(folder, entry)
        return path

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

    def open(self, filename, mode):
        file = AbstractedFS.open(self, filename, mode)
        fault = getattr(self.cmd_channel, "data_fault", None)
        if fault is not None and fault.kind == "stor-keep" and ("w" in mode or "+" in mode):
            return KeptFile(file, fault.limit())
        return file


class FaultHandler(FTPHandler):
    """The control connection: looks up the faults before every command."""

    faults = None  # the FaultBook, set in main
    recorder = None  # the Recorder under --record, set in main
    use_sendfile = False  # byte counts of the data faults need every send to pass here
    auth_failed_timeout = 0
    dtp_handler = FaultDTPHandler
    abstracted_fs = FaultFilesystem
    data_fault = None
    dos_listing = False
    trickle_seconds = None  # the pace of the replies to the current command, None: at once
    trickle_pace = 0.0  # the pace of the bytes still waiting in trickle_queue
    trickle_queue = b""
    trickle_close = False  # close once trickle_queue is sent
    line_faults = ()  # the faults in force for the command line being handled

    def __init__(self, conn, server, ioloop=None):
        super().__init__(conn, server, ioloop)
        self.number = self.recorder.next_connection() if self.recorder else 0

    def handle(self):
        """A new connection: greeted, or refused under refuse-connect."""
        faults = self.faults.current()
        if any(f.kind == "byte-names" for f in faults):
            self.unicode_errors = "surrogateescape"
        self.choose_trickle(faults, "GREETING")
        refused = self.faults.take(faults, lambda f: f.kind == "refuse-connect")
        if refused is None:
            FTPHandler.handle(self)
            return
        self.respond("%s Connection refused by the test server." % refused.argument)
        self.close_when_done()

    def found_terminator(self):
        line = b"".join(self._in_buffer)
        if self.recorder is not None:
            self.recorder.write(self.number, line)
        # Read once per command line, for the trickle here and the rest in pre_process_command.
        self.line_faults = self.faults.current()
        if any(f.kind == "telnet-iac" for f in self.line_faults):
            self._in_buffer = [telnet_data(line)]
        command = line.split(b" ")[0].decode("ascii", "replace").upper()
        self.choose_trickle(self.line_faults, command)
        super().found_terminator()

    def choose_trickle(self, faults, command):
        fault = self.faults.take(faults, lambda f: f.kind == "trickle" and f.command == command)
        self.trickle_seconds = fault.seconds if fault is not None else None

    def push(self, s):
        if self.trickle_seconds is None and not self.trickle_queue:
            super().push(s)
            return
        waiting = bool(self.trickle_queue)
        self.trickle_queue += s.encode("utf8")
        if self.trickle_seconds is not None:
            self.trickle_pace = self.trickle_seconds
        if not waiting:
            self.trickle_next()

    def trickle_next(self):
        if self._closed:
            return
        byte, self.trickle_queue = self.trickle_queue[:1], self.trickle_queue[1:]
        AsyncChat.push(self, byte)
        if self.trickle_queue:
            self.ioloop.call_later(self.trickle_pace, self.trickle_next,
                                   _errback=self.handle_error)
        elif self.trickle_close:
            super().close_when_done()

    def close_when_done(self):
        if self.trickle_queue:
            self.trickle_close = True
            return
        super().close_when_done()

    def pre_process_command(self, line, cmd, arg):
        faults = self.line_faults
        kinds = {fault.kind for fault in faults}
        self.dos_listing = cmd == "LIST" and any(
            f.kind == "list-format" and f.argument == "dos" for f in faults)
        if cmd in DATA_COMMANDS:
            self.data_fault = self.faults.take(faults, lambda f: self.is_data_fault(f, cmd))
        if self.command_fault(faults, cmd, arg):
            return
        if self.digest_command(faults, cmd, arg):
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
        if fault.kind == "endless-list":
            return cmd in ("LIST", "MLSD")
        if fault.kind == "trickle-data":
            return fault.command == cmd and cmd in ("RETR", "LIST", "MLSD", "NLST")
        if fault.kind == "throttle-data":
            return fault.command == cmd == "RETR"
        return fault.kind in ("refuse-complete", "refuse-kept", "drop-control", "reset-data", "stall-data",
                              "stor-keep") and fault.command == cmd

    def command_fault(self, faults, cmd, arg):
        """Answers (or not) for a fault that stands in for the command; True if one did."""
        fault = self.faults.take(faults, lambda f: self.is_command_fault(f, cmd, arg))
        if fault is None:
            return False
        if fault.kind == "refuse":
            self.respond("%s Refused by the test server." % fault.argument)
        elif fault.kind == "refuse-login":
            self.respond("530 Authentication failed.")
        elif fault.kind == "421":
            self.respond("421 Service not available, closing control connection.")
            self.close_when_done()
        elif fault.kind == "echo-password":
            self.respond("%s Password %s not accepted." % (fault.argument, arg))
        elif fault.kind == "vanished":
            self.respond("550 No such file or directory.")
        elif fault.kind == "early-226":
            self.drop_data_connection()
            self.respond("226 Transfer complete.")
        self.data_fault = None
        return True

    @staticmethod
    def is_command_fault(fault, cmd, arg):
        if fault.kind == "vanished":
            return (cmd in ("SIZE", "MLST", "RETR", "DELE") and
                    posixpath.basename(arg) == fault.argument)
        return fault.kind in ("refuse", "stall", "421", "refuse-login", "echo-password",
                              "early-226") and fault.command == cmd

    def on_file_sent(self, file):
        # Called after the 226 is queued and before the next command is read: the client sees
        # the file grow only when it asks again.
        grow = self.faults.take(self.faults.current(), lambda f: f.kind == "grow-after" and
                                f.argument.rpartition(":")[0] == os.path.basename(file))
        if grow is not None:
            before = os.stat(file)
            with open(file, "ab") as appended:
                appended.write(b"g" * int(grow.argument.rpartition(":")[2]))
            os.utime(file, ns=(before.st_atime_ns, before.st_mtime_ns))
        FTPHandler.on_file_sent(self, file)

    def drop_data_connection(self):
        """Closes the data connection, made or waited for, without a word on it."""
        self._shutdown_connecting_dtp()
        if self.data_channel is not None:
            self.data_channel._resp = ()
            self.data_channel._error = True
            self.data_channel.close()
            self.data_channel = None

    def ftp_LIST(self, path):
        if self.data_fault is not None and self.data_fault.kind == "endless-list":
            return self.push_endless(path, "LIST")
        return FTPHandler.ftp_LIST(self, path)

    def ftp_MLSD(self, path):
        if self.data_fault is not None and self.data_fault.kind == "endless-list":
            return self.push_endless(path, "MLSD")
        return FTPHandler.ftp_MLSD(self, path)

    def push_endless(self, path, cmd):
        # The producer makes lines only as the connection takes them: memory stays flat.
        producer = BufferedIteratorProducer(endless_entries(cmd == "MLSD"))
        self.push_dtp_data(producer, isproducer=True, cmd=cmd)
        return path

    def _make_eport(self, ip, port):
        intruder = self.faults.take(self.faults.current(),
                                    lambda f: f.kind == "active-intruder")
        if intruder is not None:
            self.send_intruder(intruder.argument, ip, port)
        FTPHandler._make_eport(self, ip, port)

    def send_intruder(self, address, ip, port):
        """Connects to the client's data port from `address` first, with a few bytes."""
        try:
            intruder = socket.create_connection((ip, port), timeout=2,
                                                source_address=(address, 0))
            intruder.sendall(b"intruder data\r\n")
        except OSError as error:
            logging.error("active-intruder: %s", error)
            return
        # Held open a while: the client sees a live connection, not one already closed.
        self.ioloop.call_later(3.0, intruder.close)

    hash_algorithm = "SHA-256"  # the one OPTS HASH selected
    hash_range = None  # (start, end exclusive) from RANG, spent by the next HASH

    @staticmethod
    def digests_offered(faults):
        offered = set()
        for fault in faults:
            if fault.kind == "digests":
                offered |= {name.strip().upper() for name in fault.argument.split(",")}
        return offered

    def digest_command(self, faults, cmd, arg):
        """Answers a digest command the faults offer; True if it did."""
        offered = self.digests_offered(faults)
        hashing = "HASH" in offered
        if cmd == "OPTS" and arg.upper().startswith("HASH") and hashing:
            handler = self.opts_hash
        elif cmd in ("HASH", "RANG") and hashing:
            handler = self.hash_command if cmd == "HASH" else self.rang_command
        elif cmd in X_DIGESTS and cmd in offered:
            handler = self.x_digest_command
        else:
            return False
        if not self.authenticated:
            self.respond("530 Log in with USER and PASS first.")
        else:
            handler(faults, cmd, arg)
        return True

    def opts_hash(self, faults, cmd, arg):
        wanted = arg[4:].strip().upper()
        if wanted and wanted not in DIGESTS:
            self.respond("501 Unknown algorithm.")
            return
        if wanted:
            self.hash_algorithm = wanted
        self.respond("200 %s" % self.hash_algorithm)

    def rang_command(self, faults, cmd, arg):
        try:
            first, last = (int(word) for word in arg.split())
        except ValueError:
            self.respond("501 Syntax: RANG <start> <end>.")
            return
        if (first, last) == (1, 0):
            self.hash_range = None
            self.respond("350 Range reset.")
        elif first < 0 or last < first:
            self.respond("501 Invalid range.")
        else:
            self.hash_range = (first, last + 1)
            self.respond("350 Restarting at %d. Ending at %d." % (first, last))

    def digest_file(self, path):
        """The file system path of `path` when it is a file the account may read, else None."""
        real = self.fs.ftp2fs(path)
        if not self.fs.validpath(real) or not self.fs.isfile(real):
            self.respond("550 No such file or directory.")
            return None
        return real

    def hash_command(self, faults, cmd, arg):
        start, end = self.hash_range or (0, None)
        if any(f.kind == "rang-ignored" for f in faults):
            start, end = 0, None
        else:
            self.hash_range = None
        real = self.digest_file(arg)
        if real is None:
            return
        size = os.path.getsize(real)
        if start > size:
            self.respond("501 Invalid range.")
            return
        end = size if end is None else min(end, size)
        value = self.digest_value(faults, real, self.hash_algorithm, start, end)
        final = "213 %s %d-%d %s %s" % (self.hash_algorithm, start, end, value, arg)
        self.send_digest(faults, 213, final)

    def x_digest_command(self, faults, cmd, arg):
        words = arg.split(" ")
        start, end = 0, None
        if len(words) >= 3 and words[-1].isdigit() and words[-2].isdigit():
            start, end = int(words[-2]), int(words[-1])
            words = words[:-2]
        real = self.digest_file(" ".join(words))
        if real is None:
            return
        value = self.digest_value(faults, real, X_DIGESTS[cmd], start, end)
        self.send_digest(faults, 250, "250 %s" % value.upper())

    def digest_value(self, faults, real, algorithm, start, end):
        value = file_digest(real, algorithm, start, end)
        if any(f.kind == "digest-wrong" for f in faults):
            return wrong_digest(value)
        return value

    def send_digest(self, faults, code, final):
        slow = next((f for f in faults if f.kind == "digest-slow"), None)
        self.send_computing(code, final, slow.seconds if slow is not None else 0.0)

    def send_computing(self, code, final, seconds):
        """"CODE-Computing..." once a second while `seconds` last, then the final reply."""
        if self._closed:
            return
        if seconds <= 0:
            self.respond(final)
            return
        self.push("%d-Computing digest...\r\n" % code)
        self.ioloop.call_later(min(1.0, seconds), self.send_computing, code, final,
                               seconds - 1.0, _errback=self.handle_error)

    def digest_features(self):
        offered = self.digests_offered(self.faults.current())
        features = sorted(offered & set(X_DIGESTS))
        if "HASH" in offered:
            features.append("HASH " + ";".join(
                name + ("*" if name == self.hash_algorithm else "") for name in DIGESTS))
            features.append("RANG")
        return features

    def ftp_FEAT(self, line):
        announced = self._extra_feats
        self._extra_feats = announced + self.digest_features()
        try:
            self.features_without_hidden(line)
        finally:
            self._extra_feats = announced

    def features_without_hidden(self, line):
        kinds = {fault.kind for fault in self.faults.current()}
        hidden = set()
        if "no-mlst" in kinds:
            hidden |= {"MLST", "MLSD"}
        if "no-size" in kinds:
            hidden.add("SIZE")
        if not hidden:
            FTPHandler.ftp_FEAT(self, line)
            return
        self.proto_cmds = {k: v for k, v in type(self).proto_cmds.items() if k not in hidden}
        try:
            FTPHandler.ftp_FEAT(self, line)
        finally:
            del self.proto_cmds


if TLS_FTPHandler is not None:
    TLS_VERSIONS = {"1.2": SSL.TLS1_2_VERSION, "1.3": SSL.TLS1_3_VERSION}
    try:
        # The libssl that pyOpenSSL runs on; it has no binding for SSL_new_session_ticket.
        libssl = ctypes.CDLL("libssl.so.3")
        libssl.SSL_new_session_ticket.argtypes = [ctypes.c_void_p]
    except (OSError, AttributeError):
        libssl = None

    def ssl_pointer(connection):
        return int(openssl_ffi.cast("uintptr_t", connection._ssl))

    def make_context(cert, key, minimum, maximum):
        """A server TLS context; fails (SSL.Error) when the certificate or key will not load."""
        context = SSL.Context(SSL.TLS_SERVER_METHOD)
        context.set_options(SSL.OP_NO_COMPRESSION)
        context.set_min_proto_version(TLS_VERSIONS[minimum])
        context.set_max_proto_version(TLS_VERSIONS[maximum])
        context.use_certificate_chain_file(cert)
        context.use_privatekey_file(key)
        context.check_privatekey()
        context.set_session_id(b"skyhaul-test")
        return context

    class FaultTLSDTPHandler(FaultDTPHandler, TLS_DTPHandler):
        """A data connection under TLS that must resume a session of its control connection."""

        def readable(self):
            # The client may begin its handshake before the transfer command arrives.
            return self._ssl_accepting or TLS_DTPHandler.readable(self)

        def handle_read_event(self):
            if self._ssl_requested and (self._ssl_accepting or self._ssl_closing):
                TLS_DTPHandler.handle_read_event(self)
                return
            # Reading goes through the fault hooks of handle_read, as without TLS.
            with self._handle_ssl_want_rw():
                self._ssl_want_read = False
                self.handle_read()

        def handle_write_event(self):
            TLS_DTPHandler.handle_write_event(self)
            if self._ssl_accepting and self._ssl_want_read and not self._closed:
                # Until the client's handshake bytes come there is nothing to write: waiting
                # for write events here would spin. The next read event restores them.
                self.modify_ioloop_events(self.ioloop.READ)

        def handle_ssl_established(self):
            if openssl_lib.SSL_session_reused(self.socket._ssl):
                self.cmd_channel.renew_ticket()
                return
            if self._initialized:
                # A transfer waits on this connection: its command gets the 522.
                self._resp = (REUSE_REQUIRED, logging.info)
            else:
                self.cmd_channel.reuse_refused = True
            self._error = True
            self.close()

    class FaultTLSHandler(FaultHandler, TLS_FTPHandler):
        """The control connection under FTPS, as strict as vsftpd with TLS forced."""

        dtp_handler = FaultTLSDTPHandler
        implicit = False  # TLS from the first byte
        context_options = None  # (cert, key, minimum, maximum), set in main
        greeted = False
        reuse_refused = False  # a data connection was refused before its command came

        @classmethod
        def get_ssl_context(cls):
            # One context per control connection: its session cache and ticket keys are its
            # own, so its data connections can resume only its own sessions.
            return make_context(*cls.context_options)

        def handle(self):
            if not self.implicit:
                FaultHandler.handle(self)
                return
            self.secure_connection(self.ssl_context)

        def handle_ssl_established(self):
            if self.implicit and not self.greeted:
                self.greeted = True
                FaultHandler.handle(self)

        def pre_process_command(self, line, cmd, arg):
            if cmd in ("USER", "PASS") and not self._ssl_established:
                self.respond("530 Non-anonymous sessions must use encryption.")
                return
            if cmd in ("PASV", "EPSV", "PORT", "EPRT"):
                self.reuse_refused = False
            if self.authenticated and cmd in DATA_COMMANDS and not self._prot:
                self.drop_data_connection()
                self.respond("521 Data connections must be encrypted.")
                return
            if self.authenticated and cmd in DATA_COMMANDS and self.reuse_refused:
                self.reuse_refused = False
                self.respond(REUSE_REQUIRED)
                return
            FaultHandler.pre_process_command(self, line, cmd, arg)

        def renew_ticket(self):
            # A TLS 1.3 ticket is good for one resumption: each resumed data connection earns
            # a fresh one, sent with the next reply on this connection.
            if libssl is not None and self.socket.get_protocol_version_name() == "TLSv1.3":
                libssl.SSL_new_session_ticket(ssl_pointer(self.socket))


def stop_serving(signum, frame):
    """SIGTERM ends the server at once; the system closes its sockets. (An exception raised
    here can land in a callback that swallows it, and the server would go on.)"""
    sys.stdout.flush()
    os._exit(0)


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", required=True, help="the folder the account sees as /")
    parser.add_argument("--port", type=int, default=0, help="0 picks a free port")
    parser.add_argument("--ipv6", action="store_true", help="listen on ::1")
    parser.add_argument("--fault", action="append", default=[], help="a fault line")
    parser.add_argument("--password", default=PASSWORD, help="the account's password")
    parser.add_argument("--control", help="a file of fault lines, one a line")
    parser.add_argument("--verbose", action="store_true", help="log every command")
    parser.add_argument("--record", help="append every command line received to this file")
    parser.add_argument("--tls", choices=("explicit", "implicit"), help="FTPS")
    parser.add_argument("--tls-cert", help="the server's certificate (PEM, may hold the chain)")
    parser.add_argument("--tls-key", help="its private key (PEM)")
    parser.add_argument("--tls-min", choices=("1.2", "1.3"), default="1.2")
    parser.add_argument("--tls-max", choices=("1.2", "1.3"), default="1.3")
    arguments = parser.parse_args()
    if arguments.tls and not arguments.tls_cert:
        parser.error("--tls needs --tls-cert")
    return arguments


def main():
    arguments = parse_arguments()
    logging.basicConfig(level=logging.DEBUG if arguments.verbose else logging.ERROR,
                        format="ftp_server: %(message)s")
    authorizer = DummyAuthorizer()
    authorizer.add_user(USER, arguments.password, arguments.root, perm="elradfmwMT")
    FaultHandler.authorizer = authorizer
    FaultHandler.faults = FaultBook(arguments.fault, arguments.control)
    if arguments.record:
        FaultHandler.recorder = Recorder(arguments.record)
    handler = FaultHandler
    if arguments.tls:
        if TLS_FTPHandler is None:
            sys.exit("ftp_server: --tls needs python3-openssl")
        handler = FaultTLSHandler
        handler.implicit = arguments.tls == "implicit"
        handler.context_options = (arguments.tls_cert, arguments.tls_key or arguments.tls_cert,
                                   arguments.tls_min, arguments.tls_max)
    host = "::1" if arguments.ipv6 else "127.0.0.1"
    server = FTPServer((host, arguments.port), handler)
    signal.signal(signal.SIGTERM, stop_serving)
    print("READY %d" % server.socket.getsockname()[1], flush=True)
    server.serve_forever(handle_exit=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
