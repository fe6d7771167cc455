#!/usr/bin/env python3
"""The figures of the dashboard equal those of the ASCII reports of the same
run: every card of every host against the general and envelope reports, and
every top table (its rows, their order and counts) against the unsorted lists
of the envelope, relay, domain, ruleset and milter reports, chosen here the way
the page promises (largest count first, equal counts by name). Run on the
sample log, the generated log of five hosts and a spam-heavy generated log.

    dashboard_figures.py BINARY SOURCE_DIR
"""

import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import dashboard_page  # noqa: E402

TOP_ROWS = 10


def read_text(path):
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        return f.read()


def host_blocks(text):
    """{host: [lines]} of an ASCII report, in order."""
    blocks = {}
    current = None
    for line in text.split("\n"):
        if line.startswith("host: "):
            current = line[len("host: "):]
            blocks[current] = []
        elif current is not None:
            blocks[current].append(line)
    return blocks


def list_after(lines, heading):
    """The lines of the list under `<<< heading >>>`, up to the blank line."""
    start = lines.index("<<< " + heading + " >>>") + 1
    end = lines.index("", start)
    return lines[start:end]


def general_figures(lines):
    figures = {}
    for line in lines:
        m = re.match(r"^([a-zA-Z/ ()-]+): (\d+)(?: \(([0-9.]+)%\))?$", line)
        if m:
            figures[m.group(1)] = (int(m.group(2)), m.group(3))
    return figures


def page_text(raw):
    """An ASCII report's text as the page shows it (absent texts, bytes that are not UTF-8)."""
    if raw == "(null)":
        return "(none)"
    return raw.encode("utf-8", "surrogateescape").decode("utf-8", "replace")


def sort_key(raw):
    return b"" if raw == "(null)" else raw.encode("utf-8", "surrogateescape")


def top(pairs, extra_key=lambda item: 0):
    """The rows a top table must show of (name, count, ...) items."""
    chosen = [p for p in pairs if p[1] > 0]
    chosen.sort(key=lambda p: (-p[1], extra_key(p), sort_key(p[0])))
    return [(page_text(p[0]), p[1]) + tuple(p[2:]) for p in chosen[:TOP_ROWS]]


def members(lines, heading, prefix="s"):
    out = []
    for line in list_after(lines, heading):
        m = re.match(r"^" + prefix + r"='(.*)' size=\d+ count=(\d+)$", line)
        assert m, line
        out.append((m.group(1), int(m.group(2))))
    return out


def domains(lines, column):
    out = []
    for line in list_after(lines, "Unsorted list of domains level-2 (envelopes)"):
        m = re.match(r"^all=\d+ send=(\d+) recv=(\d+) milrej=\d+ (.*)$", line)
        assert m, line
        out.append((m.group(3), int(m.group(column))))
    return out


def reasons(ruleset_lines, milter_lines):
    counts = {}
    order = []
    for line in list_after(ruleset_lines, "Unsorted list of ruleset rejects"):
        m = re.match(r"^from=.* count=(\d+) reason='(.*)'$", line)
        assert m, line
        if m.group(2) not in counts:
            counts[m.group(2)] = 0
            order.append(m.group(2))
        counts[m.group(2)] += int(m.group(1))
    items = [(reason, counts[reason], "ruleset") for reason in order]
    for line in list_after(milter_lines, "Unsorted list of milter rejects by reason"):
        m = re.match(r"^from='(.*)' count=(\d+)$", line)
        assert m, line
        items.append((m.group(1), int(m.group(2)), "milter"))
    return top(items, extra_key=lambda item: 0 if item[2] == "ruleset" else 1)


class Checker:
    def __init__(self, name):
        self.name = name
        self.failures = 0
        self.checks = 0

    def equal(self, what, got, want):
        self.checks += 1
        if got != want:
            self.failures += 1
            print(f"FAIL {self.name}: {what}: page {got!r}, reports {want!r}")


def grouped(value):
    """Digits in groups of three as the page writes them ("1 234")."""
    return f"{value:,}".replace(",", " ")


