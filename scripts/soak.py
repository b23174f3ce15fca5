#!/usr/bin/env python3
"""Kill soak: the real program on a 200,000-row table, scraping and saving, killed (SIGKILL) again
and again at random moments, many of them while it writes a table. After each kill every data file
must be the old file or a new whole one, the history must pass SQLite's integrity check, and the
tables must load (through quillory-cli, the program's own readers). One line of summary at the end.

    scripts/soak.py [BUILD]     SOAK_KILLS (default 60) and SOAK_ROWS (default 200000) change the run
"""
import http.server
import os
import random
import re
import signal
import sqlite3
import subprocess
import sys
import tempfile
import threading
import time

BUILD = sys.argv[1] if len(sys.argv) > 1 else "build"
KILLS = int(os.environ.get("SOAK_KILLS", "60"))
ROWS = int(os.environ.get("SOAK_ROWS", "200000"))
PROGRAM = os.path.abspath(os.path.join(BUILD, "quillory"))
CLI = os.path.abspath(os.path.join(BUILD, "quillory-cli"))
SECTION = "\u00a7"
OLD_DATE = f"1/5/2020{SECTION}9:00:00{SECTION}AM"
FEED_KEYWORDS = [f"soak keyword {n}" for n in range(20)]


class Feed(http.server.BaseHTTPRequestHandler):
    """The trending feed: twenty keywords, half of them already in the table."""

    def do_GET(self):
        items = "".join(
            f"<item><title>{k}</title><ht:approx_traffic>{(i + 1) * 100}+</ht:approx_traffic>"
            f"<ht:news_item><ht:news_item_title>about {k}</ht:news_item_title>"
            f"<ht:news_item_url>https://news.example/{i}</ht:news_item_url></ht:news_item></item>"
            for i, k in enumerate(FEED_KEYWORDS))
        body = ('<?xml version="1.0" encoding="UTF-8"?><rss version="2.0" '
                'xmlns:ht="https://trends.google.com/trending/rss"><channel>' + items + "</channel></rss>").encode()
        self.send_response(200)
        self.send_header("Content-Type", "application/rss+xml")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return None


TABLE_LINE = re.compile(rb"^[^|\r\n]*\|[^|\r\n]*\|[0-9]*\|$")


def whole_table(data, old):
    """A table file the program wrote whole: each line complete, no row of the old one lost."""
    if not data.endswith(b"\r\n"):
        return "does not end with a line end"
    lines = data[:-2].split(b"\r\n")
    if not all(TABLE_LINE.match(line) for line in lines):
        return "holds a cut or damaged line"
    before = 0 if old is None else old.count(b"\r\n")
    if len(lines) < before:
        return f"has {len(lines)} rows, fewer than the {before} before"
    return None


LAST_PARSED = re.compile(rb"^<%%LastParsed%%>[^<\r\n]+<%%/LastParsed%%>(\r\n)?$")


def make_scrape_due(folder):
    """The last scrape two hours ago, in config.dat and in the table's dates."""
    path = os.path.join(folder, "dabatase.dat")
    text = read(path).decode("utf-8")
    text = re.sub(r"\|[^|\r\n]*\|([0-9]*)\|\r\n", lambda m: f"|{OLD_DATE}|{m.group(1)}|\r\n", text)
    write(path, text.encode("utf-8"))
    write(os.path.join(folder, "config.dat"), f"<%%LastParsed%%>{OLD_DATE.replace(SECTION, ' ')}<%%/LastParsed%%>".encode())


def saving(pid, folder):
    """Whether the program has a file of the folder open for writing that is not yet in its place."""
    fds = f"/proc/{pid}/fd"
    try:
        for fd in os.listdir(fds):
            try:
                target = os.readlink(os.path.join(fds, fd))
            except OSError:
                continue
            if target.startswith(folder) and ("(deleted)" in target or "#" in target or ".dat." in target):
                return True
    except OSError:
        pass
    return False


