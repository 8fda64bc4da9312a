# SPDX-License-Identifier: Apache-2.0
# What the Python tests of qelkit-agg that check by steps share: the programs they are given
# (their arguments: QELKIT_AGG GEN_SAMPLE SAMPLE_CSV, run with TZ=UTC), a run of the tool, a
# scratch directory and the failures a test prints and ends with.
import os
import subprocess
import sys
import tempfile

AGG, GEN, SAMPLE = sys.argv[1:4]
# Sanitizers multiply memory and address space: the checks that measure them are left out.
SANITIZED = bool(os.environ.get("QELKIT_AGG_NO_MEMORY_CHECK"))
failures = []


# Records a failure unless `ok`.
def check(ok, text):
    if not ok:
        failures.append(text)
        print("FAIL:", text)


# qelkit-agg with `args`, `data` written to its standard input (or `stdin` as it).
def agg(args, data=None, stdin=None, env=None, **kw):
    return subprocess.run([AGG, *args], input=data, stdin=stdin, capture_output=True,
                          env=dict(os.environ, **(env or {})), timeout=300, **kw)


# The exit status, and standard output and error where given (bytes and text).
def expect(what, r, status, out=None, err=None):
    check(r.returncode == status and out in (None, r.stdout) and err in (None, r.stderr.decode()),
          f"{what}: exit {r.returncode}, {r.stdout[:200]!r}, {r.stderr.decode()[-400:]!r}")


def write(name, data):
    with open(name, "wb") as f:
        f.write(data.encode() if isinstance(data, str) else data)
    return name


# Runs each step in a scratch directory removed afterwards; the exit status.
def run_all(*steps):
    with tempfile.TemporaryDirectory() as work:
        os.chdir(work)
        for step in steps:
            step()
        os.chdir("/")
    print(f"{len(failures)} failure(s)")
    return 1 if failures else 0
