#!/usr/bin/python3
"""A small SFTP version 3 server for the tests, started by sshd in place of OpenSSH's
sftp-server (ForceCommand), so the SSH transport stays the real one. It serves the real
folder it is started in, and lies where its lies file (read at each session's start) says:

    posix-rename 1          offer posix-rename@openssh.com (off by default)
    refuse-rename-from N    a RENAME from a path whose last part is N fails (SSH_FX_FAILURE)
    deny-rename 1           every RENAME is refused with SSH_FX_PERMISSION_DENIED
    dots-forever 1          READDIR answers "." and ".." (500 of each) a thousand times over
    trickle-read S          each READ answers one byte, S seconds late
    trickle-list S          each READDIR answers one new entry, S seconds late, up to 400
    trickle-name-size N     those entries' names are N bytes long
    quote TEXT              every refusal's message quotes TEXT
    extra-names A|B         READDIR lists these names too, as files of 5 bytes
    short-writes N          a WRITE's bytes past byte N of the file are answered OK but not kept
    stat-log PATH           each STAT's path is appended to the file PATH, a line each

A plain RENAME over an existing file fails with SSH_FX_FAILURE, as version 3 servers do.
"""
import os
import stat
import struct
import sys
import time

OK, EOF, NO_SUCH_FILE, PERMISSION_DENIED, FAILURE = 0, 1, 2, 3, 4


def read_lies(path):
    lies = {}
    try:
        with open(path, encoding="utf-8") as f:
            for line in f:
                key, _, value = line.rstrip("\n").partition(" ")
                if key:
                    lies[key] = value
    except OSError:
        pass
    return lies


class Reader:
    def __init__(self, data):
        self.data, self.at = data, 0

    def u32(self):
        value = struct.unpack(">I", self.data[self.at:self.at + 4])[0]
        self.at += 4
        return value

    def u64(self):
        value = struct.unpack(">Q", self.data[self.at:self.at + 8])[0]
        self.at += 8
        return value

    def string(self):
        size = self.u32()
        value = self.data[self.at:self.at + size]
        self.at += size
        return value


def string(value):
    if isinstance(value, str):
        value = value.encode()
    return struct.pack(">I", len(value)) + value


def attrs(info):
    mtime = int(info.st_mtime)
    return struct.pack(">IQIIIII", 0x1 | 0x2 | 0x4 | 0x8, info.st_size, info.st_uid, info.st_gid,
                       info.st_mode, mtime, mtime)


def file_attrs(size):
    return struct.pack(">IQI", 0x1 | 0x4, size, stat.S_IFREG | 0o644)


