#!/usr/bin/env python3
"""The figures of the dashboard equal those of the ASCII reports of the same run:
every card of every host against the general and envelope reports, and every top
table (rows, order, counts) against the unsorted lists of the envelope, relay,
domain, ruleset and milter reports, chosen here the way the page promises (largest
count first, equal counts by name). Run on the sample log, the generated log of five
hosts and a spam-heavy generated log.

    dashboard_figures.py BINARY SOURCE_DIR
"""

import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import dashboard_page  # noqa: E402

# Card: (figure of the general report, whether the card notes its share).
CARDS = {"messages-in": ("inbound messages", True), "messages-out": ("outbound messages", False),
         "bytes-in": ("incoming total size", False), "delivered": ("outbound messages (sent)", False),
         "deferred": ("outbound messages (deferred)", False), "ruleset-rejects": ("ruleset based rejections", True),
         "milter-rejects": ("milter based rejections", True), "non-active": ("no-action messages", True),
         "tls": ("tls/ssl messages", False), "viruses": ("viruses detected", True), "syserr": ("other SYSERR", False)}
TOP_ROWS = 10
BOUNCES = ("unknown user", "host not available", "service not available", "other error")


def read_text(path):
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        return f.read()


def host_blocks(text):
    """{host: [lines]} of an ASCII report, in order."""
    blocks, current = {}, None
    for line in text.split("\n"):
        if line.startswith("host: "):
            current = blocks.setdefault(line[len("host: "):], [])
        elif current is not None:
            current.append(line)
    return blocks


def list_items(lines, heading, pattern):
    """The match groups of each line of the list under `<<< heading >>>`, up to the blank line."""
    start = lines.index("<<< " + heading + " >>>") + 1
    matches = [re.match(pattern, line) for line in lines[start:lines.index("", start)]]
    assert all(matches), heading
    return [m.groups() for m in matches]


def general_figures(lines):
    matches = (re.match(r"^([a-zA-Z/ ()-]+): (\d+)(?: \(([0-9.]+)%\))?$", line) for line in lines)
    return {m.group(1): (int(m.group(2)), m.group(3)) for m in matches if m}


def top(items, extra_key=lambda item: 0):
    """The rows a top table must show of (name, count, ...) items, names as the page shows them (absent
    ones, bytes that are not UTF-8): largest count first, then `extra_key`, then the name's bytes."""
    def raw(name):
        return b"" if name == "(null)" else name.encode("utf-8", "surrogateescape")
    chosen = sorted((i for i in items if i[1] > 0), key=lambda i: (-i[1], extra_key(i), raw(i[0])))
    return [("(none)" if i[0] == "(null)" else raw(i[0]).decode("utf-8", "replace"),) + tuple(i[1:])
            for i in chosen[:TOP_ROWS]]


def members(lines, heading):
    return top((name, int(count)) for name, count in list_items(lines, heading, r"^s='(.*)' size=\d+ count=(\d+)$"))


def reasons(ruleset_lines, milter_lines):
    counts = {}  # in the order of first appearance
    for count, reason in list_items(ruleset_lines, "Unsorted list of ruleset rejects", r"^from=.* count=(\d+) reason='(.*)'$"):
        counts[reason] = counts.get(reason, 0) + int(count)
    items = [(reason, count, "ruleset") for reason, count in counts.items()]
    items += [(reason, int(count), "milter") for reason, count in
              list_items(milter_lines, "Unsorted list of milter rejects by reason", r"^from='(.*)' count=(\d+)$")]
    return top(items, extra_key=lambda item: item[2] != "ruleset")


def grouped(value):
    """Digits in groups of three as the page writes them ("1 234")."""
    return f"{value:,}".replace(",", " ")


