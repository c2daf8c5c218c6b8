#!/usr/bin/python3
"""A long link on loopback: holds every byte for a set time each way, optionally at a set rate.

    relay.py --target 127.0.0.1:2222 --delay-ms 25 [--rate-mbit 0] [--ftp]

Listens on a free loopback port (or --port) and prints "READY <port>" once it accepts. Each
accepted connection is joined to the target; every chunk read on one side is written to the
other side --delay-ms later (so a round trip costs twice that), in order, at most --rate-mbit
(0: no cap). What is held is bounded (--buffer-mib each way); past that the relay stops reading,
as a full link would.

With --ftp the connections are FTP control connections: a passive reply (227 or 229) is answered
with a relay of the same kind for its data connection, so data sees the same delay. Active mode
(PORT/EPRT) and TLS on the control connection are not relayed: the replies could not be read.
--log FILE appends the command word of every line a client sends on a control connection (never
its arguments: PASS carries a password), one a line, so that a run's commands can be counted.

netem would do this in the kernel; it is not available on the machines the benchmark runs on.
"""

import argparse
import asyncio
import re
import sys
import time

CHUNK = 256 * 1024
PASV = re.compile(rb"^227 .*?(\d+),(\d+),(\d+),(\d+),(\d+),(\d+)")
EPSV = re.compile(rb"^229 .*\(\|\|\|(\d+)\|\)")


class Link:
    """One direction: reads from `reader`, writes to `writer` after the delay, in order."""

    def __init__(self, options, reader, writer, rewrite=None):
        self.delay = options.delay_ms / 1000.0
        self.rate = options.rate_mbit * 1e6 / 8 if options.rate_mbit > 0 else 0.0
        self.limit = options.buffer_mib * 1024 * 1024
        self.reader = reader
        self.writer = writer
        self.rewrite = rewrite
        self.queue = asyncio.Queue()
        self.held = 0
        self.room = asyncio.Event()
        self.room.set()

    async def run(self):
        await asyncio.gather(self.take(), self.give())

    async def take(self):
        pending = b""
        while True:
            data = await self.reader.read(CHUNK)
            if not data:
                if pending:
                    await self.hold(pending)
                await self.hold(None)
                return
            if self.rewrite is not None:
                pending += data
                lines = pending.split(b"\n")
                pending = lines.pop()
                data = b"".join([await self.rewrite(line + b"\n") for line in lines])
                if not data:
                    continue
            await self.hold(data)

    async def hold(self, data):
        while data is not None and self.held >= self.limit:
            self.room.clear()
            await self.room.wait()
        if data is not None:
            self.held += len(data)
        self.queue.put_nowait((time.monotonic() + self.delay, data))

    async def give(self):
        free_at = 0.0  # when the capped link has sent what it was given
        while True:
            due, data = await self.queue.get()
            if data is not None and self.rate:
                free_at = max(free_at, due - self.delay) + len(data) / self.rate
                due = max(due, free_at + self.delay)
            wait = due - time.monotonic()
            if wait > 0:
                await asyncio.sleep(wait)
            if data is None:
                if self.writer.can_write_eof():
                    self.writer.write_eof()
                return
            self.writer.write(data)
            await self.writer.drain()
            self.held -= len(data)
            self.room.set()


async def join(options, client_reader, client_writer, target, ftp):
    try:
        server_reader, server_writer = await asyncio.open_connection(*target)
    except OSError:
        client_writer.close()
        return
    rewrite = (lambda line: passive_reply(options, line, target[0])) if ftp else None
    tap = (lambda line: log_command(options.log, line)) if ftp and options.log else None
    try:
        await asyncio.gather(
            Link(options, client_reader, server_writer, tap).run(),
            Link(options, server_reader, client_writer, rewrite).run())
    except (ConnectionError, OSError):
        pass
    finally:
        for writer in (client_writer, server_writer):
            writer.close()


async def log_command(path, line):
    """Notes the command word of a line the client sent; the line goes on unchanged."""
    words = line.split(None, 1)
    if words:
        with open(path, "ab") as log:
            log.write(words[0].upper() + b"\n")
    return line


async def passive_reply(options, line, host):
    """A passive reply points at a data relay of our own, which leads to the server's port."""
    pasv = PASV.match(line)
    epsv = EPSV.match(line)
    if not pasv and not epsv:
        return line
    if pasv:
        numbers = [int(n) for n in pasv.groups()]
        data_host = ".".join(str(n) for n in numbers[:4])
        data_port = numbers[4] * 256 + numbers[5]
    else:
        data_host, data_port = host, int(epsv.group(1))
    port = await listen(options, (data_host, data_port), ftp=False, once=True)
    if pasv:
        return b"227 Entering Passive Mode (127,0,0,1,%d,%d).\r\n" % (port // 256, port % 256)
    return b"229 Entering Extended Passive Mode (|||%d|)\r\n" % port


async def listen(options, target, ftp, once, port=0):
    server = None

    async def accepted(reader, writer):
        if once:
            server.close()
        await join(options, reader, writer, target, ftp)

    server = await asyncio.start_server(accepted, "127.0.0.1", port)
    if once:  # a passive port nobody came for does not stay open
        asyncio.get_running_loop().call_later(60, server.close)
    return server.sockets[0].getsockname()[1]


async def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--target", required=True, help="host:port of the server")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--delay-ms", type=float, default=25.0, help="each way")
    parser.add_argument("--rate-mbit", type=float, default=0.0, help="0: no cap")
    parser.add_argument("--buffer-mib", type=int, default=64, help="held at most, each way")
    parser.add_argument("--ftp", action="store_true", help="relay passive data connections too")
    parser.add_argument("--log", help="with --ftp: append each command word sent to this file")
    options = parser.parse_args()
    host, _, port = options.target.rpartition(":")
    port = await listen(options, (host, int(port)), options.ftp, once=False, port=options.port)
    print(f"READY {port}", flush=True)
    await asyncio.Event().wait()


if __name__ == "__main__":
    try:
        asyncio.run(main())
    except KeyboardInterrupt:
        sys.exit(0)
