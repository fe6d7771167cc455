#!/usr/bin/python3
"""The JSON and Prometheus exports against the ASCII reports of the same run.

For the sample log, the hostile-markup log and a generated spam-shaped log
the program writes every ASCII report together with --json and --prometheus.
The JSON document must validate against doc/quelm_stat.schema.json; per host
its general counters, rates, status texts, hourly and weekly rows must equal
the general report's lines, its domain tables the domain reports' unsorted
rows (in order), and its messages/rejects records the key='value' file read
back. The metrics file must parse with prometheus_client's text parser and
its figures equal the general report's.

    export_check.py BINARY SOURCE_DIR
"""
import json
import os
import re
import subprocess
import sys
import tempfile
import time

import jsonschema
from prometheus_client.parser import text_string_to_metric_families

failures = []
checks = 0


def check(condition, what):
    global checks
    checks += 1
    if not condition:
        failures.append(what)


def text_bytes(value):
    """The bytes of a text of the document (string or base64 object)."""
    import base64
    if value is None:
        return None
    if isinstance(value, dict):
        return base64.b64decode(value["base64"], validate=True)
    return value.encode("utf-8")


def general_blocks(report):
    """host name (bytes) -> list of report lines (bytes) of its block."""
    blocks = {}
    current = None
    for line in report.split(b"\n"):
        if line.startswith(b"host: "):
            current = line[6:]
            blocks[current] = []
        elif current is not None:
            blocks[current].append(line)
    return blocks


def value_of(lines, label):
    """The number after "label: " (without the share in parentheses)."""
    for line in lines:
        if line.startswith(label + b": "):
            return line[len(label) + 2:].split(b" (")[0].decode()
    raise KeyError(label)


def ctime(unix):
    return time.strftime("%a %b %e %H:%M:%S %Y", time.gmtime(unix)).encode()


COUNTERS = [
    (b"alias table rebuilds", "counters", "alias_rebuilds"),
    (b"too many hops", "counters", "too_many_hops"),
    (b"mail loops", "counters", "mail_loops"),
    (b"other SYSERR", "counters", "other_syserr"),
    (b"daemon restarts", "counters", "daemon_restarts"),
    (b"viruses detected", "counters", "viruses"),
    (b"ruleset based rejections", "counters", "ruleset_rejects"),
    (b"milter based rejections", "counters", "milter_rejects"),
    (b"unknown messages", "counters", "unknown_lines"),
    (b"tls/ssl messages", "counters", "tls_lines"),
    (b"no-action messages", "counters", "non_active_connections"),
    (b"other messages", "counters", "other_lines"),
    (b"from messages (out-of-order)", "counters", "from_out_of_order"),
    (b"to messages (out-of-order)", "counters", "to_out_of_order"),
    (b"messages chains", "counters", "message_chains"),
    (b"ruleset messages (out-of-order)", "counters", "ruleset_out_of_order"),
    (b"ruleset chains", "counters", "ruleset_chains"),
    (b"milter messages (out-of-order)", "counters", "milter_out_of_order"),
    (b"milter chains", "counters", "milter_chains"),
    (b"inbound connects", "inbound", "connects"),
    (b"inbound messages", "inbound", "messages"),
    (b"incoming total size", "inbound", "total_size"),
    (b"total time (seconds)", "inbound", "total_time"),
    (b"outbound messages", "outbound", "messages"),
    (b"outbound messages (sent)", "outbound", "sent"),
    (b"outbound messages (deferred)", "outbound", "deferred"),
    (b"outbound messages (queued)", "outbound", "queued"),
    (b"outbound messages (unknown user)", "outbound", "unknown_user"),
    (b"outbound messages (host not available)", "outbound", "host_unavailable"),
    (b"outbound messages (service not available)", "outbound", "service_unavailable"),
    (b"outbound messages (other error)", "outbound", "other_error"),
]
RATES = [
    (b"incoming average size", "average_size"),
    (b"incoming messages per hour", "per_hour"),
    (b"incoming messages per minute", "per_minute"),
    (b"incoming messages per second", "per_second"),
]


