#!/usr/bin/python3
"""The JSON and Prometheus exports against the ASCII reports of the same run.

For the sample log, the hostile-markup log and a generated spam-shaped log
the program writes every ASCII report together with --json and --prometheus.
The JSON document must validate against doc/quelm_stat.schema.json; per host
its general counters, rates, status texts, hourly and weekly rows must equal
the general report's lines and its domain tables the domain reports' unsorted
rows (in order). The metrics file must parse with prometheus_client's text
parser and its figures equal the general report's.

    export_check.py BINARY SOURCE_DIR
"""
import base64
import codecs
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
    if isinstance(value, dict):
        return base64.b64decode(value["base64"], validate=True)
    return None if value is None else value.encode("utf-8")


def general_blocks(report):
    """host name (bytes) -> list of report lines (bytes) of its block."""
    blocks, current = {}, None
    for line in report.split(b"\n"):
        if line.startswith(b"host: "):
            current = blocks[line[6:]] = []
        elif current is not None:
            current.append(line)
    return blocks


def value_of(lines, label):
    """The figure after "label: " (without the share in parentheses)."""
    for line in lines:
        if line.startswith(label + b": "):
            return line[len(label) + 2:].split(b" (")[0].decode()
    raise KeyError(label)


def ctime(unix):
    return time.strftime("%a %b %e %H:%M:%S %Y", time.gmtime(unix)).encode()


# General report label -> (part of the host object, key); the figures of the
# metrics file named by the same labels, with their family and labels.
COUNTERS = {part: dict(zip(labels.split(","), keys.split())) for part, labels, keys in [
    ("counters", "alias table rebuilds,too many hops,mail loops,other SYSERR,daemon restarts,viruses detected,"
     "ruleset based rejections,milter based rejections,unknown messages,tls/ssl messages,no-action messages,"
     "other messages,from messages (out-of-order),to messages (out-of-order),messages chains,"
     "ruleset messages (out-of-order),ruleset chains,milter messages (out-of-order),milter chains",
     "alias_rebuilds too_many_hops mail_loops other_syserr daemon_restarts viruses ruleset_rejects milter_rejects "
     "unknown_lines tls_lines non_active_connections other_lines from_out_of_order to_out_of_order message_chains "
     "ruleset_out_of_order ruleset_chains milter_out_of_order milter_chains"),
    ("inbound", "inbound connects,inbound messages,incoming total size,total time (seconds)",
     "connects messages total_size total_time"),
    ("outbound", "outbound messages,outbound messages (sent),outbound messages (deferred),outbound messages (queued),"
     "outbound messages (unknown user),outbound messages (host not available),"
     "outbound messages (service not available),outbound messages (other error)",
     "messages sent deferred queued unknown_user host_unavailable service_unavailable other_error")]}
RATES = {"incoming average size": "average_size", "incoming messages per hour": "per_hour",
         "incoming messages per minute": "per_minute", "incoming messages per second": "per_second"}
METRICS = [(family, {}, label) for family, label in [
    ("inbound_messages", "inbound messages"), ("outbound_messages", "outbound messages"),
    ("inbound_bytes", "incoming total size"), ("inbound_connects", "inbound connects"),
    ("non_active_connections", "no-action messages"), ("tls_connections", "tls/ssl messages"),
    ("viruses", "viruses detected"), ("syserrs", "other SYSERR"), ("daemon_restarts", "daemon restarts"),
    ("deferrals", "outbound messages (deferred)")]] + [
    ("deliveries", {"status": s.replace(" ", "_").replace("not_available", "unavailable")},
     f"outbound messages ({s})") for s in ["sent", "deferred", "queued", "unknown user", "host not available",
                                           "service not available", "other error"]] + [
    ("deliveries", {"status": "virus"}, "viruses detected"),
    ("rejects", {"kind": "ruleset"}, "ruleset based rejections"),
    ("rejects", {"kind": "milter"}, "milter based rejections"),
    ("lines_not_understood", {"kind": "unknown"}, "unknown messages"),
    ("lines_not_understood", {"kind": "other"}, "other messages")]


