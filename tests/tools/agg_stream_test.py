#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""qelkit-agg on its inputs other than a plain file at rest, and on several threads.

- --jobs 1, 2 and 7 give byte-identical output, on the sample and on a generated file.
- Standard input, a pipe, a FIFO, a .gz file, gzip on standard input and several gzip
  members give the same output as the plain file; corrupt, truncated and trailing gzip data
  are reported with status 2; a large stream is read in the memory the manual gives for
  --jobs 2.
- A file that is truncated while it is mapped, named or on standard input, ends the run with
  status 2 and one message; a SIGBUS sent by kill keeps its default action.
- On a terminal a progress line shows percent, rows per second and time left, at most ten
  times a second, and is cleared before any other message; --quiet turns it off.

Usage: agg_stream_test.py QELKIT_AGG GEN_SAMPLE SAMPLE_CSV   (TZ=UTC)
"""
import gzip
import os
import pty
import re
import select
import signal
import subprocess
import sys
import tempfile
import time

AGG, GEN, SAMPLE = sys.argv[1:4]
ARGS = ["--header", "-k", "2", "-p", "hour"]
failures = []


def fail(text):
    failures.append(text)
    print("FAIL:", text)


def agg(args, stdin=None, data=None, env=None):
    return subprocess.run([AGG, *args], stdin=stdin, input=data, capture_output=True,
                          env=dict(os.environ, **(env or {})), timeout=300)


def same_for_every_job_count(path, env=None, args=ARGS):
    outputs = {j: agg(["-j", str(j), *args, path], env=env) for j in (1, 2, 7)}
    if outputs[1].returncode != 0 or not outputs[1].stdout:
        fail(f"{path}: {outputs[1].stderr.decode()}")
    for j in (2, 7):
        if outputs[j].stdout != outputs[1].stdout or outputs[j].stderr != outputs[1].stderr:
            fail(f"{path}: --jobs {j} differs from --jobs 1")
    return outputs[1].stdout


def main():
    os.chdir(tempfile.mkdtemp())
    expected = same_for_every_job_count(SAMPLE)
    same_for_every_job_count(SAMPLE, {"QELKIT_AGG_CHUNK_SIZE": "5000"})
    with open("gen.csv", "wb") as f:  # 17 MB: five chunks of 4 MiB
        subprocess.run([GEN, "350000", "10", "7"], stdout=f, check=True)
    same_for_every_job_count("gen.csv")
    # About 40,000 groups: the output is formatted in many blocks on every thread.
    same_for_every_job_count("gen.csv", args=["--header", "-k", "2", "-p", "minute"])

    # Streams: each must print what the mapped file printed.
    raw = open(SAMPLE, "rb").read()
    packed = gzip.compress(raw)
    with open("sample.gz", "wb") as f:
        f.write(packed)
    with open("two.gz", "wb") as f:  # two members: the header and first rows, then the rest
        cut = raw.index(b"\n", len(raw) // 3) + 1
        f.write(gzip.compress(raw[:cut]) + gzip.compress(raw[cut:]))
    os.mkfifo("fifo")
    writer = subprocess.Popen(["sh", "-c", f"cat '{SAMPLE}' > fifo"])
    cases = {"fifo": agg([*ARGS, "fifo"]),
             "stdin": agg([*ARGS, "-"], data=raw),
             "pipe": agg([*ARGS, "-"], stdin=subprocess.Popen(["cat", SAMPLE],
                                                              stdout=subprocess.PIPE).stdout),
             ".gz": agg([*ARGS, "sample.gz"]),
             "gzip stdin": agg([*ARGS, "-"], data=packed),
             "two members": agg([*ARGS, "two.gz"])}
    try:
        writer.wait(timeout=60)
    except subprocess.TimeoutExpired:  # the tool never opened the FIFO
        writer.kill()
        fail("fifo: the writer was left waiting")
    for name, r in cases.items():
        if r.returncode != 0 or r.stdout != expected:
            fail(f"{name}: exit {r.returncode}, {r.stderr.decode()}")
    bad_gzip = {"the compressed data ends early": packed[:len(packed) // 2],
                "the compressed data is corrupt (": packed[:100] + bytes(64) + packed[164:],
                "trailing data after the compressed data": packed + b"garbage"}
    for message, data in bad_gzip.items():
        r = agg([*ARGS, "-"], data=data)
        if r.returncode != 2 or f"qelkit-agg: -: {message}" not in r.stderr.decode():
            fail(f"gzip: {message}: exit {r.returncode}, {r.stderr.decode()}")
    for name, data, message in (("empty stdin", b"", "-: the input is empty"),
                                ("blank lines", b"\n\r\n\n", "-: no data rows")):
        r = agg(["-p", "hour", "-"], data=data)
        if r.returncode != 2 or message not in r.stderr.decode():
            fail(f"{name}: exit {r.returncode}, {r.stderr.decode()}")

    # 200 MB through a pipe, plain and as gzip members, in far less memory: the same row block
    # again and again. The manual's bound at --jobs 2: (min(2 * 2 + 2, 12) + 1) chunks of
    # 4.5 MiB, and 16 MiB for the program, its threads and the groups.
    block = b"".join(b"2026-03-02 10:%02d:00,dev-%d,1.5\n" % (i % 60, i % 7) for i in range(30000))
    for piece in (block, gzip.compress(block)):
        child = subprocess.Popen([AGG, "-j", "2", "-k", "2", "-p", "hour", "-"],
                                 stdin=subprocess.PIPE,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        for _ in range(200 * 1024 * 1024 // len(block)):
            child.stdin.write(piece)
        child.stdin.close()
        err = child.stderr.read()
        _, status, usage = os.wait4(child.pid, 0)
        child.returncode = 0
        limit = 1 << 40 if os.environ.get("QELKIT_AGG_NO_MEMORY_CHECK") else \
            int((min(2 * 2 + 2, 12) + 1) * 4.5 * 1024 + 16 * 1024)
        if status != 0 or usage.ru_maxrss > limit:
            fail(f"large stream: status {status}, peak {usage.ru_maxrss} KiB: {err.decode()}")

    check_truncation()
    check_progress()
    print(f"{len(failures)} failure(s)")
    return 1 if failures else 0


def check_truncation():
    """A sparse 1 GiB file, truncated (or sent SIGBUS by kill) once the tool has mapped it, given
    by name or redirected to standard input."""
    for jobs, how, kill in (("1", "named", False), ("2", "named", False), ("2", "redirect", False),
                            ("2", "named", True)):
        with open("big.csv", "wb") as f:
            f.write(b"2026-03-02 10:00:00,1\n")
            f.truncate(1 << 30)
        with open("big.csv", "rb") as source:
            child = subprocess.Popen([AGG, "-j", jobs, "-p", "hour",
                                      "big.csv" if how == "named" else "-"],
                                     stdin=source, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.PIPE)
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
        name = "big.csv" if how == "named" else "-"
        # A SIGBUS sent by a process is no fault in the mapping: its default action kills.
        if (kill and child.returncode != -signal.SIGBUS) or (not kill and (
                child.returncode != 2 or err != f"qelkit-agg: {name}: the file was truncated or "
                "could not be read while it was being read\n")):
            fail(f"{'SIGBUS' if kill else 'truncated'} with --jobs {jobs}, {how}: "
                 f"exit {child.returncode}, {err!r}")


def check_progress():
    """On a pseudo-terminal: the progress line, its rate, and its clearing."""
    with open("slow.csv", "wb") as f:
        subprocess.run([GEN, "300000", "10", "7"], stdout=f, check=True)
        f.write(b"bad,dev-01,1,2,3,4\n")
    for quiet, piped in ((False, False), (True, False), (False, True)):
        # The test keeps its own end of the terminal open until the child has exited and all
        # it wrote has been read: a terminal whose last writer closes may drop unread output.
        primary, secondary = pty.openpty()
        started = time.monotonic()
        feeder = subprocess.Popen(["cat", "slow.csv"], stdout=subprocess.PIPE) if piped else None
        child = subprocess.Popen([AGG, "-j", "1", *(["-q"] if quiet else []), *ARGS,
                                  "-" if piped else "slow.csv"],
                                 stdin=feeder.stdout if piped else None,
                                 stdout=subprocess.DEVNULL, stderr=secondary,
                                 env=dict(os.environ, QELKIT_AGG_CHUNK_SIZE="16384"))
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
        # The tool ran within [started, exited]: at most one line at once and one per 0.1 s
        # after, however slowly a loaded machine ran it. Refreshing at every 16 KiB chunk
        # would show some 700 lines.
        elapsed = exited - started
        os.close(primary)
        os.close(secondary)
        text = raw.decode()
        if feeder:
            feeder.wait()
        # A regular file has a known size, so its progress lines show the time left; a pipe
        # has none, so its lines show neither a percentage nor a time left.
        if piped:
            shown = re.findall(r"qelkit-agg: \d+ rows, \d+ rows/s", text)
            if not shown or "%" in text or "s left" in text:
                fail(f"progress of a pipe: {text[:300]!r}")
            continue
        shown = re.findall(r"qelkit-agg: \d+%, \d+ rows, \d+ rows/s, \d+ s left", text)
        if quiet:
            if "rows/s" in text:
                fail(f"--quiet showed progress: {text!r}")
            continue
        if not shown or len(shown) > 10 * elapsed + 1:
            fail(f"{len(shown)} progress lines in {elapsed:.1f} s: {text[:300]!r}")
        # A progress line is always cleared before a line end is written.
        for line in text.split("\n")[:-1]:
            if "rows/s" in line.split("\r\x1b[K")[-1]:
                fail(f"progress glued to a message: {line!r}")
        if "qelkit-agg: slow.csv:300002: time does not parse: 'bad'\r\n" not in text:
            fail(f"bad row message: {text[-400:]!r}")


if __name__ == "__main__":
    sys.exit(main())
