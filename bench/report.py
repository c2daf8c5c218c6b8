#!/usr/bin/python3
"""Turns the samples of bench/run.sh into one Markdown table.

Usage: report.py [--no-ftps] [--wan COMMANDS WAN_MIB DELAY_MS] SAMPLES RUNS SMALL_FILES LARGE_MIB

SAMPLES has one line per run: key, wall seconds, user seconds, system seconds, peak RSS in KiB
(tab-separated). Keys are SERVER.CASE.DIRECTION.TOOL; CASE "large" is the 256 MiB file on the
disk folder, "tmpfs" the same with the local folder on a tmpfs, "tls" the same over FTPS;
"sftp.large.*" is the file over SFTP (TOOL skyhaul or sftp), "digests.on/off.*" the
file with and without the server's digests, "digests.hash.server/none.curl" a session with and
without the server hashing the file, "disk.large.write.dd" dd's write+fdatasync of it, TOOL
"curlsync" curl followed by an fdatasync of its file.
Per-run figures are computed first and their medians reported. --no-ftps: the program was built
without FTPS, so its FTPS cells read "n/a" and only the reference's are filled. Skyhaul's
transfer time is its wall time less the fixed waits of its job: 5 s at the end plus 0.1 s per
downloaded or 1.1 s per uploaded file.
--wan: the "wan.*" keys are runs through a relay holding every byte DELAY_MS each way, the
WAN_MIB file over SFTP (TOOL skyhaul or sftp) and FTP (skyhaul, curl, lftp), and the small files
(skyhaul, lftp); COMMANDS has one line per run: key and the commands the FTP control connection
carried.
"""

import statistics
import sys
from collections import defaultdict

END_WAIT = 5.0
WAIT_PER_FILE = {"down": 0.1, "up": 1.1}
SERVERS = (("vsftpd", "vsftpd"), ("pyftpd", "pyftpdlib"))
NO_FTPS = "n/a (no FTPS in this build)"
DOWN_TARGET = ">= 1.0"
UP_TARGET = ">= 1.1"
CPU_TARGET = 1.2


def load_commands(path):
    counts = defaultdict(list)
    with open(path, encoding="utf-8") as lines:
        for line in lines:
            key, count = line.split("\t")
            counts[key].append(int(count))
    return counts


def load(path):
    samples = defaultdict(list)
    with open(path, encoding="utf-8") as lines:
        for line in lines:
            key, wall, user, system, rss = line.split("\t")
            samples[key].append(
                {"wall": float(wall), "cpu": float(user) + float(system), "rss": int(rss)})
    return samples


