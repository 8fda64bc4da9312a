#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
# qelkit-agg under limits of size, memory, threads and a file that changes while it is read.
#
# - Rows longer than 64 MiB (a long quoted field over many lines, an unclosed quote) are bad rows
#   with the right line numbers on a named file and a pipe alike; a header row that long ends the
#   run, also on endless input (/dev/zero); a one-line file is not held in memory; a large stream
#   is read in the memory the manual gives for --jobs 2, and --rows memory does not grow with
#   distinct keys.
# - A thread that cannot start (address space limit) ends the run with a message and status 2,
#   no signal and no partial output.
# - A file that is truncated while it is mapped, named or on standard input, ends the run with
#   status 2 and one message; a SIGBUS sent by kill keeps its default action.
# - On a terminal a progress line shows percent, rows per second and time left (on a pipe rows
#   and rows per second only), at most ten times a second, and is cleared before any other
#   message; --quiet turns it off.
#
# Usage: agg_limits_test.py QELKIT_AGG GEN_SAMPLE SAMPLE_CSV   (TZ=UTC)
import gzip
import os
import pathlib
import pty
import re
import resource
import select
import signal
import subprocess
import sys
import tempfile
import time

AGG, GEN, SAMPLE = sys.argv[1:4]
# Sanitizers multiply memory and address space: the checks that measure them are left out.
SANITIZERS = os.environ.get("QELKIT_AGG_SANITIZERS", "")
SANITIZED = bool(SANITIZERS)
failures = []


# Records a failure unless `ok`.
def check(ok, text):
    if not ok:
        failures.append(text)
        print("FAIL:", text)


# qelkit-agg with `args`, `data` written to its standard input.
def agg(args, data=None, **kw):
    return subprocess.run([AGG, *args], input=data, capture_output=True, timeout=300, **kw)


# The exit status, and standard output and error where given (bytes and text).
def expect(what, r, status, out=None, err=None):
    check(r.returncode == status and out in (None, r.stdout) and err in (None, r.stderr.decode()),
          f"{what}: exit {r.returncode}, {r.stdout[:200]!r}, {r.stderr.decode()[-400:]!r}")


# Runs each step in a scratch directory removed afterwards; the exit status.
def run_all(*steps):
    with tempfile.TemporaryDirectory() as work:
        os.chdir(work)
        for step in steps:
            step()
        os.chdir("/")
    print(f"{len(failures)} failure(s)")
    return 1 if failures else 0


MIB = 1 << 20
LONG = "the row is longer than 64 MiB"


# Line 2 holds a quoted field of 65,600 lines of 1 KiB (over 64 MiB), so the next row is
# on line 2 + 65,601; the rows around it are grouped or reported as usual. Then a quote
# opened on line 2 and never closed: the rest of the input is that one row.
def long_rows():
    lines = (b"x" * 1023 + b"\n") * 65600
    head = b"period\tc2\tcount\tsum_c3\tmin_c3\tmax_c3\tmean_c3\n2026-03-02 10:00:00\ta\t1\t1\t1\t1\t1\n"
    first = b"2026-03-02 10:00:00,a,1\n2026-03-02 10:20:00,a,\"" + lines
    for data, out, err in (
            (first + b"\",1\n2026-03-02 11:00:00,b,2\nbad,b,2\n",
             head + b"2026-03-02 11:00:00\tb\t1\t2\t2\t2\t2\n",
             "{0}:2: {1}\nqelkit-agg: {0}:65604: time does not parse: 'bad'\n"
             "qelkit-agg: 4 rows read, 2 grouped, 2 skipped; period Hour\n"),
            (first, head, "{0}:2: {1}\nqelkit-agg: 2 rows read, 1 grouped, 1 skipped; period Hour\n")):
        pathlib.Path("long.csv").write_bytes(data)
        for name, r in (("long.csv", agg(["-k", "2", "-p", "hour", "long.csv"])),
                        ("-", agg(["-k", "2", "-p", "hour", "-"], data=data))):
            expect(f"long row in {name}", r, 0, out, "qelkit-agg: " + err.format(name, LONG))
    os.unlink("long.csv")


