"""The document as a browser builds it: headless Chromium loads a page and
prints its DOM, which is read back into a small tree."""

import os
import shutil
import subprocess
import tempfile
from html.parser import HTMLParser
from pathlib import Path

CHROMIUM_FLAGS = [
    "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
    "--disable-background-networking", "--disable-component-update",
    "--disable-sync", "--disable-quic", "--hide-scrollbars",
]

VOID = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link",
        "meta", "param", "source", "track", "wbr"}


def find_chromium():
    """The browser: $BRANTIX_CHROMIUM, or chromium on the PATH."""
    wanted = os.environ.get("BRANTIX_CHROMIUM")
    if wanted:
        return wanted
    for name in ("chromium", "chromium-browser", "google-chrome"):
        found = shutil.which(name)
        if found:
            return found
    return None


def run_chromium(chromium, args, timeout=120):
    """Runs the browser once with a fresh profile; returns its stdout."""
    with tempfile.TemporaryDirectory(prefix="brantix-chromium-") as profile:
        done = subprocess.run(
            [chromium, *CHROMIUM_FLAGS, "--user-data-dir=" + profile, *args],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE,
            timeout=timeout, check=False)
    if done.returncode != 0:
        raise RuntimeError("chromium failed (%d): %s" % (
            done.returncode, done.stderr.decode(errors="replace")[-2000:]))
    return done.stdout


class Node:
    def __init__(self, tag, attrs=None, parent=None):
        self.tag = tag
        self.attrs = dict(attrs or {})
        self.parent = parent
        self.children = []  # Nodes and strings.

    def elements(self, tag=None):
        """Descendant elements in document order, optionally of one tag."""
        for child in self.children:
            if isinstance(child, Node):
                if tag is None or child.tag == tag:
                    yield child
                yield from child.elements(tag)

    def child_elements(self, *tags):
        return [c for c in self.children
                if isinstance(c, Node) and c.tag in tags]

    def text(self):
        """The text content with runs of white space made one blank."""
        parts = []

        def walk(node):
            for child in node.children:
                if isinstance(child, Node):
                    walk(child)
                else:
                    parts.append(child)
        walk(self)
        return " ".join("".join(parts).split())

    def ancestors(self):
        node = self.parent
        while node is not None:
            yield node
            node = node.parent

    def serialize(self):
        """A canonical form, for comparing subtrees."""
        attrs = "".join(' %s="%s"' % (k, v) for k, v in sorted(self.attrs.items()))
        inner = "".join(c.serialize() if isinstance(c, Node) else c
                        for c in self.children)
        return "<%s%s>%s</%s>" % (self.tag, attrs, inner, self.tag)


class _TreeBuilder(HTMLParser):
    """Chromium writes every end tag of a non-void element, so the tree is
    read back as it was built."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.root = Node("#document")
        self.current = self.root

    def handle_starttag(self, tag, attrs):
        node = Node(tag, [(k, v if v is not None else "") for k, v in attrs],
                    self.current)
        self.current.children.append(node)
        if tag not in VOID:
            self.current = node

    def handle_startendtag(self, tag, attrs):
        self.handle_starttag(tag, attrs)
        if tag not in VOID:
            self.current = self.current.parent

    def handle_endtag(self, tag):
        node = self.current
        while node is not self.root and node.tag != tag:
            node = node.parent
        if node is self.root:
            raise ValueError("unexpected </%s> in the DOM dump" % tag)
        self.current = node.parent

    def handle_data(self, data):
        self.current.children.append(data)


def parse(html_text):
    builder = _TreeBuilder()
    builder.feed(html_text)
    builder.close()
    return builder.root


def load(chromium, path):
    """The DOM of the page at |path| as Chromium parses it."""
    url = Path(path).resolve().as_uri()
    dumped = run_chromium(chromium, ["--dump-dom", url])
    return parse(dumped.decode("utf-8", errors="replace"))