class Report:
    def __init__(self, samples, small_files, large_mib, ftps=True, wan=None):
        self.samples = samples
        self.wan = wan  # (commands, MiB, delay in ms) of the runs through the relay
        self.ftps = ftps
        self.small_files = small_files
        self.large_bytes = large_mib * 1024 * 1024
        self.large_mib = large_mib
        self.rows = []

    def median(self, key, figure):
        values = [figure(run) for run in self.samples.get(key, [])]
        return statistics.median(values) if values else None

    def transfer_seconds(self, run, direction, files):
        return run["wall"] - END_WAIT - WAIT_PER_FILE[direction] * files

    def large_throughput(self, server, direction, case="large"):
        """Median MB/s of Skyhaul (beyond its waits) and of curl, with the times they rest on."""
        key = f"{server}.{case}.{direction}"
        mb = self.large_bytes / 1e6
        ours = self.median(f"{key}.skyhaul", lambda r: mb / self.transfer_seconds(r, direction, 1))
        transfer = self.median(f"{key}.skyhaul", lambda r: self.transfer_seconds(r, direction, 1))
        wall = self.median(f"{key}.skyhaul", lambda r: r["wall"])
        theirs = self.median(f"{key}.curl", lambda r: mb / r["wall"])
        their_wall = self.median(f"{key}.curl", lambda r: r["wall"])
        return (f"{ours:.0f} ({transfer:.3f} s; {wall:.2f} s wall)", f"{theirs:.0f} ({their_wall:.3f} s)",
                ours / theirs)

    def small_per_file(self, server, direction):
        key = f"{server}.small.{direction}"
        n = self.small_files
        ours = self.median(f"{key}.skyhaul", lambda r: self.transfer_seconds(r, direction, n) / n * 1e3)
        theirs = self.median(f"{key}.lftp", lambda r: r["wall"] / n * 1e3)
        return f"{ours:.2f}", f"{theirs:.2f}", ours / theirs

    def cpu_per_gib(self, server, direction, case="large"):
        key = f"{server}.{case}.{direction}"
        gib = self.large_bytes / 2**30
        ours = self.median(f"{key}.skyhaul", lambda r: r["cpu"] / gib)
        theirs = self.median(f"{key}.curl", lambda r: r["cpu"] / gib)
        return f"{ours:.3f}", f"{theirs:.3f}", ours / theirs if theirs > 0 else None

    def add(self, measure, cells, target, met):
        row = [measure]
        for server, _ in SERVERS:
            ours, theirs, ratio = cells.get(server, ("", "", None))
            row += [ours, theirs, "" if ratio is None else f"{ratio:.2f}"]
        row += [target, met]
        self.rows.append(row)

    def has(self, *keys):
        """Whether every key has samples: a run of some parts only leaves the others out."""
        return all(self.samples.get(key) for key in keys)

    def build(self):
        if self.has("vsftpd.large.down.skyhaul", "pyftpd.large.down.skyhaul"):
            self.build_large()
        if self.has("vsftpd.large.down.curlsync", "pyftpd.large.down.curlsync", "disk.large.write.dd"):
            self.build_durable()
        if self.has("vsftpd.small.down.skyhaul", "pyftpd.small.down.skyhaul"):
            self.build_small()
        if self.has("vsftpd.large.down.skyhaul", "pyftpd.large.down.skyhaul"):
            self.build_cpu()
        if self.has("vsftpd.one.down.skyhaul", "vsftpd.large.down.skyhaul"):
            self.build_memory()
        if self.has("vsftpd.large.down.window", "vsftpd.large.down.console"):
            self.build_window()
        if self.has("vsftpd.tmpfs.down.skyhaul", "pyftpd.tmpfs.down.skyhaul"):
            self.build_tmpfs()
        if self.has("vsftpd.tls.down.curl"):
            self.build_tls()
        if self.has("vsftpd.listing.first.skyhaul"):
            self.build_listing()
        if self.has("sftp.large.down.skyhaul", "sftp.large.up.sftp"):
            self.build_sftp()
        if self.has("digests.on.down.skyhaul", "digests.hash.server.curl"):
            self.build_digests()
        if self.wan and self.has("wan.sftp.down.skyhaul", "wan.small.up.lftp"):
            self.build_wan()

    def waits(self, direction, files):
        return f"5 s + {WAIT_PER_FILE[direction]:g} s x {files}"

    def build_wan(self):
        """Through the relay: the large file over SFTP and FTP, the small files over FTP, and
        the commands the FTP control connection carried."""
        commands, mib, delay = self.wan
        mb = mib * 1024 * 1024 / 1e6
        link = f"{2 * delay:g} ms round trip"
        targets = {("sftp", "down"): 2.0, ("sftp", "up"): 1.5, ("ftp", "down"): 1.0, ("ftp", "up"): 1.0}
        for protocol, reference in (("sftp", "sftp"), ("ftp", "curl")):
            for direction, word in (("down", "download"), ("up", "upload")):
                key = f"wan.{protocol}.{direction}"
                ours = self.median(f"{key}.skyhaul", lambda r: mb / self.transfer_seconds(r, direction, 1))
                transfer = self.median(f"{key}.skyhaul", lambda r: self.transfer_seconds(r, direction, 1))
                theirs = self.median(f"{key}.{reference}", lambda r: mb / r["wall"])
                their_wall = self.median(f"{key}.{reference}", lambda r: r["wall"])
                cell = f"{theirs:.1f} ({their_wall:.2f} s)"
                if protocol == "ftp":
                    lftp = self.median(f"{key}.lftp", lambda r: mb / r["wall"])
                    cell += f"; lftp {lftp:.1f}"
                ratio = ours / theirs
                target = targets[(protocol, direction)]
                name = "OpenSSH sftp -b" if protocol == "sftp" else "curl"
                self.add(f"{mib} MiB {word} over {protocol.upper()}, {link}, MB/s (transfer s, less "
                         f"{self.waits(direction, 1)}) vs {name}",
                         {"vsftpd": (f"{ours:.1f} ({transfer:.2f} s)", cell, ratio)},
                         f">= {target:.1f}", "yes" if ratio >= target else "no")
        n = self.small_files
        for direction, word, tool in (("down", "download", "mget"), ("up", "upload", "mput")):
            key = f"wan.small.{direction}"
            ours = self.median(f"{key}.skyhaul", lambda r: self.transfer_seconds(r, direction, n) / n * 1e3)
            theirs = self.median(f"{key}.lftp", lambda r: r["wall"] / n * 1e3)
            ratio = ours / theirs
            self.add(f"{n} x 10 KiB {word}, {link}, ms per file less {self.waits(direction, n)} "
                     f"vs lftp {tool}", {"vsftpd": (f"{ours:.1f}", f"{theirs:.1f}", ratio)},
                     "<= 1.0", "yes" if ratio <= 1.0 else "no")
        for direction, word, tool in (("down", "download", "mget"), ("up", "upload", "mput")):
            key = f"wan.small.{direction}"
            ours = statistics.median(commands[f"{key}.skyhaul"]) / n
            theirs = statistics.median(commands[f"{key}.lftp"]) / n
            ratio = ours / theirs
            self.add(f"{n} x 10 KiB {word}, control commands per file (the session's own shared "
                     f"out) vs lftp {tool}", {"vsftpd": (f"{ours:.2f}", f"{theirs:.2f}", ratio)},
                     "<= 1.0", "yes" if ratio <= 1.0 else "no")
        for direction, word in (("down", "download"), ("up", "upload")):
            key = f"wan.ftp.{direction}"
            ours, curl, lftp = (statistics.median(commands[f"{key}.{tool}"]) for tool in ("skyhaul", "curl", "lftp"))
            self.add(f"{mib} MiB {word} over FTP, control commands of the session vs curl",
                     {"vsftpd": (f"{ours:g}", f"{curl:g}; lftp {lftp:g}", ours / curl)}, "", "")

    @staticmethod
    def target(direction):
        return DOWN_TARGET if direction == "down" else UP_TARGET

    @staticmethod
    def large_met(ratio, direction):
        return "yes" if ratio >= (1.0 if direction == "down" else 1.1) else "no"

    def build_large(self):
        for direction, word in (("down", "download, durable"), ("up", "upload")):
            cells = {s: self.large_throughput(s, direction) for s, _ in SERVERS}
            target = "(see the durable rows)" if direction == "down" else UP_TARGET
            met = "" if direction == "down" else self.large_met(cells["vsftpd"][2], direction)
            self.add(f"{self.large_mib} MiB {word}, MB/s vs curl", cells, target, met)

    def build_durable(self):
        """The durable download against curl + fdatasync, and against the lower of curl's
        page-cache rate and the disk's own write+fdatasync rate."""
        mb = self.large_bytes / 1e6
        cells = {}
        for server, _ in SERVERS:
            key = f"{server}.large.down"
            ours = self.median(f"{key}.skyhaul", lambda r: mb / self.transfer_seconds(r, "down", 1))
            synced = self.median(f"{key}.curlsync", lambda r: mb / r["wall"])
            wall = self.median(f"{key}.curlsync", lambda r: r["wall"])
            cells[server] = (f"{ours:.0f}", f"{synced:.0f} ({wall:.3f} s)", ours / synced)
        ratio = cells["vsftpd"][2]
        self.add(f"{self.large_mib} MiB download to disk, durable, MB/s vs curl + fdatasync",
                 cells, ">= 1.1", "yes" if ratio >= 1.1 else "no")
        ours = self.median("vsftpd.large.down.skyhaul",
                           lambda r: mb / self.transfer_seconds(r, "down", 1))
        curl = self.median("vsftpd.large.down.curl", lambda r: mb / r["wall"])
        disk = self.median("disk.large.write.dd", lambda r: mb / r["wall"])
        limit = min(curl, disk)
        self.add(f"Same, vs the lower of curl's page-cache rate and dd's write+fdatasync, MB/s",
                 {"vsftpd": (f"{ours:.0f}", f"curl {curl:.0f}, dd {disk:.0f}", ours / limit)},
                 ">= 0.9", "yes" if ours / limit >= 0.9 else "no")

    def build_tmpfs(self):
        for direction, word in (("down", "download"), ("up", "upload")):
            cells = {s: self.large_throughput(s, direction, "tmpfs") for s, _ in SERVERS}
            self.add(f"{self.large_mib} MiB {word}, local folder on tmpfs, MB/s vs curl", cells,
                     self.target(direction), self.large_met(cells["vsftpd"][2], direction))

    def build_sftp(self):
        mb = self.large_bytes / 1e6
        gib = self.large_bytes / 2**30
        for direction, word in (("down", "download"), ("up", "upload")):
            key = f"sftp.large.{direction}"
            ours = self.median(f"{key}.skyhaul", lambda r: mb / self.transfer_seconds(r, direction, 1))
            transfer = self.median(f"{key}.skyhaul", lambda r: self.transfer_seconds(r, direction, 1))
            theirs = self.median(f"{key}.sftp", lambda r: mb / r["wall"])
            their_wall = self.median(f"{key}.sftp", lambda r: r["wall"])
            ratio = ours / theirs
            self.add(f"{self.large_mib} MiB {word} over SFTP, MB/s vs OpenSSH sftp -b",
                     {"vsftpd": (f"{ours:.0f} ({transfer:.3f} s)", f"{theirs:.0f} ({their_wall:.3f} s)", ratio)},
                     ">= 1.0", "yes" if ratio >= 1.0 else "no")
        for direction, word in (("down", "download"), ("up", "upload")):
            key = f"sftp.large.{direction}"
            ours = self.median(f"{key}.skyhaul", lambda r: r["cpu"] / gib)
            theirs = self.median(f"{key}.sftp", lambda r: r["cpu"] / gib)
            self.add(f"CPU s per GiB over SFTP, {word}, vs OpenSSH sftp -b",
                     {"vsftpd": (f"{ours:.3f}", f"{theirs:.3f}", ours / theirs)}, "", "")

    def build_digests(self):
        """Transfer time with the server's SHA-256 checked, less the server's own hashing,
        against the time with digests off."""
        hashing = (self.median("digests.hash.server.curl", lambda r: r["wall"]) -
                   self.median("digests.hash.none.curl", lambda r: r["wall"]))
        for direction, word in (("down", "download"), ("up", "upload")):
            on = self.median(f"digests.on.{direction}.skyhaul",
                             lambda r: self.transfer_seconds(r, direction, 1))
            off = self.median(f"digests.off.{direction}.skyhaul",
                              lambda r: self.transfer_seconds(r, direction, 1))
            ratio = (on - hashing) / off
            self.add(f"{self.large_mib} MiB {word}, test server, SHA-256 checked less the server's "
                     f"hashing ({hashing:.3f} s) vs digests off, s",
                     {"vsftpd": (f"{on:.3f} - {hashing:.3f}", f"{off:.3f}", ratio)}, "<= 1.10",
                     "yes" if ratio <= 1.10 else "no")

    def build_tls(self):
        """FTPS against vsftpd only; without FTPS in the program, curl's figures alone."""
        mb = self.large_bytes / 1e6
        gib = self.large_bytes / 2**30
        for direction, word in (("down", "download"), ("up", "upload")):
            measure = f"{self.large_mib} MiB {word} over FTPS, MB/s vs curl --ssl-reqd"
            if self.ftps:
                cells = {"vsftpd": self.large_throughput("vsftpd", direction, "tls")}
                self.add(measure, cells, self.target(direction),
                         self.large_met(cells["vsftpd"][2], direction))
            else:
                key = f"vsftpd.tls.{direction}.curl"
                rate = self.median(key, lambda r: mb / r["wall"])
                wall = self.median(key, lambda r: r["wall"])
                self.add(measure, {"vsftpd": (NO_FTPS, f"{rate:.0f} ({wall:.3f} s)", None)},
                         self.target(direction), "n/a")
        for direction, word in (("down", "download"), ("up", "upload")):
            measure = f"CPU s (user + sys) per GiB over FTPS, {word}, vs curl --ssl-reqd"
            if self.ftps:
                cells = {"vsftpd": self.cpu_per_gib("vsftpd", direction, "tls")}
                ratio = cells["vsftpd"][2]
                self.add(measure, cells, f"<= {CPU_TARGET}",
                         "yes" if ratio is not None and ratio <= CPU_TARGET else "no")
            else:
                cpu = self.median(f"vsftpd.tls.{direction}.curl", lambda r: r["cpu"] / gib)
                self.add(measure, {"vsftpd": (NO_FTPS, f"{cpu:.3f}", None)}, f"<= {CPU_TARGET}", "n/a")

    def build_small(self):
        for direction, word, tool in (("down", "download", "mget"), ("up", "upload", "mput")):
            cells = {s: self.small_per_file(s, direction) for s, _ in SERVERS}
            ratio = cells["vsftpd"][2]
            self.add(f"{self.small_files} x 10 KiB {word}, ms per file beyond the waits vs lftp {tool}",
                     cells, "<= 1.5", "yes" if ratio <= 1.5 else "no")

    def build_cpu(self):
        for direction, word in (("down", "download"), ("up", "upload")):
            cells = {s: self.cpu_per_gib(s, direction) for s, _ in SERVERS}
            ratio = cells["vsftpd"][2]
            self.add(f"CPU s (user + sys) per GiB, {word}, vs curl", cells, f"<= {CPU_TARGET}",
                     "yes" if ratio is not None and ratio <= CPU_TARGET else "no")

    def build_memory(self):
        for direction, word in (("down", "download"), ("up", "upload")):
            small = self.median(f"vsftpd.one.{direction}.skyhaul", lambda r: r["rss"] / 1024)
            large = self.median(f"vsftpd.large.{direction}.skyhaul", lambda r: r["rss"] / 1024)
            curl = self.median(f"vsftpd.large.{direction}.curl", lambda r: r["rss"] / 1024)
            py_large = self.median(f"pyftpd.large.{direction}.skyhaul", lambda r: r["rss"] / 1024)
            py_curl = self.median(f"pyftpd.large.{direction}.curl", lambda r: r["rss"] / 1024)
            cells = {
                "vsftpd": (f"{small:.1f} / {large:.1f}", f"curl {curl:.1f}", None),
                "pyftpd": (f"- / {py_large:.1f}", f"curl {py_curl:.1f}", None),
            }
            met = large <= 32 and small <= 32 and abs(large - small) <= 1
            self.add(f"Peak RSS MiB, {word}, 1 MiB / {self.large_mib} MiB file (growth "
                     f"{large - small:+.2f} MiB)", cells, "<= 32, growth <= 1", "yes" if met else "no")

    def build_window(self):
        mb = self.large_bytes / 1e6
        window = self.median("vsftpd.large.down.window", lambda r: mb / self.transfer_seconds(r, "down", 1))
        console = self.median("vsftpd.large.down.console", lambda r: mb / self.transfer_seconds(r, "down", 1))
        ratio = window / console
        self.add(f"Window (Xvfb) vs console view, {self.large_mib} MiB download, MB/s",
                 {"vsftpd": (f"{window:.0f}", f"console {console:.0f}", ratio)}, ">= 0.9",
                 "yes" if ratio >= 0.9 else "no")

    def build_listing(self):
        wall = self.median("vsftpd.listing.first.skyhaul", lambda r: r["wall"])
        cpu = self.median("vsftpd.listing.first.skyhaul", lambda r: r["cpu"])
        self.add("230,000-entry listing to the first transfer, s (CPU s)",
                 {"vsftpd": (f"{wall:.2f} ({cpu:.2f})", "", None)}, "a few seconds (<= 5)",
                 "yes" if wall <= 5 else "no")

    def markdown(self):
        header = ["Measure"]
        for _, name in SERVERS:
            header += [f"{name}: Skyhaul", f"{name}: reference", f"{name}: ratio"]
        header += ["Target (ratio, vsftpd)", "Met"]
        lines = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
        lines += ["| " + " | ".join(row) + " |" for row in self.rows]
        return "\n".join(lines)


def main():
    arguments = sys.argv[1:]
    ftps = "--no-ftps" not in arguments
    arguments = [a for a in arguments if a != "--no-ftps"]
    wan = None
    if "--wan" in arguments:
        at = arguments.index("--wan")
        wan = (load_commands(arguments[at + 1]), int(arguments[at + 2]), float(arguments[at + 3]))
        del arguments[at:at + 4]
    path, runs, small_files, large_mib = arguments[0], int(arguments[1]), int(arguments[2]), int(arguments[3])
    report = Report(load(path), small_files, large_mib, ftps, wan)
    report.build()
    print(report.markdown())
    print()
    print(f"Medians of {runs} runs. Ratios are Skyhaul / reference. Skyhaul's MB/s is over its "
          f"transfer time (wall time less the job's fixed waits).")


if __name__ == "__main__":
    main()
