#!/usr/bin/env python3
"""The dashboard in a real browser: the pages of the sample log, a generated log
and the log full of markup are opened in headless Chromium, which must load
each without a console message; each is shot at a desktop and a phone width
(a PNG of that size with more than one colour); and the DOM Chromium built is
checked: every chart with its title, description and number table, every top
table, the expected rows, and no element or attribute that is not the page's
own (log text must stay text). A page that logs to the console shows that the
console check can fail. Without Chromium the test says so and passes.

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
SIZES = [(1280, 900), (390, 844)]


class Browser:
    def __init__(self, work):
        self.work = work
        self.runs = 0

    def run(self, url, *arguments):
        """Chromium's standard output, and the console lines of its log."""
        self.runs += 1
        profile = os.path.join(self.work, f"profile{self.runs}")
        command = ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run", "--hide-scrollbars",
                   "--user-data-dir=" + profile, "--enable-logging=stderr", "--v=0", *arguments, url]
        done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=180)
        console = [line for line in done.stderr.decode(errors="replace").splitlines() if ":CONSOLE" in line]
        shutil.rmtree(profile, ignore_errors=True)
        return done.stdout.decode("utf-8", errors="replace"), console


def png_facts(path):
    """(width, height, distinct sampled bytes) of a PNG; None when it is not one."""
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < 33 or data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        return None
    width, height = struct.unpack(">II", data[16:24])
    chunks, at = [], 8
    while at + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        if kind == b"IDAT":
            chunks.append(data[at + 8:at + 8 + length])
        at += 12 + length
    pixels = zlib.decompress(b"".join(chunks))
    return width, height, len(set(pixels[::97]))


class Checker:
    def __init__(self, quiet=False):
        self.failures = 0
        self.checks = 0
        self.quiet = quiet

    def that(self, condition, what):
        self.checks += 1
        if not condition:
            self.failures += 1
            if not self.quiet:
                print("FAIL " + what)


def check_dom(check, name, root):
    for element in root.elements():
        check.that(element.tag in TAGS, f"{name}: element <{element.tag}> is not the page's own")
        for attribute, value in element.attrs.items():
            check.that(attribute in ATTRIBUTES, f"{name}: attribute {attribute} on <{element.tag}>")
            if attribute == "href":
                check.that(value.startswith("#host-") or not value.lower().startswith(("javascript", "data", "//")),
                           f"{name}: link {value}")
    styles = "".join(s.text() for s in root.find_all("style"))
    check.that("url(" not in styles and "@import" not in styles, f"{name}: the style sheet loads a file")
    hosts = dashboard_page.hosts(root)
    check.that(len(hosts) > 0, f"{name}: no host section")
    for host in hosts:
        for key in CHARTS:
            figure = host.charts.get(key)
            check.that(figure is not None, f"{name} {host.name}: chart {key} missing")
            if figure is None:
                continue
            svg = figure.find_all("svg")
            check.that(len(svg) == 1 and svg[0].attrs.get("role") == "img", f"{name} {host.name}: {key} has no SVG")
            if svg:
                check.that(svg[0].find_all("title") and svg[0].find_all("title")[0].text(),
                           f"{name} {host.name}: {key} without <title>")
                check.that(svg[0].find_all("desc") and svg[0].find_all("desc")[0].text(),
                           f"{name} {host.name}: {key} without <desc>")
                check.that(len(svg[0].find_all("line")) >= 3, f"{name} {host.name}: {key} without axes")
            check.that(figure.find_all("figcaption") and figure.find_all("table"),
                       f"{name} {host.name}: {key} without its numbers")
        for key in TABLES:
            check.that(key in host.tables, f"{name} {host.name}: table {key} missing")
        check.that(len(host.cards) == 13, f"{name} {host.name}: {len(host.cards)} cards")
    return hosts


def table(hosts, host, key):
    for h in hosts:
        if h.name == host:
            return h.tables[key]
    return []