def check_general(name, host, lines):
    where = f"{name}: host {host['host']!r}"
    check(value_of(lines, b"first log entry").encode() == ctime(host["first_entry_unix"]), f"{where}: first entry")
    check(value_of(lines, b"last log entry").encode() == ctime(host["last_entry_unix"]), f"{where}: last entry")
    for label, part, key in COUNTERS:
        check(int(value_of(lines, label)) == host[part][key], f"{where}: {label.decode()}")
    for label, key in RATES:
        check(value_of(lines, label) == "%.2f" % host["inbound"][key], f"{where}: {label.decode()}")
    # Status texts, in order of first appearance.
    start = lines.index(b"Num   Messages   Status") + 1
    rows = []
    for line in lines[start:]:
        if not line:
            break
        number, count, text = line.split(b": ", 2)
        rows.append((int(count), text))
    wanted = [(e["count"], text_bytes(e["status"])) for e in host["statuses"]["entries"]]
    check(rows == wanted, f"{where}: status texts")
    # Hourly and weekly rows.
    hours = [line.split() for line in lines if re.match(rb"^\d\d-\d\d\t", line)]
    check([[int(x) for x in row[1:]] for row in hours] ==
          [[h["connects"], h["inbound"], h["outbound"], h["rejects"], h["viruses"]] for h in host["hourly"]],
          f"{where}: hourly rows")
    days = [line.split() for line in lines if re.match(rb"^(Sun|Mon|Tue|Wed|Thu|Fri|Sat)\t", line)]
    check([[int(x) for x in row[1:]] for row in days] ==
          [[d["connects"], d["inbound"], d["outbound"], d["rejects"], d["viruses"]] for d in host["weekly"]],
          f"{where}: weekly rows")


def check_domains(name, doc, report, part):
    """The unsorted rows of an ASCII domain report against a domain table."""
    blocks = general_blocks(report)
    for host in doc["hosts"]:
        lines = blocks[text_bytes(host["host"])]
        for level in (1, 2):
            rows = []
            for line in lines:
                m = re.match(rb"^all=(\d+) send=(\d+) recv=(\d+) milrej=(\d+) (.*)$", line)
                if m:
                    rows.append((level_of_line(lines, line), [int(x) for x in m.groups()[:4]], m.group(5)))
            got = [(r[1], r[2]) for r in rows if r[0] == level]
            table = host["tables"][part][f"level_{level}"]["domains"]
            wanted = [([d["all"], d["send"], d["recv"], d["milrej"]], text_bytes(d["name"]) or b"(null)") for d in table]
            check(got == wanted, f"{name}: {part} level {level} of {host['host']!r}")
            check(len(got) > 0 or name == "hostile", f"{name}: {part} level {level} has rows")


def level_of_line(lines, line):
    level = 0
    for candidate in lines:
        m = re.match(rb"^<<< Unsorted list of domains level-(\d)", candidate)
        if m:
            level = int(m.group(1))
        if candidate is line:
            return level
    return level


def label_of(host_bytes):
    """The host label the metrics file gives a host name (see prometheus_export.h)."""
    out = ""
    i = 0
    while i < len(host_bytes):
        for length in (1, 2, 3, 4):
            try:
                out += host_bytes[i:i + length].decode("utf-8")
                i += length
                break
            except UnicodeDecodeError:
                continue
        else:
            out += "\\x%02X" % host_bytes[i]
            i += 1
    return out


def check_prometheus(name, doc, metrics, blocks, lines_read):
    families = {f.name: f for f in text_string_to_metric_families(metrics)}
    check(all(n.startswith("quelm_") for n in families), f"{name}: metric names")
    for family in families.values():
        check(family.type == "gauge" and family.documentation, f"{name}: {family.name} has help and type")

    def value(family, host=None, **labels):
        found = [s.value for s in families[family].samples
                 if (host is None or s.labels.get("host") == host) and all(s.labels.get(k) == v for k, v in labels.items())]
        check(len(found) == 1, f"{name}: one sample of {family} {host} {labels}")
        return found[0] if found else None

    check(value("quelm_lines_read") == lines_read, f"{name}: lines read")
    for host in doc["hosts"]:
        raw = text_bytes(host["host"])
        lines = blocks[raw]
        label = label_of(raw)
        where = f"{name}: metrics of {host['host']!r}"
        figures = {
            "quelm_inbound_messages": b"inbound messages",
            "quelm_outbound_messages": b"outbound messages",
            "quelm_inbound_bytes": b"incoming total size",
            "quelm_inbound_connects": b"inbound connects",
            "quelm_non_active_connections": b"no-action messages",
            "quelm_tls_connections": b"tls/ssl messages",
            "quelm_viruses": b"viruses detected",
            "quelm_syserrs": b"other SYSERR",
            "quelm_daemon_restarts": b"daemon restarts",
            "quelm_deferrals": b"outbound messages (deferred)",
        }
        for family, line in figures.items():
            check(value(family, label) == int(value_of(lines, line)), f"{where}: {family}")
        statuses = {"sent": b"sent", "deferred": b"deferred", "queued": b"queued", "unknown_user": b"unknown user",
                    "host_unavailable": b"host not available", "service_unavailable": b"service not available",
                    "other_error": b"other error"}
        for status, text in statuses.items():
            check(value("quelm_deliveries", label, status=status) ==
                  int(value_of(lines, b"outbound messages (" + text + b")")), f"{where}: deliveries {status}")
        check(value("quelm_deliveries", label, status="virus") == int(value_of(lines, b"viruses detected")),
              f"{where}: deliveries virus")
        check(value("quelm_rejects", label, kind="ruleset") == int(value_of(lines, b"ruleset based rejections")),
              f"{where}: ruleset rejects")
        check(value("quelm_rejects", label, kind="milter") == int(value_of(lines, b"milter based rejections")),
              f"{where}: milter rejects")
        check(value("quelm_lines_not_understood", label, kind="unknown") == int(value_of(lines, b"unknown messages")),
              f"{where}: unknown lines")
        check(value("quelm_lines_not_understood", label, kind="other") == int(value_of(lines, b"other messages")),
              f"{where}: other lines")
        check(ctime(value("quelm_first_log_entry_timestamp_seconds", label)) == value_of(lines, b"first log entry").encode(),
              f"{where}: first entry")
        check(ctime(value("quelm_last_log_entry_timestamp_seconds", label)) == value_of(lines, b"last log entry").encode(),
              f"{where}: last entry")
        check(value("quelm_inbound_recipients", label) == host["inbound"]["recipients"], f"{where}: recipients in")
        check(value("quelm_outbound_recipients", label) == host["outbound"]["recipients"], f"{where}: recipients out")