class Server:
    def __init__(self, lies):
        self.lies = lies
        self.handles = {}
        self.next_handle = 0
        self.out = sys.stdout.buffer
        self.served = 0

    def send(self, kind, payload):
        self.out.write(struct.pack(">IB", len(payload) + 1, kind) + payload)
        self.out.flush()

    def status(self, rid, code, message="refused"):
        if code != OK and "quote" in self.lies:
            message = message + ": " + self.lies["quote"]
        self.send(101, struct.pack(">II", rid, code) + string(message) + string(""))

    def failed(self, rid, error):
        code = NO_SUCH_FILE if isinstance(error, FileNotFoundError) else (
            PERMISSION_DENIED if isinstance(error, PermissionError) else FAILURE)
        self.status(rid, code, error.strerror or "failure")

    def handle(self, value):
        self.next_handle += 1
        key = str(self.next_handle).encode()
        self.handles[key] = value
        return key

    def run(self):
        stdin = sys.stdin.buffer
        while True:
            header = stdin.read(4)
            if len(header) < 4:
                return
            body = stdin.read(struct.unpack(">I", header)[0])
            kind = body[0]
            if kind == 1:
                extensions = string("posix-rename@openssh.com") + string("1") \
                    if self.lies.get("posix-rename") == "1" else b""
                self.send(2, struct.pack(">I", 3) + extensions)
                continue
            reader = Reader(body[1:])
            rid = reader.u32()
            try:
                self.request(kind, rid, reader)
            except OSError as error:
                self.failed(rid, error)

    def request(self, kind, rid, r):
        if kind == 3:  # OPEN
            path, flags = r.string(), r.u32()
            mode = os.O_RDWR if flags & 3 == 3 else (os.O_WRONLY if flags & 2 else os.O_RDONLY)
            mode |= (os.O_CREAT if flags & 8 else 0) | (os.O_TRUNC if flags & 16 else 0)
            fd = os.open(path, mode, 0o644)
            self.send(102, struct.pack(">I", rid) + string(self.handle(("file", fd))))
        elif kind == 4:  # CLOSE
            kept = self.handles.pop(r.string(), None)
            if kept and kept[0] == "file":
                os.close(kept[1])
            self.status(rid, OK, "ok")
        elif kind == 5:  # READ
            kept, offset, size = self.handles[r.string()], r.u64(), r.u32()
            if "trickle-read" in self.lies:
                time.sleep(float(self.lies["trickle-read"]))
                size = 1
            data = os.pread(kept[1], size, offset)
            if data:
                self.send(103, struct.pack(">I", rid) + string(data))
            else:
                self.status(rid, EOF, "end")
        elif kind == 6:  # WRITE
            kept, offset, data = self.handles[r.string()], r.u64(), r.string()
            if "short-writes" in self.lies:
                data = data[:max(0, int(self.lies["short-writes"]) - offset)]
            os.pwrite(kept[1], data, offset)
            self.status(rid, OK, "ok")
        elif kind in (7, 17):  # LSTAT, STAT
            path = r.string()
            if kind == 17 and "stat-log" in self.lies:
                with open(self.lies["stat-log"], "ab") as log:
                    log.write(path + b"\n")
            info = os.lstat(path) if kind == 7 else os.stat(path)
            self.send(105, struct.pack(">I", rid) + attrs(info))
        elif kind == 8:  # FSTAT
            self.send(105, struct.pack(">I", rid) + attrs(os.fstat(self.handles[r.string()][1])))
        elif kind == 11:  # OPENDIR
            path = r.string()
            names = [(n, False) for n in sorted(os.listdir(path))]
            extra = self.lies.get("extra-names", "")
            names += [(n.encode(), True) for n in (extra.split("|") if extra else [])]
            self.send(102, struct.pack(">I", rid) + string(self.handle(("dir", path, names))))
        elif kind == 12:  # READDIR
            self.readdir(rid, self.handles[r.string()])
        elif kind == 13:  # REMOVE
            os.unlink(r.string())
            self.status(rid, OK, "ok")
        elif kind == 14:  # MKDIR
            os.mkdir(r.string())
            self.status(rid, OK, "ok")
        elif kind == 15:  # RMDIR
            os.rmdir(r.string())
            self.status(rid, OK, "ok")
        elif kind == 16:  # REALPATH
            path = os.path.realpath(r.string())
            self.send(104, struct.pack(">II", rid, 1) + string(path) + string(path) +
                      struct.pack(">I", 0))
        elif kind == 18:  # RENAME
            self.rename(rid, r.string(), r.string())
        elif kind == 200 and r.string() == b"posix-rename@openssh.com":
            os.rename(r.string(), r.string())
            self.status(rid, OK, "ok")
        else:
            self.status(rid, 8, "unsupported")

    def rename(self, rid, old, new):
        if self.lies.get("deny-rename") == "1":
            return self.status(rid, PERMISSION_DENIED, "permission denied")
        if os.path.basename(old).decode() == self.lies.get("refuse-rename-from"):
            return self.status(rid, FAILURE, "failure")
        if os.path.lexists(new):
            return self.status(rid, FAILURE, "failure")
        os.rename(old, new)
        self.status(rid, OK, "ok")

    def readdir(self, rid, kept):
        _, path, names = kept
        if self.lies.get("dots-forever") == "1":
            self.served += 1  # a million of each at most, to end a client that never stops
            entries = [] if self.served > 1000 else \
                [(b".", attrs(os.stat(path))), (b"..", attrs(os.stat(path)))] * 500
        elif "trickle-list" in self.lies:
            time.sleep(float(self.lies["trickle-list"]))
            self.served += 1
            name = (b"t%d-" % self.served).ljust(int(self.lies.get("trickle-name-size", 0)), b"x")
            entries = [] if self.served > 400 else [(name, file_attrs(5))]
        else:
            entries = [(n, file_attrs(5) if extra else attrs(os.lstat(os.path.join(path, n))))
                       for n, extra in names]
            names.clear()
        if not entries:
            return self.status(rid, EOF, "end")
        payload = struct.pack(">II", rid, len(entries))
        for name, attributes in entries:
            payload += string(name) + string(name) + attributes
        self.send(104, payload)


if __name__ == "__main__":
    os.chdir(sys.argv[1])
    Server(read_lies(sys.argv[2])).run()