def check_cards(check, host, general, envelope):
    g = general_figures(general)
    e = general_figures(envelope)

    def card(key, figure, with_share=False):
        value, note = host.cards[key]
        check.equal(f"{host.name} card {key}", value, g[figure][0])
        if with_share:
            check.equal(f"{host.name} card {key} share", note.split("%")[0], g[figure][1])

    card("messages-in", "inbound messages", True)
    card("messages-out", "outbound messages")
    card("bytes-in", "incoming total size")
    card("delivered", "outbound messages (sent)")
    card("deferred", "outbound messages (deferred)")
    card("ruleset-rejects", "ruleset based rejections", True)
    card("milter-rejects", "milter based rejections", True)
    card("non-active", "no-action messages", True)
    card("tls", "tls/ssl messages")
    card("viruses", "viruses detected", True)
    card("syserr", "other SYSERR")
    bounced = sum(g[f][0] for f in ("outbound messages (unknown user)", "outbound messages (host not available)",
                                    "outbound messages (service not available)", "outbound messages (other error)"))
    check.equal(f"{host.name} card bounced", host.cards["bounced"][0], bounced)
    check.equal(f"{host.name} card recipients", host.cards["recipients"][0], e["envelope recipients count"][0])
    check.equal(f"{host.name} card recipients note", host.cards["recipients"][1],
                f"distinct; {grouped(e['envelope senders count'][0])} distinct senders")
    check.equal(f"{host.name} card syserr note", host.cards["syserr"][1],
                f"{grouped(g['daemon restarts'][0])} daemon restarts")


def table_rows(host, key, name_cell, count_cell, extra_cell=None):
    rows = []
    for cells in host.tables[key]:
        row = (cells[name_cell], dashboard_page.number(cells[count_cell]))
        if extra_cell is not None:
            row += (cells[extra_cell],)
        rows.append(row)
    return rows


def check_log(binary, log, work, name):
    check = Checker(name)
    out = os.path.join(work, name)
    os.mkdir(out)
    run = subprocess.run([binary, "-a", "-v", "-g", "-G", "gen.txt", "-e", "-E", "env.txt", "-r", "-R", "rel.txt",
                          "-n", "-N", "dom.txt", "-s", "-S", "rul.txt", "-m", "-M", "mil.txt", "-B", out, "-f", log,
                          "--dashboard", "dashboard.html"],
                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=dict(os.environ, TZ="UTC"))
    check.equal("exit status", run.returncode, 0)
    reports = {r: host_blocks(read_text(os.path.join(out, r + ".txt"))) for r in ("gen", "env", "rel", "dom", "rul", "mil")}
    root = dashboard_page.parse(read_text(os.path.join(out, "dashboard.html")))
    hosts = dashboard_page.hosts(root)
    check.equal("hosts", [h.name for h in hosts], list(reports["gen"]))
    lines = re.search(rb"(\d+) total lines processed", run.stderr)
    facts = {li.find_all("span")[0].text(): li.find_all("span")[1].text() for li in root.find_all("li")}
    check.equal("lines read", dashboard_page.number(facts["Lines read"]), int(lines.group(1)))
    for host in hosts:
        check_cards(check, host, reports["gen"][host.name], reports["env"][host.name])
        env, rel, dom = reports["env"][host.name], reports["rel"][host.name], reports["dom"][host.name]
        check.equal(f"{host.name} senders", table_rows(host, "senders", 0, 1),
                    top(members(env, "Unsorted list of envelope senders")))
        check.equal(f"{host.name} recipients", table_rows(host, "recipients", 0, 1),
                    top(members(env, "Unsorted list of envelope recipients")))
        check.equal(f"{host.name} relays", table_rows(host, "relays", 0, 2),
                    top(members(rel, "Unsorted list of relay senders")))
        check.equal(f"{host.name} sender domains", table_rows(host, "sender-domains", 0, 2), top(domains(dom, 1)))
        check.equal(f"{host.name} recipient domains", table_rows(host, "recipient-domains", 0, 2),
                    top(domains(dom, 2)))
        check.equal(f"{host.name} reject reasons", table_rows(host, "reject-reasons", 0, 2, 1),
                    reasons(reports["rul"][host.name], reports["mil"][host.name]))
    filled = sum(1 for h in hosts for rows in h.tables.values() if rows)
    check.equal("some top tables have rows", filled > 0, True)
    print(f"{name}: {check.checks} figures compared, {check.failures} differ")
    return check.failures


def main():
    binary = os.path.abspath(sys.argv[1])
    source = os.path.abspath(sys.argv[2])
    generator = os.path.join(os.path.dirname(binary), "tools", "quelm_gen_log")
    failures = 0
    with tempfile.TemporaryDirectory() as work:
        spam = os.path.join(work, "spam.log")
        with open(spam, "wb") as f:
            subprocess.run([generator, "--shape=spam", "17", "30000", "3"], stdout=f, check=True)
        failures += check_log(binary, os.path.join(source, "examples", "sample.log"), work, "sample")
        failures += check_log(binary, os.path.join(source, "tests", "e2e", "logs", "generated_five_hosts.log"), work,
                              "generated")
        failures += check_log(binary, spam, work, "spam")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
