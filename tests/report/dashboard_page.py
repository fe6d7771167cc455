"""Reading a dashboard page back: the element tree (Python's own HTML parser,
which knows nothing of the program), and per host the cards, the top tables and
the charts. Used by tests/report/dashboard_figures.py and
tests/browser/dashboard_test.py."""

import html.parser

VOID = {"meta", "link", "br", "img", "input", "hr", "source", "wbr", "area", "base", "col", "embed", "track"}


class Node:
    def __init__(self, tag, attrs, parent):
        self.tag, self.attrs, self.parent, self.children = tag, dict(attrs), parent, []

    def text(self):
        return "".join(c if isinstance(c, str) else c.text() for c in self.children)

    def elements(self):
        """Every element below this one, in document order."""
        for child in self.children:
            if isinstance(child, Node):
                yield child
                yield from child.elements()

    def find_all(self, tag):
        return [e for e in self.elements() if e.tag == tag]

    def classes(self):
        return (self.attrs.get("class") or "").split()


class _TreeBuilder(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.root = self.current = Node("#document", {}, None)

    def handle_starttag(self, tag, attrs):
        node = Node(tag, attrs, self.current)
        self.current.children.append(node)
        if tag not in VOID:
            self.current = node

    def handle_startendtag(self, tag, attrs):
        self.current.children.append(Node(tag, attrs, self.current))

    def handle_endtag(self, tag):
        node = self.current
        while node is not self.root and node.tag != tag:
            node = node.parent
        if node is not self.root:
            self.current = node.parent

    def handle_data(self, data):
        self.current.children.append(data)


def parse(text):
    builder = _TreeBuilder()
    builder.feed(text)
    builder.close()
    return builder.root


def number(text):
    """A grouped number of the page ("5 626 103") as an int."""
    return int(text.replace(" ", "").replace("\u00a0", ""))


class HostView:
    """What the page shows for one host: name, cards {key: (value, note)}, top tables {key: rows of
    cells without the row number}, charts {key: figure}."""

    def __init__(self, section):
        self.name = section.find_all("h2")[0].text()
        self.cards = {}
        for card in (d for d in section.find_all("div") if d.attrs.get("data-figure")):
            parts = {p.classes()[0]: p.text() for p in card.find_all("p")}
            self.cards[card.attrs["data-figure"]] = (number(parts["value"]), parts["note"])
        self.tables = {}
        for table in (t for t in section.find_all("table") if t.attrs.get("data-table")):
            rows = ([c.text() for c in row.find_all("td")] for row in table.find_all("tbody")[0].find_all("tr"))
            self.tables[table.attrs["data-table"]] = [cells[1:] for cells in rows if len(cells) > 1]
        self.charts = {f.attrs.get("data-chart"): f for f in section.find_all("figure")}


def hosts(root):
    return [HostView(s) for s in root.find_all("section") if "host" in s.classes()]
