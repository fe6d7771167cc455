#!/usr/bin/env python3
"""The dashboard in a real browser. The pages of the sample log, a generated log and
the log full of markup are opened in headless Chromium, which must load each without
a console message, and shot at a desktop and a phone width (a PNG of that size with
more than a few colours). The DOM Chromium built is checked: every chart with its
title, description, axes and numbers, every top table with the rows of the file (in
the hostile page, the log's markup as text), no element or attribute that is not the
page's own. A noisy page and a planted element show that those checks can fail.
Without Chromium the test says so and passes.

    dashboard_test.py BINARY SOURCE_DIR
"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "report"))
import dashboard_page  # noqa: E402

CHARTS = ["hourly", "weekday", "statuses", "reject-kinds", "reject-reasons"]
TABLES = ["senders", "recipients", "relays", "sender-domains", "recipient-domains", "reject-reasons"]
TAGS = {"html", "head", "meta", "title", "style", "body", "header", "h1", "h2", "h3", "p", "ul", "li", "span", "a",
        "main", "section", "div", "figure", "figcaption", "svg", "desc", "g", "rect", "line", "text", "table",
        "thead", "tbody", "tr", "th", "td", "caption", "footer"}
ATTRIBUTES = {"lang", "charset", "name", "content", "class", "id", "href", "data-figure", "data-chart", "data-table",
              "xmlns", "viewbox", "role", "x", "y", "x1", "y1", "x2", "y2", "width", "height", "text-anchor",
              "transform", "scope", "colspan"}
HOSTILE_HOST = "ev\"il<script>alert(37)</script>'&=`x"
HOSTILE_ROWS = [("senders", "a\"<script>alert(6)</script>@sender.example"),
                ("reject-reasons", "550 5.7.1 <script>alert(17)</script> \"rejected\" 'spam'")]


def chromium(work, url, *arguments):
    """Chromium's standard output, and the console lines of its log."""
    profile = tempfile.mkdtemp(dir=work)
    done = subprocess.run(["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                           "--hide-scrollbars", "--user-data-dir=" + profile, "--enable-logging=stderr", "--v=0",
                           *arguments, url], capture_output=True, timeout=180)
    shutil.rmtree(profile, ignore_errors=True)
    log = done.stderr.decode(errors="replace").splitlines()
    return done.stdout.decode("utf-8", "replace"), [line for line in log if ":CONSOLE" in line]


def png_facts(path):
    """(width, height, distinct sampled bytes) of a PNG; None when it is not one."""
    data = open(path, "rb").read() if os.path.exists(path) else b""
    if len(data) < 33 or data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        return None
    chunks, at = [], 8
    while at + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        chunks += [data[at + 8:at + 8 + length]] if kind == b"IDAT" else []
        at += 12 + length
    return struct.unpack(">II", data[16:24]) + (len(set(zlib.decompress(b"".join(chunks))[::97])),)


def dom_faults(name, root):
    """What is wrong with a page's tree, one message each; and its hosts."""
    faults = [f"{name}: element <{e.tag}>" for e in root.elements() if e.tag not in TAGS]
    faults += [f"{name}: attribute {a}={v!r} on <{e.tag}>" for e in root.elements() for a, v in e.attrs.items()
               if a not in ATTRIBUTES or (a == "href" and v.lower().startswith(("javascript", "data", "//")))]
    styles = "".join(s.text() for s in root.find_all("style"))
    faults += [f"{name}: the style sheet loads a file"] if "url(" in styles or "@import" in styles else []
    hosts = dashboard_page.hosts(root)
    faults += [] if hosts else [f"{name}: no host section"]
    for host in hosts:
        for key in CHARTS:
            figure = host.charts.get(key)
            svg = figure.find_all("svg") if figure else []
            if not (len(svg) == 1 and svg[0].attrs.get("role") == "img" and len(svg[0].find_all("line")) >= 3
                    and all(svg[0].find_all(t) and svg[0].find_all(t)[0].text() for t in ("title", "desc"))
                    and figure.find_all("figcaption") and figure.find_all("table")):
                faults.append(f"{name} {host.name}: chart {key} missing or without its SVG, axes, texts or numbers")
        faults += [f"{name} {host.name}: table {key} missing" for key in TABLES if key not in host.tables]
        faults += [] if len(host.cards) == 13 else [f"{name} {host.name}: {len(host.cards)} cards"]
    return faults, hosts