def run_case(name, binary, log, schema, work):
    os.makedirs(work, exist_ok=True)
    reports = {"G": "gen.txt", "N": "envdom.txt", "Q": "reldom.txt", "E": "env.txt", "R": "rel.txt", "S": "rul.txt",
               "M": "mil.txt", "Y": "sumrel.txt", "X": "sumrcpt.txt", "K": "msgrej.txt"}
    args = [binary, "-a", "-w", "-v", "-f", log, "-B", work, "--json", os.path.join(work, "run.json"),
            "--prometheus", os.path.join(work, "run.prom")]
    for option, file in reports.items():
        args += ["-" + option.lower(), "-" + option, file]
    run = subprocess.run(args, capture_output=True, env=dict(os.environ, TZ="UTC"))
    check(run.returncode == 0, f"{name}: status {run.returncode}")
    read = lambda file: open(os.path.join(work, file), "rb").read()
    raw = read("run.json")
    raw.decode("utf-8")  # the document is UTF-8 whatever the log held
    doc = json.loads(raw)
    jsonschema.Draft202012Validator(schema, format_checker=jsonschema.FormatChecker()).validate(doc)
    check(doc["run"]["inputs"] == [log], f"{name}: inputs")
    check(set(doc["hosts"][0]["tables"]) == {"envelope_domains", "relay_domains", "envelope", "relay", "ruleset_rejects",
                                             "milter_rejects", "relay_summary", "recipient_summary"},
          f"{name}: every table built")
    blocks = general_blocks(read("gen.txt"))
    check([text_bytes(h["host"]) for h in doc["hosts"]] == list(blocks), f"{name}: hosts")
    for host in doc["hosts"]:
        check_general(name, host, blocks[text_bytes(host["host"])])
    check_domains(name, doc, read("envdom.txt"), "envelope_domains")
    check_domains(name, doc, read("reldom.txt"), "relay_domains")
    lines_read = int(re.search(rb"(\d+) total lines processed", run.stderr).group(1))
    check(doc["run"]["lines_read"] == lines_read, f"{name}: lines read")
    check_prometheus(name, doc, read("run.prom").decode("utf-8"), blocks, lines_read)


def main():
    binary, source = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    schema = json.load(open(os.path.join(source, "doc/quelm_stat.schema.json")))
    jsonschema.Draft202012Validator.check_schema(schema)
    generator = os.path.join(os.path.dirname(binary), "tools", "quelm_gen_log")
    with tempfile.TemporaryDirectory() as work:
        generated = os.path.join(work, "generated.log")
        with open(generated, "wb") as out:
            subprocess.run([generator, "--shape=spam", "5", "3000", "4"], stdout=out, check=True)
        logs = {
            "sample": os.path.join(source, "examples/sample.log"),
            "hostile": os.path.join(source, "tests/e2e/cases/hostile_markup/hostile.log"),
            "generated": generated,
        }
        for name, log in logs.items():
            run_case(name, binary, log, schema, os.path.join(work, name))
    for failure in failures:
        print("FAIL", failure)
    print(f"export check: {checks} checks,", "failed" if failures else "ok")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
