"""Reading a dashboard page back: the element tree (Python's own HTML parser,
which knows nothing of the program), and per host the cards, the top tables and
the charts. Used by tests/report/dashboard_figures.py and
tests/browser/dashboard_test.py."""

import html.parser

VOID = {"meta", "link", "br", "img", "input", "hr", "source", "wbr", "area", "base", "col", "embed", "track"}


class Node:
    def __init__(self, tag, attrs, parent):
        self.tag = tag
        self.attrs = dict(attrs)
        self.parent = parent
        self.children = []

    def text(self):
        return "".join(c if isinstance(c, str) else c.text() for c in self.children)

    def elements(self):
        """Every element below this one, in document order."""
        for child in self.children:
            if isinstance(child, Node):
                yield child
                yield from child.elements()

    def find_all(self, tag=None, **attrs):
        return [e for e in self.elements()
                if (tag is None or e.tag == tag)
                and all(e.attrs.get(k.replace("_", "-")) == v for k, v in attrs.items())]

    def classes(self):
        return (self.attrs.get("class") or "").split()


class _TreeBuilder(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.root = Node("#document", {}, None)
        self.current = self.root

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
    """What the page shows for one host."""

    def __init__(self, section):
        self.section = section
        self.name = section.find_all("h2")[0].text()
        self.cards = {}
        for card in section.find_all("div"):
            key = card.attrs.get("data-figure")
            if key:
                parts = {p.classes()[0]: p.text() for p in card.find_all("p")}
                self.cards[key] = (number(parts["value"]), parts["note"])
        self.tables = {}
        for table in section.find_all("table"):
            key = table.attrs.get("data-table")
            if key:
                rows = []
                for row in table.find_all("tbody")[0].find_all("tr"):
                    cells = [c.text() for c in row.find_all("td")]
                    if len(cells) > 1:
                        rows.append(cells[1:])  # without the row number
                self.tables[key] = rows
        self.charts = {f.attrs.get("data-chart"): f for f in section.find_all("figure")}


def hosts(root):
    return [HostView(s) for s in root.find_all("section") if "host" in s.classes()]
