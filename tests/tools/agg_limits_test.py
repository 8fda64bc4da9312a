#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""qelkit-agg at the edges of its input and under limits, on every input path.

- Rows longer than 64 MiB (a long quoted field over many lines, an unclosed quote) are bad rows
  with the right line numbers on a named file and a pipe alike; a header row
  that long ends the run, also on endless input (/dev/zero, a gzip bomb of zeros); a one-line
  file is not held in memory.
- Input with only blank lines and a header is reported, never a crash; UTF-16/32, bzip2, xz and
  zstd are named for what they are; gzip followed by zero padding is read as gzip -d reads it;
  file names with control characters stay on one line.
- --zlib and --gzip: never onto the input (named or standard input), never onto standard error
  when descriptor 2 is closed; an earlier file survives a failed run; gzip that Python reads.
- A thread that cannot start (address space limit) ends the run with a message and status 2,
  no signal and no partial output; an oversized QELKIT_AGG_CHUNK_SIZE is ignored.

Usage: agg_limits_test.py QELKIT_AGG SAMPLE_CSV   (TZ=UTC)
"""
import gzip
import os
import resource
import stat
import subprocess
import sys
import tempfile
import time
import zlib

AGG, SAMPLE = sys.argv[1:3]
SANITIZED = bool(os.environ.get("QELKIT_AGG_NO_MEMORY_CHECK"))
MIB = 1 << 20
failures = []


def fail(text):
    failures.append(text)
    print("FAIL:", text)


def agg(args, path=None, how="named", data=None, env=None, **kw):
    """Runs qelkit-agg on `path` given as a name, a redirect or a pipe (data written by us)."""
    full = dict(os.environ, **(env or {}))
    if how == "named":
        return subprocess.run([AGG, *args, path], capture_output=True, env=full, timeout=300, **kw)
    if how == "redirect":
        with open(path, "rb") as f:
            return subprocess.run([AGG, *args, "-"], stdin=f, capture_output=True, env=full,
                                  timeout=300, **kw)
    if data is None:
        with open(path, "rb") as f:
            data = f.read()
    return subprocess.run([AGG, *args, "-"], input=data, capture_output=True, env=full,
                          timeout=300, **kw)


def expect(what, r, status, out=None, err=None):
    if r.returncode != status or (out is not None and r.stdout != out) or \
            (err is not None and r.stderr.decode() != err):
        fail(f"{what}: exit {r.returncode}, {r.stdout[:200]!r}, {r.stderr.decode()[-400:]!r}")


def long_rows():
    """Line 2 holds a quoted field of 65,600 lines of 1 KiB (over 64 MiB), so the next row is
    on line 2 + 65,601; the rows around it are grouped or reported as usual."""
    field = (b"x" * 1023 + b"\n") * 65600
    with open("long.csv", "wb") as f:
        f.write(b"2026-03-02 10:00:00,a,1\n2026-03-02 10:20:00,a,\"" + field +
                b"\",1\n2026-03-02 11:00:00,b,2\nbad,b,2\n")
    out = (b"period\tc2\tcount\tsum_c3\tmin_c3\tmax_c3\tmean_c3\n"
           b"2026-03-02 10:00:00\ta\t1\t1\t1\t1\t1\n2026-03-02 11:00:00\tb\t1\t2\t2\t2\t2\n")
    for how in ("named", "pipe"):
        name = "-" if how != "named" else "long.csv"
        expect(f"long row, {how}", agg(["-k", "2", "-p", "hour"], "long.csv", how), 0, out,
               f"qelkit-agg: {name}:2: the row is longer than 64 MiB\n"
               f"qelkit-agg: {name}:65604: time does not parse: 'bad'\n"
               "qelkit-agg: 4 rows read, 2 grouped, 2 skipped; period Hour\n")
    expect("long row, --strict", agg(["--strict", "-k", "2", "-p", "hour"], "long.csv", "pipe"),
           1, b"", "qelkit-agg: -:2: the row is longer than 64 MiB\n"
           "qelkit-agg: 2 rows read, 1 grouped, 1 skipped; period Hour\n")
    # A quote opened on line 2 and never closed: the rest of the input is that one row.
    unclosed = b"2026-03-02 10:00:00,a,1\n2026-03-02 10:00:00,a,\"" + (b"y" * 1023 + b"\n") * 65600
    for how in ("pipe", "named"):
        with open("unclosed.csv", "wb") as f:
            f.write(unclosed)
        name = "-" if how == "pipe" else "unclosed.csv"
        expect(f"unclosed quote, {how}",
               agg(["-k", "2", "-p", "hour"], "unclosed.csv", how, data=unclosed), 0,
               b"period\tc2\tcount\tsum_c3\tmin_c3\tmax_c3\tmean_c3\n"
               b"2026-03-02 10:00:00\ta\t1\t1\t1\t1\t1\n",
               f"qelkit-agg: {name}:2: the row is longer than 64 MiB\n"
               "qelkit-agg: 2 rows read, 1 grouped, 1 skipped; period Hour\n")
    os.unlink("long.csv")
    os.unlink("unclosed.csv")


def endless_and_wide():
    """A header row longer than the limit ends the run at once, however long the input."""
    with open("/dev/zero", "rb") as zero:
        r = subprocess.run([AGG, "--header", "-p", "hour", "-"], stdin=zero, capture_output=True,
                           timeout=120)
    expect("/dev/zero", r, 2, b"", "qelkit-agg: -:1: the header row is longer than 64 MiB\n")
    packer = zlib.compressobj(9, zlib.DEFLATED, 31)
    with open("zeros.gz", "wb") as f:
        for _ in range(100):
            f.write(packer.compress(bytes(MIB)))
        f.write(packer.flush())
    expect("gzip of zeros", agg(["--header", "-p", "hour"], "zeros.gz"), 2, b"",
           "qelkit-agg: zeros.gz:1: the header row is longer than 64 MiB\n")
    # 100 MB on one line: the first row rules without --values, is one bad row with them; the
    # tool holds neither it nor its 50 million fields.
    with open("wide.csv", "wb") as f:
        f.write(b"2026-03-02 10:00:00,a," + b"1," * (50 * MIB) + b"1\n")
    for args, status, err in (
            ([], 2, "wide.csv:1: the first row, which sets the value columns, is longer than "
                    "64 MiB\n"),
            (["-v", "3"], 1, "wide.csv:1: the row is longer than 64 MiB\nqelkit-agg: 1 row "
                             "read, 0 grouped, 1 skipped; period Hour\n")):
        child = subprocess.Popen([AGG, "-k", "2", *args, "-p", "hour", "wide.csv"],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        peak = 0
        while child.poll() is None:  # anonymous memory: the mapped file's pages are not counted
            try:
                with open(f"/proc/{child.pid}/status") as status_file:
                    for line in status_file:
                        if line.startswith("RssAnon:"):
                            peak = max(peak, int(line.split()[1]))
            except OSError:
                pass
            time.sleep(0.002)
        got = child.stderr.read().decode()
        if child.returncode != status or got != "qelkit-agg: " + err or \
                (peak > 100 * 1024 and not SANITIZED):
            fail(f"one-line file {args}: exit {child.returncode}, {peak} KiB, {got!r}")
    os.unlink("wide.csv")


def odd_inputs():
    for data in (b"\n", b"\xef\xbb\xbf\r\n"):
        for how in ("named", "pipe"):
            with open("blank.csv", "wb") as f:
                f.write(data)
            name = "blank.csv" if how == "named" else "-"
            expect(f"{data!r} {how}", agg(["--header", "-p", "hour"], "blank.csv", how), 2, b"",
                   f"qelkit-agg: {name}: no data after the header row\n")
    text = "2026-03-02 10:00:00,1\n"
    for what, data in (("UTF-16 text", b"\xff\xfe" + text.encode("utf-16-le")),
                       ("UTF-16 text", b"\xfe\xff" + text.encode("utf-16-be")),
                       ("UTF-32 text", text.encode("utf-32")),
                       ("bzip2-compressed data", b"BZh91AY&SY" + bytes(40)),
                       ("xz-compressed data", b"\xfd7zXZ\x00\x00\x04" + bytes(40)),
                       ("zstd-compressed data", b"\x28\xb5\x2f\xfd" + bytes(40))):
        with open("odd.bin", "wb") as f:
            f.write(data)
        for how, name in (("named", "odd.bin"), ("pipe", "-")):
            expect(f"{what} {how}", agg(["-p", "hour"], "odd.bin", how), 2, b"",
                   f"qelkit-agg: {name}: looks like {what}, which qelkit-agg does not read\n")
    # gzip -d ignores zero bytes after the last member, and nothing else.
    plain = agg(["--header", "-k", "2", "-p", "hour"], SAMPLE)
    packed = gzip.compress(open(SAMPLE, "rb").read())
    expect("gzip and zero padding", agg(["--header", "-k", "2", "-p", "hour"], None, "pipe",
                                        data=packed + bytes(5000)), 0, plain.stdout)
    expect("gzip, zeros and more", agg(["-p", "hour"], None, "pipe", data=packed + b"\0\0x"), 2,
           b"", "qelkit-agg: -: trailing data after the compressed data\n")
    # Control characters in a file name are escaped: every message is one line.
    expect("name with a line feed", agg(["-p", "hour"], "no\nsuch\x01.csv"), 2, b"",
           "qelkit-agg: cannot open 'no\\nsuch\\x01.csv': No such file or directory\n")
    with open("two\nlines.csv", "wb") as f:
        f.write(b"x,1\n2026-03-02 10:00:00,1\n")
    expect("bad row of such a file", agg(["-p", "hour"], "two\nlines.csv"), 0, None,
           "qelkit-agg: two\\nlines.csv:1: time does not parse: 'x'\n"
           "qelkit-agg: 2 rows read, 1 grouped, 1 skipped; period Hour\n")
    expect("oversized QELKIT_AGG_CHUNK_SIZE",
           agg(["--header", "-k", "2", "-p", "hour"], SAMPLE, "pipe",
               env={"QELKIT_AGG_CHUNK_SIZE": "99999999999999"}), 0, plain.stdout)


def outputs():
    args = ["--header", "-k", "2", "-p", "hour"]
    plain = agg(args, SAMPLE).stdout
    with open("in.csv", "wb") as f:
        f.write(open(SAMPLE, "rb").read())
    # Standard error closed: the output file takes another descriptor than 2.
    r = subprocess.run(["sh", "-c", 'exec "$0" "$@" 2>&-', AGG, *args, "--zlib=out.z", "in.csv"],
                       capture_output=True)
    if r.returncode != 0 or zlib.decompress(open("out.z", "rb").read()) != plain:
        fail(f"--zlib with standard error closed: exit {r.returncode}")
    # The input on standard input is not the output either, however it is named.
    for option in ("--gzip=in.csv", "--zlib=/dev/stdin"):
        expect(option, agg([*args, option], "in.csv", "redirect"), 2, b"",
               f"qelkit-agg: '{option.split('=')[1]}' is the input file: give "
               f"{option.split('=')[0]} another file\n")
    r = subprocess.run(["sh", "-c", 'cat in.csv | "$0" "$@"', AGG, *args, "--gzip=/dev/stdin",
                        "-"], capture_output=True, timeout=60)
    expect("--gzip into the input pipe", r, 2, b"",
           "qelkit-agg: '/dev/stdin' is the input file: give --gzip another file\n")
    with open("in.csv", "rb") as source, open("in.csv", "ab") as sink:
        r = subprocess.run([AGG, *args, "-"], stdin=source, stdout=sink, stderr=subprocess.PIPE)
    expect("standard output onto standard input", r, 2, None,
           "qelkit-agg: standard output is the input file '-'\n")
    if open("in.csv", "rb").read() != open(SAMPLE, "rb").read():
        fail("the input was changed")
    # A failed run leaves an earlier file as it was; a good one replaces it, keeping its mode.
    with open("keep.gz", "wb") as f:
        f.write(b"old")
    os.chmod("keep.gz", 0o640)
    for what, r in (("missing input", agg([*args, "--gzip=keep.gz"], "no-such.csv")),
                    ("corrupt gzip", agg([*args, "--gzip=keep.gz"], None, "pipe",
                                         data=b"\x1f\x8b\x08\x00" + bytes(30))),
                    ("--strict", agg(["--strict", "-p", "hour", "--gzip=keep.gz"], SAMPLE))):
        if r.returncode == 0 or open("keep.gz", "rb").read() != b"old":
            fail(f"{what}: exit {r.returncode}, keep.gz {open('keep.gz', 'rb').read()[:20]!r}")
    r = agg([*args, "--gzip=keep.gz"], "in.csv", "pipe")
    if r.returncode != 0 or r.stdout or gzip.decompress(open("keep.gz", "rb").read()) != plain \
            or stat.S_IMODE(os.stat("keep.gz").st_mode) != 0o640:
        fail(f"--gzip: exit {r.returncode}, {r.stderr.decode()}")
    leftovers = [n for n in os.listdir(".") if n.startswith(".qelkit-agg")]
    if leftovers:
        fail(f"temporary files left: {leftovers}")


def few_threads():
    """Under an address space limit that leaves room for some dozens of threads."""
    if SANITIZED:  # the sanitizers reserve terabytes of address space
        return
    args = ["--header", "-k", "2", "-p", "hour"]
    limit = 600000 * 1024
    for how in ("named", "pipe"):
        r = agg(["-j", "256", *args], SAMPLE, how, preexec_fn=lambda: resource.setrlimit(
            resource.RLIMIT_AS, (limit, limit)))
        if r.returncode != 2 or r.stdout or b"threads could start" not in r.stderr:
            fail(f"-j 256 under a limit, {how}: exit {r.returncode}, {r.stderr.decode()[-300:]}")


def main():
    os.chdir(tempfile.mkdtemp())
    long_rows()
    endless_and_wide()
    odd_inputs()
    outputs()
    few_threads()
    print(f"{len(failures)} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