def check_general(name, host, lines):
    where = f"{name}: host {host['host']!r}"
    for end in ("first", "last"):
        check(value_of(lines, f"{end} log entry".encode()).encode() == ctime(host[f"{end}_entry_unix"]),
              f"{where}: {end} entry")
    for part, keys in COUNTERS.items():
        for label, key in keys.items():
            check(int(value_of(lines, label.encode())) == host[part][key], f"{where}: {label}")
    for label, key in RATES.items():
        check(value_of(lines, label.encode()) == "%.2f" % host["inbound"][key], f"{where}: {label}")
    # Status texts, in order of first appearance.
    rows = []
    for line in lines[lines.index(b"Num   Messages   Status") + 1:]:
        if not line:
            break
        number, count, text = line.split(b": ", 2)
        rows.append((int(count), text))
    check(rows == [(e["count"], text_bytes(e["status"])) for e in host["statuses"]["entries"]],
          f"{where}: status texts")
    for rows_name, pattern in (("hourly", rb"^\d\d-\d\d\t"), ("weekly", rb"^(Sun|Mon|Tue|Wed|Thu|Fri|Sat)\t")):
        got = [[int(x) for x in line.split()[1:]] for line in lines if re.match(pattern, line)]
        check(got == [[r["connects"], r["inbound"], r["outbound"], r["rejects"], r["viruses"]] for r in host[rows_name]],
              f"{where}: {rows_name} rows")


def check_domains(name, doc, report, part):
    """The unsorted rows of an ASCII domain report against a domain table."""
    blocks = general_blocks(report)
    for host in doc["hosts"]:
        rows, level = [], 0
        for line in blocks[text_bytes(host["host"])]:
            m = re.match(rb"^<<< Unsorted list of domains level-(\d)", line)
            level = int(m.group(1)) if m else level
            m = re.match(rb"^all=(\d+) send=(\d+) recv=(\d+) milrej=(\d+) (.*)$", line)
            if m:
                rows.append((level, [int(x) for x in m.groups()[:4]], m.group(5)))
        for level in (1, 2):
            got = [(r[1], r[2]) for r in rows if r[0] == level]
            wanted = [([d["all"], d["send"], d["recv"], d["milrej"]], text_bytes(d["name"]) or b"(null)")
                      for d in host["tables"][part][f"level_{level}"]["domains"]]
            check(got == wanted, f"{name}: {part} level {level} of {host['host']!r}")
            check(len(got) > 0 or name == "hostile", f"{name}: {part} level {level} has rows")


# The host label the metrics file gives a host name (see prometheus_export.h):
# each byte of an invalid UTF-8 sequence as \xHH.
codecs.register_error("label", lambda e: ("".join("\\x%02X" % b for b in e.object[e.start:e.end]), e.end))


def check_prometheus(name, doc, metrics, blocks, lines_read):
    families = {f.name: f for f in text_string_to_metric_families(metrics)}
    check(all(n.startswith("quelm_") for n in families), f"{name}: metric names")
    for family in families.values():
        check(family.type == "gauge" and family.documentation, f"{name}: {family.name} has help and type")

    def value(family, labels):
        found = [s.value for s in families["quelm_" + family].samples
                 if all(s.labels.get(k) == v for k, v in labels.items())]
        check(len(found) == 1, f"{name}: one sample of {family} {labels}")
        return found[0] if found else None

    check(value("lines_read", {}) == lines_read, f"{name}: lines read")
    for host in doc["hosts"]:
        raw = text_bytes(host["host"])
        lines, where = blocks[raw], f"{name}: metrics of {host['host']!r}"
        host_label = {"host": raw.decode("utf-8", "label")}
        for family, labels, line in METRICS:
            check(value(family, {**host_label, **labels}) == int(value_of(lines, line.encode())),
                  f"{where}: {family} {labels}")
        for end in ("first", "last"):
            check(ctime(value(f"{end}_log_entry_timestamp_seconds", host_label)) ==
                  value_of(lines, f"{end} log entry".encode()).encode(), f"{where}: {end} entry")
        for way in ("inbound", "outbound"):
            check(value(f"{way}_recipients", host_label) == host[way]["recipients"], f"{where}: recipients {way}")


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
    doc = json.loads(read("run.json").decode("utf-8"))  # the document is UTF-8 whatever the log held
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
        logs = {"sample": os.path.join(source, "examples/sample.log"),
                "hostile": os.path.join(source, "tests/e2e/cases/hostile_markup/hostile.log"),
                "generated": generated}
        for name, log in logs.items():
            run_case(name, binary, log, schema, os.path.join(work, name))
    for failure in failures:
        print("FAIL", failure)
    print(f"export check: {checks} checks,", "failed" if failures else "ok")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
