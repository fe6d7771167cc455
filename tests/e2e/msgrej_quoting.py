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


def log_lines():
    lines = []
    for n, (sender, recipient) in enumerate(zip(SENDERS, RECIPIENTS)):
        qid = "Q%d" % n
        lines.append(f"Dec  6 10:0{n}:00 mx1 sm-mta[{n}]: {qid}: from=<{sender}>, size=10, class=0, nrcpts=1, "
                     f"proto=ESMTP, daemon=MTA, relay={RELAY} [192.0.2.{n + 1}]")
        lines.append(f"Dec  6 10:0{n}:01 mx1 sm-mta[{n}]: {qid}: to=<{recipient}>, delay=00:00:01, xdelay=00:00:01, "
                     f"mailer=esmtp, pri=1, relay=out.example. [198.51.100.1], dsn=2.0.0, stat=Sent")
    return "\n".join(lines) + "\n"


def read_line(line):
    """key='value' pairs of one line; fails on anything else."""
    pairs = []
    i = 0
    while i < len(line):
        m = re.match(r" ?([a-z]+)='", line[i:])
        if not m:
            raise ValueError(f"no key at {line[i:]!r}")
        i += m.end()
        value = ""
        while True:
            if i >= len(line):
                raise ValueError("value not closed")
            c = line[i]
            if c == "'":
                break
            if c == "\\":
                i += 1
                if i >= len(line) or line[i] not in "\\'":
                    raise ValueError(f"bad escape in {line!r}")
                c = line[i]
            value += c
            i += 1
        pairs.append((m.group(1), value))
        i += 1
    return dict(pairs), [k for k, _ in pairs]


def main():
    binary = os.path.abspath(sys.argv[1])
    failed = []
    with tempfile.TemporaryDirectory() as work:
        log = os.path.join(work, "quotes.log")
        open(log, "w").write(log_lines())
        out = os.path.join(work, "msgrej.txt")
        run = subprocess.run([binary, "-f", log, "-e", "-E", os.devnull, "-k", "-K", out], capture_output=True, env=dict(os.environ, TZ="UTC"))
        if run.returncode != 0:
            failed.append(f"status {run.returncode}: {run.stderr!r}")
        lines = open(out).read().splitlines()
    if len(lines) != len(SENDERS):
        failed.append(f"{len(lines)} lines")
    for line, sender, recipient, n in zip(lines, SENDERS, RECIPIENTS, range(len(SENDERS))):
        try:
            values, keys = read_line(line)
        except ValueError as error:
            failed.append(str(error))
            continue
        expect_keys = ["host", "date", "envfrom", "relayfrom", "envrcpt", "relayto", "accepted", "sent"]
        if keys != expect_keys:
            failed.append(f"keys {keys} of {line!r}")
        if sender is LONG:
            head = len("host='mx1' date='20261206' envfrom='")
            kept = values["envfrom"]
            # 474 characters fit before the limit; the quote after them would
            # need a second one for its escape and is left out.
            if kept != sender[:511 - head - 1] or line.index("' relayfrom=") != 511 - 1:
                failed.append(f"long sender cut as {len(kept)} characters: {line[:40]!r}")
        elif values["envfrom"] != sender:
            failed.append(f"envfrom {values['envfrom']!r} != {sender!r}")
        if values["envrcpt"] != recipient:
            failed.append(f"envrcpt {values['envrcpt']!r} != {recipient!r}")
        if values["relayfrom"] != f"{RELAY} (192.0.2.{n + 1})":
            failed.append(f"relayfrom {values['relayfrom']!r}")
        if values["sent"] != "1":
            failed.append("sent")
    for failure in failed:
        print("FAIL", failure)
    print("msgrej quoting:", "failed" if failed else f"ok ({len(lines)} lines)")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