def write_pages(binary, source, work):
    generated = os.path.join(work, "generated.log")
    with open(generated, "wb") as f:
        subprocess.run([os.path.join(os.path.dirname(binary), "tools", "quelm_gen_log"), "--shape=spam", "5", "20000",
                        "3"], stdout=f, check=True)
    runs = {"sample": ["-c", os.path.join(source, "examples", "quelm_stat.conf"), "-w", "-f",
                       os.path.join(source, "examples", "sample.log")],
            "generated": ["-e", "-E", "envelopes.html", "-f", generated],
            "hostile": ["-g", "-G", "general.html", "-e", "-E", "envelopes.html", "-f",
                        os.path.join(source, "tests", "e2e", "cases", "hostile_markup", "hostile.log")]}
    for name, arguments in runs.items():
        os.mkdir(os.path.join(work, name))
        subprocess.run([binary, *arguments, "-B", os.path.join(work, name), "--dashboard", "dashboard.html"], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=dict(os.environ, TZ="UTC"))
        yield name, os.path.join(work, name, "dashboard.html")


def main():
    if shutil.which("chromium") is None:
        print("skipped: chromium not installed")
        return 0
    binary, source = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    failures = []

    def that(condition, what):
        if not condition:
            failures.append(what)
            print("FAIL " + what)

    with tempfile.TemporaryDirectory() as work:
        noisy = os.path.join(work, "noisy.html")
        with open(noisy, "w") as f:
            f.write("<!DOCTYPE html><title>t</title><script>console.error('console works')</script><p>x</p>")
        that(chromium(work, "file://" + noisy, "--dump-dom")[1], "the console check sees no console message")
        planted = dom_faults("planted", dashboard_page.parse("<p>a<img src=x onerror=alert(1)>b</p>"))[0]
        that(len(planted) >= 4, f"the DOM check misses a planted element and its attributes: {planted}")
        for name, page in write_pages(binary, source, work):
            dom, console = chromium(work, "file://" + page, "--dump-dom")
            that(not console, f"{name}: console: {console}")
            faults, hosts = dom_faults(name, dashboard_page.parse(dom))
            that(not faults, "; ".join(faults))
            with open(page, encoding="utf-8") as f:
                in_file = {h.name: h.tables for h in dashboard_page.hosts(dashboard_page.parse(f.read()))}
            tables = {h.name: h.tables for h in hosts}
            that(tables == in_file, f"{name}: the browser's top tables differ from the file's")
            that(name != "generated" or all(t["senders"] for t in tables.values()), "generated: a host without senders")
            if name == "hostile":
                that(list(tables) == ["mx1", HOSTILE_HOST], f"hostile: host names {list(tables)}")
                for key, text in HOSTILE_ROWS:
                    that(text in [row[0] for row in tables["mx1"][key]], f"hostile: {key} without {text}")
            for width, height in [(1280, 900), (390, 844)]:
                shot = os.path.join(work, f"{name}-{width}.png")
                console = chromium(work, "file://" + page, f"--window-size={width},{height}", "--screenshot=" + shot)[1]
                that(not console, f"{name} at {width}: console: {console}")
                facts = png_facts(shot)
                that(facts is not None and facts[:2] == (width, height) and facts[2] > 8,
                     f"{name}: screenshot at {width}x{height}: {facts}")
    print(f"dashboard in the browser: {len(failures)} checks failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
