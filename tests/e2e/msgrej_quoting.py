#!/usr/bin/python3
"""The messages/rejects file (-k) quotes safely: a log whose addresses and
relay names hold single quotes and backslashes gives a file whose every line
reads back, with a small reader of the key='value' form (a backslash takes
the next character as it is), to the texts of the log; a sender too long for
the 511 characters of the line head is cut there, never inside an escape
pair, and its value is closed, so the keys after it still read back.

    msgrej_quoting.py BINARY
"""
import os
import re
import subprocess
import sys
import tempfile

LONG = "a" * 474 + "'" + "z" * 40 + "@long.example"
SENDERS = ["o'brien@example.org", "back\\slash@example.org", "both\\'\\\\''@example.org", LONG]
RECIPIENTS = ["it's@example.net", "c:\\dir\\@example.net", "plain@example.net", "q''@example.net"]
RELAY = "r'e\\lay.example"
KEYS = ["host", "date", "envfrom", "relayfrom", "envrcpt", "relayto", "accepted", "sent"]
# 474 characters fit before the limit; the quote after them would need a
# second one for its escape and is left out.
HEAD = len("host='mx1' date='20261206' envfrom='")


def read_line(line):
    """The key='value' pairs of one line, in order; fails on anything else."""
    pairs = re.findall(r"(?: |^)([a-z]+)='((?:[^'\\]|\\[\\'])*)'", line)
    if "".join(f" {k}='{v}'" for k, v in pairs)[1:] != line:
        raise ValueError(f"not key='value' pairs: {line!r}")
    return [(k, re.sub(r"\\(.)", r"\1", v)) for k, v in pairs]


def main():
    failed = []
    with tempfile.TemporaryDirectory() as work:
        log, out = os.path.join(work, "quotes.log"), os.path.join(work, "msgrej.txt")
        with open(log, "w") as f:
            for n, (sender, recipient) in enumerate(zip(SENDERS, RECIPIENTS)):
                f.write(f"Dec  6 10:0{n}:00 mx1 sm-mta[{n}]: Q{n}: from=<{sender}>, size=10, class=0, nrcpts=1, "
                        f"proto=ESMTP, daemon=MTA, relay={RELAY} [192.0.2.{n + 1}]\n"
                        f"Dec  6 10:0{n}:01 mx1 sm-mta[{n}]: Q{n}: to=<{recipient}>, delay=00:00:01, "
                        f"xdelay=00:00:01, mailer=esmtp, pri=1, relay=out.example. [198.51.100.1], dsn=2.0.0, stat=Sent\n")
        run = subprocess.run([os.path.abspath(sys.argv[1]), "-f", log, "-e", "-E", os.devnull, "-k", "-K", out],
                             capture_output=True, env=dict(os.environ, TZ="UTC"))
        if run.returncode != 0:
            failed.append(f"status {run.returncode}: {run.stderr!r}")
        lines = open(out).read().splitlines()
    if len(lines) != len(SENDERS):
        failed.append(f"{len(lines)} lines")
    for n, (line, sender, recipient) in enumerate(zip(lines, SENDERS, RECIPIENTS)):
        try:
            pairs = read_line(line)
        except ValueError as error:
            failed.append(str(error))
            continue
        values = dict(pairs)
        if sender is LONG:
            sender = sender[:511 - HEAD - 1]
            if line.index("' relayfrom=") != 511 - 1:
                failed.append(f"long sender cut at {line.index('relayfrom=')}: {line[:40]!r}")
        wanted = {"envfrom": sender, "envrcpt": recipient, "relayfrom": f"{RELAY} (192.0.2.{n + 1})", "sent": "1"}
        if [k for k, _ in pairs] != KEYS or any(values[k] != v for k, v in wanted.items()):
            failed.append(f"line {n + 1} reads back as {pairs!r}")
    for failure in failed:
        print("FAIL", failure)
    print("msgrej quoting:", "failed" if failed else f"ok ({len(lines)} lines)")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