def expectations(check, name, hosts, source_rows):
    """Rows that must show: read from the log (hostile) or the ASCII reports (sample)."""
    if name == "sample":
        senders = [(row[0], row[1]) for row in table(hosts, "mx1", "senders")[:3]]
        check.that(senders == [("<>", "7"), ("support@hosting-provider.net", "7"), ("olga.petrova@mail.ru", "6")],
                   f"sample: mx1 top senders {senders}")
        recipients = [(row[0], row[1]) for row in table(hosts, "mx1", "recipients")[:2]]
        check.that(recipients == [("accounting@example.com", "8"), ("admin@example.com", "8")],
                   f"sample: mx1 top recipients {recipients}")
    if name == "hostile":
        check.that([h.name for h in hosts] == ["mx1", "ev\"il<script>alert(37)</script>'&=`x"],
                   f"hostile: host names {[h.name for h in hosts]}")
        senders = [row[0] for row in table(hosts, "mx1", "senders")]
        check.that("a\"<script>alert(6)</script>@sender.example" in senders, f"hostile: senders {senders}")
        reasons = [row[0] for row in table(hosts, "mx1", "reject-reasons")]
        check.that("550 5.7.1 <script>alert(17)</script> \"rejected\" 'spam'" in reasons, f"hostile: reasons {reasons}")
    if name == "generated":
        check.that(all(table(hosts, h.name, "senders") for h in hosts), "generated: a host without senders")
    # The browser's tree holds the same rows as the file read by a plain parser.
    for h in hosts:
        for key in TABLES:
            check.that(h.tables[key] == source_rows[h.name][key], f"{name} {h.name}: {key} differs from the file")


def write_pages(binary, source, work):
    generator = os.path.join(os.path.dirname(binary), "tools", "quelm_gen_log")
    generated = os.path.join(work, "generated.log")
    with open(generated, "wb") as f:
        subprocess.run([generator, "--shape=spam", "5", "20000", "3"], stdout=f, check=True)
    runs = {
        "sample": ["-c", os.path.join(source, "examples", "quelm_stat.conf"), "-w", "-f",
                   os.path.join(source, "examples", "sample.log")],
        "generated": ["-e", "-E", "envelopes.html", "-f", generated],
        "hostile": ["-g", "-G", "general.html", "-e", "-E", "envelopes.html", "-f",
                    os.path.join(source, "tests", "e2e", "cases", "hostile_markup", "hostile.log")],
    }
    pages = {}
    for name, arguments in runs.items():
        folder = os.path.join(work, name)
        os.mkdir(folder)
        subprocess.run([binary, *arguments, "-B", folder, "--dashboard", "dashboard.html"], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=dict(os.environ, TZ="UTC"))
        pages[name] = os.path.join(folder, "dashboard.html")
    return pages


def main():
    if shutil.which("chromium") is None:
        print("skipped: chromium not installed")
        return 0
    binary = os.path.abspath(sys.argv[1])
    source = os.path.abspath(sys.argv[2])
    check = Checker()
    with tempfile.TemporaryDirectory() as work:
        browser = Browser(work)
        noisy = os.path.join(work, "noisy.html")
        with open(noisy, "w") as f:
            f.write("<!DOCTYPE html><title>t</title><script>console.error('console works')</script><p>x</p>")
        check.that(browser.run("file://" + noisy, "--dump-dom")[1], "the console check sees no console message")
        planted = Checker(quiet=True)
        check_dom(planted, "planted", dashboard_page.parse("<p>a<img src=x onerror=alert(1)>b</p>"))
        check.that(planted.failures >= 3, "the DOM check misses a planted element and its attributes")
        for name, page in write_pages(binary, source, work).items():
            dom, console = browser.run("file://" + page, "--dump-dom")
            check.that(not console, f"{name}: console: {console}")
            with open(page, encoding="utf-8") as f:
                source_hosts = dashboard_page.hosts(dashboard_page.parse(f.read()))
            hosts = check_dom(check, name, dashboard_page.parse(dom))
            expectations(check, name, hosts, {h.name: h.tables for h in source_hosts})
            for width, height in SIZES:
                shot = os.path.join(work, f"{name}-{width}.png")
                _, console = browser.run("file://" + page, f"--window-size={width},{height}", "--screenshot=" + shot)
                check.that(not console, f"{name} at {width}: console: {console}")
                facts = png_facts(shot) if os.path.exists(shot) else None
                check.that(facts is not None and facts[:2] == (width, height) and facts[2] > 8,
                           f"{name}: screenshot at {width}x{height}: {facts}")
    print(f"dashboard in the browser: {check.checks} checks, {check.failures} failed")
    return 1 if check.failures else 0


if __name__ == "__main__":
    sys.exit(main())