def main():
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Feed)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    folder = tempfile.mkdtemp(prefix="quillory-soak-")
    rows = [f"soak keyword {n}" if n < 10 else f"keyword number {n}" for n in range(ROWS)]
    write(os.path.join(folder, "dabatase.dat"),
          "".join(f"{k.replace(' ', SECTION)}|{OLD_DATE}|{n % 50 + 1}|\r\n" for n, k in enumerate(rows)).encode("utf-8"))
    write(os.path.join(folder, "dbsuggest.dat"), f"red{SECTION}wine|red{SECTION}wine{SECTION}glasses|30".encode() + b"|" * 19 + b"\r\n")
    write(os.path.join(folder, "quillory.ini"),
          f"[HotTrends]\nSource=trending\nGeo=US,GB\n[Endpoints]\nTrends=http://127.0.0.1:{server.server_port}\n".encode())
    env = dict(os.environ, QUILLORY_HOME=folder, QT_QPA_PLATFORM="offscreen", LC_ALL="en_US.UTF-8",
               LANG="en_US.UTF-8", QUILLORY_MONITOR_TICK_MS="20")
    rng = random.Random(int(os.environ.get("SOAK_SEED", "20261211")))
    faults, during_saves, new_tables = [], 0, 0
    started = time.monotonic()
    for kill in range(1, KILLS + 1):
        make_scrape_due(folder)
        old = {name: read(os.path.join(folder, name)) for name in ("dabatase.dat", "config.dat", "dbsuggest.dat")}
        program = subprocess.Popen([PROGRAM], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # Half the kills wait for a table write and strike within it; the others strike at any moment
        # of the start, the load, the scrape and the saves.
        deadline = time.monotonic() + 30
        if kill % 2 == 0:
            while time.monotonic() < deadline and program.poll() is None and not saving(program.pid, folder):
                time.sleep(0.001)
            time.sleep(rng.uniform(0, 0.03))
        else:
            time.sleep(rng.uniform(0, 2.5))
        if saving(program.pid, folder):
            during_saves += 1
        program.send_signal(signal.SIGKILL)
        program.wait()

        for name, before in old.items():
            now = read(os.path.join(folder, name))
            if now == before:
                continue
            if name == "dabatase.dat":
                why = whole_table(now, before)
                new_tables += why is None
            elif name == "config.dat":
                why = None if LAST_PARSED.match(now) else "is not a whole date"
            else:
                why = "changed, though nothing harvested"
            if why:
                faults.append(f"kill {kill}: {name} {why}")
        history = os.path.join(folder, "trends.sqlite")
        if os.path.exists(history):
            with sqlite3.connect(history) as db:
                result = db.execute("PRAGMA integrity_check").fetchone()[0]
            if result != "ok":
                faults.append(f"kill {kill}: trends.sqlite: {result}")
        for table in ("trends", "suggest"):
            load = subprocess.run([CLI, "table", table, "--folder", folder], env=env, capture_output=True)
            if load.returncode != 0:
                faults.append(f"kill {kill}: the {table} table does not load: {load.stderr.decode().strip()}")
        if faults:
            break

    # The last start: the program loads everything and ends in order.
    program = subprocess.Popen([PROGRAM], env=dict(env, QT_LOGGING_RULES="quillory.startup.info=true"),
                               stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    time.sleep(3)
    program.terminate()
    said = program.communicate(timeout=60)[1]
    if "tables loaded" not in said or program.returncode != 0:
        faults.append(f"the last start did not load and end in order (status {program.returncode})")
    server.shutdown()

    for fault in faults:
        print(fault, file=sys.stderr)
    print(f"soak: {kill} kills in {time.monotonic() - started:.0f} s, {during_saves} of them while a file was "
          f"being written, {new_tables} new tables found whole, {ROWS} rows: "
          + ("no fault" if not faults else f"{len(faults)} faults (folder kept: {folder})"))
    if not faults:
        subprocess.run(["rm", "-rf", folder])
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
