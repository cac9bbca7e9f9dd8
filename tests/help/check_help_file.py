#!/usr/bin/env python3
"""Checks the help file against its pages.

  check_help_file.py --pages DIR pages --help-file plinthora.chm
      Every entry of the contents and the index names a page that exists, every page can be
      reached from the contents, and the compiled file holds every page converted to CP932
      (Shift_JIS) with nothing else changed.

  check_help_file.py --pages DIR viewer --probe help_window_probe.exe --run EMULATOR...
      Opens the help file the way F1 does and compares the viewer's title and contents with
      the project file and the contents file.

Exits with 1 and says what differs when a check fails.
"""
import argparse
import html.parser
import os
import subprocess
import sys
import tempfile


class SitemapReader(html.parser.HTMLParser):
    """Entries of a contents (.hhc) or index (.hhk) file: (depth, name, local or None)."""

    def __init__(self):
        super().__init__()
        self.entries = []
        self.depth = 0
        self.current = None

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "ul":
            self.depth += 1
        elif tag == "object" and attrs.get("type") == "text/sitemap":
            self.current = {}
        elif tag == "param" and self.current is not None:
            self.current[attrs.get("name")] = attrs.get("value")

    def handle_endtag(self, tag):
        if tag == "ul":
            self.depth -= 1
        elif tag == "object" and self.current is not None:
            self.entries.append((self.depth - 1, self.current.get("Name"), self.current.get("Local")))
            self.current = None


def read_sitemap(path):
    reader = SitemapReader()
    with open(path, encoding="utf-8") as source:
        reader.feed(source.read())
    return reader.entries


def read_project(path):
    """The [OPTIONS] of a project file as a dictionary, and its [FILES] as a list."""
    options, files, section = {}, [], None
    with open(path, encoding="utf-8") as source:
        for line in source.read().splitlines():
            line = line.strip()
            if line.startswith("[") and line.endswith("]"):
                section = line[1:-1]
            elif line and section == "OPTIONS" and "=" in line:
                key, value = line.split("=", 1)
                options[key] = value
            elif line and section == "FILES":
                files.append(line)
    return options, files


def page_of(local):
    return local.split("#", 1)[0]


def check_pages(pages, help_file):
    problems = []
    options, listed = read_project(os.path.join(pages, "plinthora.hhp"))
    contents = read_sitemap(os.path.join(pages, options["Contents file"]))
    index = read_sitemap(os.path.join(pages, options["Index file"]))
    html_pages = sorted(name for name in os.listdir(pages) if name.endswith(".html"))

    for what, entries in (("contents", contents), ("index", index)):
        for _, name, local in entries:
            if local is not None and not os.path.isfile(os.path.join(pages, page_of(local))):
                problems.append(f"the {what} entry {name!r} names {local}, which is not among the pages")
    in_contents = {page_of(local) for _, _, local in contents if local}
    for page in html_pages:
        if page not in in_contents:
            problems.append(f"{page} cannot be reached from the contents")
        if page not in listed:
            problems.append(f"{page} is missing from [FILES] of plinthora.hhp")
    if options.get("Default topic") != "index.html" or "index.html" not in in_contents:
        problems.append("index.html must be the start page and stand in the contents")

    stored = subprocess.run(["chmls", "-p", "-n", "list", help_file], capture_output=True, text=True,
                            encoding="latin-1").stdout.split()
    with tempfile.TemporaryDirectory() as scratch:
        for page in html_pages + [options["Contents file"], options["Index file"]]:
            if "/" + page not in stored:
                problems.append(f"{page} is not in {help_file}")
                continue
            extracted = os.path.join(scratch, page)
            subprocess.run(["chmls", "extract", help_file, "/" + page, extracted], capture_output=True)
            with open(extracted, "rb") as built, open(os.path.join(pages, page), encoding="utf-8") as source:
                expected = source.read().replace("charset=UTF-8", "charset=Shift_JIS")
                try:
                    text = built.read().decode("cp932")
                except UnicodeDecodeError as error:
                    problems.append(f"{page} in the help file is not CP932: {error}")
                    continue
            if text != expected:
                problems.append(f"{page} in the help file differs from help/pages/{page} converted to CP932")
            elif page.endswith(".html") and "charset=Shift_JIS" not in text:
                problems.append(f"{page} does not declare its charset")
    return problems


def check_viewer(pages, probe, run):
    options, _ = read_project(os.path.join(pages, "plinthora.hhp"))
    contents = read_sitemap(os.path.join(pages, options["Contents file"]))
    expected = ["title " + options["Title"]] + ["toc " + "  " * depth + name for depth, name, _ in contents]

    report = "help_viewer_report.txt"
    if os.path.exists(report):
        os.remove(report)
    result = subprocess.run(run + [probe, report], capture_output=True, timeout=240)
    if result.returncode != 0 or not os.path.exists(report):
        return [f"the help viewer did not open with its contents (probe exit code {result.returncode})"]
    with open(report, encoding="utf-8") as shown:
        lines = [line for line in shown.read().splitlines() if not line.startswith("rect ")]
    if lines != expected:
        return ["the viewer shows\n  " + "\n  ".join(lines) + "\nbut the project and contents say\n  " +
                "\n  ".join(expected)]
    return []


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--pages", required=True)
    commands = parser.add_subparsers(dest="command", required=True)
    pages = commands.add_parser("pages")
    pages.add_argument("--help-file", required=True)
    viewer = commands.add_parser("viewer")
    viewer.add_argument("--probe", required=True)
    viewer.add_argument("--run", nargs="+", required=True)
    arguments = parser.parse_args()

    if arguments.command == "pages":
        problems = check_pages(arguments.pages, arguments.help_file)
    else:
        problems = check_viewer(arguments.pages, arguments.probe, arguments.run)
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