# Runs the tool, writing `feed` (a block and how often) to its standard input; its status,
# the peak of `field` of /proc/PID/status while it ran (KiB) and its messages. VmHWM is the
# peak resident memory; RssAnon leaves out the pages of a mapped file.
def peak_kib(args, feed=None, field="VmHWM"):
    child = subprocess.Popen([AGG, *args], stdin=subprocess.PIPE if feed else None,
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    peak = 0

    def sample():
        nonlocal peak
        try:
            with open(f"/proc/{child.pid}/status") as status:
                peak = max([peak] + [int(s.split()[1]) for s in status if s.startswith(field)])
        except OSError:
            pass
    for _ in range(feed[1] if feed else 0):
        child.stdin.write(feed[0])
        sample()
    if feed:
        child.stdin.close()
    deadline = time.monotonic() + 120  # a hung tool fails the test instead of stalling it
    while child.poll() is None:
        sample()
        if time.monotonic() > deadline:
            child.kill()
        time.sleep(0.002)
    return child.returncode, peak, child.stderr.read().decode()


# A header row longer than the limit ends the run at once, however long the input; large
# inputs are read in bounded memory.
def endless_and_large():
    with open("/dev/zero", "rb") as zero:
        expect("/dev/zero", agg(["--header", "-p", "hour", "-"], stdin=zero), 2, b"",
               "qelkit-agg: -:1: the header row is longer than 64 MiB\n")
    # 100 MB on one line: the first row rules without --values, is one bad row with them; the
    # tool holds neither it nor its 50 million fields.
    pathlib.Path("wide.csv").write_bytes(b"2026-03-02 10:00:00,a," + b"1," * (50 * MIB) + b"1\n")
    for args, want in (
            ([], (2, "wide.csv:1: the first row, which sets the value columns, is longer than "
                     "64 MiB\n")),
            (["-v", "3"], (1, f"wide.csv:1: {LONG}\nqelkit-agg: 1 row read, 0 grouped, 1 "
                              "skipped; period Hour\n"))):
        status, peak, err = peak_kib(["-k", "2", *args, "-p", "hour", "wide.csv"], field="RssAnon")
        check((status, err) == (want[0], "qelkit-agg: " + want[1]) and (peak <= 100 * 1024 or SANITIZED),
              f"one-line file {args}: exit {status}, {peak} KiB, {err!r}")
    os.unlink("wide.csv")
    if SANITIZED:
        return
    # 200 MB through a pipe, plain and as gzip members, in far less memory: the same row block
    # again and again. The manual's bound at --jobs 2: (min(2 * 2 + 2, 12) + 1) chunks of
    # 4.5 MiB, and 16 MiB for the program, its threads and the groups.
    block = b"".join(b"2026-03-02 10:%02d:00,dev-%d,1.5\n" % (i % 60, i % 7) for i in range(30000))
    for piece in (block, gzip.compress(block)):
        status, peak, err = peak_kib(["-j", "2", "-k", "2", "-p", "hour", "-"],
                                     (piece, 200 * MIB // len(block)))
        check(status == 0 and peak <= (min(2 * 2 + 2, 12) + 1) * 4.5 * 1024 + 16 * 1024,
              f"large stream: status {status}, peak {peak} KiB: {err}")
    # --rows streams its lines: twice as many distinct keys (60 bytes each) cost no more. One
    # thread, so that how many chunk results wait to be merged does not depend on the load.
    peaks = []
    for n in (200000, 400000):
        rows = (f"2024-01-01 {i // 3600 % 24:02d}:{i // 60 % 60:02d}:{i % 60:02d},k{i:059d},1\n"
                for i in range(n))
        pathlib.Path(f"keys{n}.csv").write_text("".join(rows))
        peaks.append(peak_kib(["-j", "1", "--rows", "-k", "2", "-p", "hour", f"keys{n}.csv"],
                              field="RssAnon")[:2])
    check(peaks[0][0] == peaks[1][0] == 0 and peaks[1][1] < peaks[0][1] + 4096,
          f"--rows peak memory grows with distinct keys: {peaks} (status, KiB)")


# Under an address space limit that leaves room for some dozens of threads.
def few_threads():
    if SANITIZED:  # the sanitizers reserve terabytes of address space
        return
    limit = 600000 * 1024
    for name, data in ((SAMPLE, None), ("-", pathlib.Path(SAMPLE).read_bytes())):
        r = agg(["-j", "256", "--header", "-k", "2", "-p", "hour", name], data=data,
                preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_AS, (limit, limit)))
        check(r.returncode == 2 and not r.stdout and b"threads could start" in r.stderr,
              f"-j 256 under a limit, {name}: exit {r.returncode}, {r.stderr.decode()[-300:]}")


# A sparse 1 GiB file, truncated (or sent SIGBUS by kill) once the tool has mapped it, given
# by name or redirected to standard input.
def truncation():
    cases = [("1", "big.csv", False), ("2", "-", False), ("2", "big.csv", True)]
    # ThreadSanitizer runs the handler of a signal sent by kill at a point of its own choosing,
    # where re-raising it sometimes ends the process with SIGSEGV: the other builds check that.
    for jobs, name, kill in cases[:2] if "thread" in SANITIZERS else cases:
        with open("big.csv", "wb") as f:
            f.write(b"2026-03-02 10:00:00,1\n")
            f.truncate(1 << 30)
        with open("big.csv", "rb") as source:
            child = subprocess.Popen([AGG, "-j", jobs, "-p", "hour", name], stdin=source,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        deadline = time.time() + 30
        while time.time() < deadline and child.poll() is None:
            try:
                if "big.csv" in open(f"/proc/{child.pid}/maps").read():
                    break
            except OSError:
                break
            time.sleep(0.005)
        if kill:
            child.send_signal(signal.SIGBUS)
        else:
            os.truncate("big.csv", 0)
        try:
            err = child.communicate(timeout=120)[1].decode()
        except subprocess.TimeoutExpired:
            child.kill()
            err = child.communicate()[1].decode()
        # A SIGBUS sent by a process is no fault in the mapping: its default action kills.
        want = (-signal.SIGBUS, err) if kill else (2, f"qelkit-agg: {name}: the file was "
                                                      "truncated or could not be read while it "
                                                      "was being read\n")
        check((child.returncode, err) == want, f"{'SIGBUS' if kill else 'truncated'} with "
              f"--jobs {jobs}, {name}: exit {child.returncode}, {err!r}")


# What the tool writes on a pseudo-terminal as its standard error, and how long it ran.
def on_terminal(args, piped):
    # The test keeps its own end of the terminal open until the child has exited and all it
    # wrote has been read: a terminal whose last writer closes may drop unread output.
    primary, secondary = pty.openpty()
    started = time.monotonic()
    feeder = subprocess.Popen(["cat", "slow.csv"], stdout=subprocess.PIPE) if piped else None
    child = subprocess.Popen([AGG, "-j", "1", *args, "-" if piped else "slow.csv"],
                             stdin=feeder.stdout if piped else None, stdout=subprocess.DEVNULL,
                             stderr=secondary, env=dict(os.environ, QELKIT_AGG_CHUNK_SIZE="16384"))
    if feeder:
        feeder.stdout.close()
    raw, exited = b"", None
    while exited is None or select.select([primary], [], [], 0.5)[0]:
        if select.select([primary], [], [], 0.2)[0]:
            raw += os.read(primary, 65536)
        elif exited is None and child.poll() is not None:
            exited = time.monotonic()
        elif exited is None and time.monotonic() - started > 300:
            child.kill()
    os.close(primary)
    os.close(secondary)
    if feeder:
        feeder.wait()
    return raw.decode(), exited - started


def progress():
    with open("slow.csv", "wb") as f:
        subprocess.run([GEN, "300000", "10", "7"], stdout=f, check=True)
        f.write(b"bad,dev-01,1,2,3,4\n")
    args = ["--header", "-k", "2", "-p", "hour"]
    text, elapsed = on_terminal(args, False)
    # The tool ran within the time measured: at most one line at once and one per 0.1 s after,
    # however slowly a loaded machine ran it. Refreshing at every 16 KiB chunk would show some
    # 700 lines.
    shown = re.findall(r"qelkit-agg: \d+%, \d+ rows, \d+ rows/s, \d+ s left", text)
    check(shown and len(shown) <= 10 * elapsed + 1,
          f"{len(shown)} progress lines in {elapsed:.1f} s: {text[:300]!r}")
    # A progress line is always cleared before a line end is written.
    for line in text.split("\n")[:-1]:
        check("rows/s" not in line.split("\r\x1b[K")[-1], f"progress glued to a message: {line!r}")
    check("qelkit-agg: slow.csv:300002: time does not parse: 'bad'\r\n" in text,
          f"bad row message: {text[-400:]!r}")
    # A pipe has no known size: its lines show neither a percentage nor a time left.
    text = on_terminal(args, True)[0]
    check(re.search(r"qelkit-agg: \d+ rows, \d+ rows/s", text) and "%" not in text and
          "s left" not in text, f"progress of a pipe: {text[:300]!r}")
    text = on_terminal(["-q", *args], False)[0]
    check("rows/s" not in text, f"--quiet showed progress: {text!r}")


if __name__ == "__main__":
    sys.exit(run_all(long_rows, endless_and_large, few_threads, truncation, progress))