def check_log(binary, log, work, name):
    failures, compared = [], []

    def equal(what, got, want):
        compared.append(what)
        if got != want:
            failures.append(what)
            print(f"FAIL {name}: {what}: page {got!r}, reports {want!r}")

    out = os.path.join(work, name)
    os.mkdir(out)
    run = subprocess.run([binary, "-a", "-v", "-g", "-G", "gen.txt", "-e", "-E", "env.txt", "-r", "-R", "rel.txt",
                          "-n", "-N", "dom.txt", "-s", "-S", "rul.txt", "-m", "-M", "mil.txt", "-B", out, "-f", log,
                          "--dashboard", "dashboard.html"],
                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=dict(os.environ, TZ="UTC"))
    equal("exit status", run.returncode, 0)
    reports = {r: host_blocks(read_text(os.path.join(out, r + ".txt"))) for r in ("gen", "env", "rel", "dom", "rul", "mil")}
    root = dashboard_page.parse(read_text(os.path.join(out, "dashboard.html")))
    hosts = dashboard_page.hosts(root)
    equal("hosts", [h.name for h in hosts], list(reports["gen"]))
    facts = {li.find_all("span")[0].text(): li.find_all("span")[1].text() for li in root.find_all("li")}
    equal("lines read", dashboard_page.number(facts["Lines read"]),
          int(re.search(rb"(\d+) total lines processed", run.stderr).group(1)))
    for host in hosts:
        g, e = general_figures(reports["gen"][host.name]), general_figures(reports["env"][host.name])
        for key, (figure, with_share) in CARDS.items():
            equal(f"{host.name} card {key}", host.cards[key][0], g[figure][0])
            if with_share:
                equal(f"{host.name} card {key} share", host.cards[key][1].split("%")[0], g[figure][1])
        equal(f"{host.name} card bounced", host.cards["bounced"][0],
              sum(g[f"outbound messages ({b})"][0] for b in BOUNCES))
        equal(f"{host.name} card recipients", host.cards["recipients"],
              (e["envelope recipients count"][0], f"distinct; {grouped(e['envelope senders count'][0])} distinct senders"))
        equal(f"{host.name} card syserr note", host.cards["syserr"][1], f"{grouped(g['daemon restarts'][0])} daemon restarts")

        env, rel, dom = reports["env"][host.name], reports["rel"][host.name], reports["dom"][host.name]
        domains = list_items(dom, "Unsorted list of domains level-2 (envelopes)",
                             r"^all=\d+ send=(\d+) recv=(\d+) milrej=\d+ (.*)$")
        want = {"senders": members(env, "Unsorted list of envelope senders"),
                "recipients": members(env, "Unsorted list of envelope recipients"),
                "relays": members(rel, "Unsorted list of relay senders"),
                "sender-domains": top((d[2], int(d[0])) for d in domains),
                "recipient-domains": top((d[2], int(d[1])) for d in domains),
                "reject-reasons": reasons(reports["rul"][host.name], reports["mil"][host.name])}
        for key, rows in want.items():
            count = 1 if key in ("senders", "recipients") else 2  # the cell of the count; reasons: the kind in 1
            got = [(c[0], dashboard_page.number(c[count])) + ((c[1],) if key == "reject-reasons" else ())
                   for c in host.tables[key]]
            equal(f"{host.name} {key}", got, rows)
    equal("some top tables have rows", any(rows for h in hosts for rows in h.tables.values()), True)
    print(f"{name}: {len(compared)} figures compared, {len(failures)} differ")
    return len(failures)


def main():
    binary, source = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    with tempfile.TemporaryDirectory() as work:
        spam = os.path.join(work, "spam.log")
        with open(spam, "wb") as f:
            subprocess.run([os.path.join(os.path.dirname(binary), "tools", "quelm_gen_log"), "--shape=spam", "17",
                            "30000", "3"], stdout=f, check=True)
        failures = sum(check_log(binary, log, work, name) for name, log in (
            ("sample", os.path.join(source, "examples", "sample.log")),
            ("generated", os.path.join(source, "tests", "e2e", "logs", "generated_five_hosts.log")), ("spam", spam)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
