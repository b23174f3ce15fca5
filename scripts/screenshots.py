#!/usr/bin/env python3
"""Remakes the README's pictures (docs/*.png) from the real program under Xvfb, against local
feed and suggest servers, with a week of trends gathered by quillory-cli watch (under faketime, a
day at a time) and a harvested Suggest table:

    docs/main-window.png, docs/main-window-dark.png, docs/history-panel.png, docs/suggest.png,
    docs/options.png

    scripts/screenshots.py [BUILD]        (make screenshots)
"""
import glob
import http.server
import json
import os
import random
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
DOCS = os.path.abspath("docs")
SECTION = "\u00a7"
POOL = [
    ("taylor swift tour", "500K+"), ("eclipse 2026", "200K+"), ("nfl playoffs", "200K+"), ("world cup draw", "100K+"),
    ("premier league", "100K+"), ("black friday deals", "100K+"), ("met office warning", "50K+"),
    ("northern lights tonight", "50K+"), ("mortgage rates", "50K+"), ("nba trade deadline", "50K+"),
    ("oscars nominations", "20K+"), ("snow day", "20K+"), ("bitcoin price", "20K+"), ("grammy winners", "20K+"),
    ("champions league", "20K+"), ("flu symptoms", "10K+"), ("marathon results", "10K+"),
    ("new iphone", "10K+"), ("election polls", "10K+"), ("wimbledon tickets", "10K+"), ("solar eclipse glasses", "5K+"),
    ("super bowl halftime", "5K+"), ("stock market today", "5K+"), ("weather radar", "5K+"), ("red wine", "2K+"),
    ("christmas markets", "2K+"), ("train strikes", "2K+"), ("pancake recipe", "2K+"), ("f1 calendar", "2K+"),
    ("heat wave", "1K+"),
]
SUGGESTIONS = ["glasses", "and cheese", "vs white wine", "benefits", "calories", "stain remover", "sauce",
               "gift set", "near me", "for beginners"]


class Servers(http.server.BaseHTTPRequestHandler):
    """The trending feed (a different draw of the pool each scrape) and Bing-style suggestions."""

    scrape = 0

    def do_GET(self):
        url = urllib.parse.urlparse(self.path)
        query = urllib.parse.parse_qs(url.query)
        if url.path.startswith("/osjson"):
            phrase = query.get("query", [""])[0]
            body = json.dumps([phrase, [f"{phrase} {word}" for word in SUGGESTIONS]]).encode()
            kind = "application/json; charset=UTF-8"
        else:
            geo = query.get("geo", ["US"])[0]
            Servers.scrape += 1
            draw = random.Random(Servers.scrape).sample(POOL, 18)
            if geo == "US" and POOL[0] not in draw:
                draw[0] = POOL[0]
            items = "".join(
                f"<item><title>{k}</title><ht:approx_traffic>{t}</ht:approx_traffic>"
                f"<ht:news_item><ht:news_item_title>What to know about {k}</ht:news_item_title>"
                f"<ht:news_item_url>https://news.example/{geo.lower()}/{k.replace(' ', '-')}</ht:news_item_url>"
                f"<ht:news_item_source>Example News {geo}</ht:news_item_source></ht:news_item></item>"
                for k, t in draw)
            body = ('<?xml version="1.0" encoding="UTF-8"?><rss version="2.0" '
                    'xmlns:ht="https://trends.google.com/trending/rss"><channel>' + items + "</channel></rss>").encode()
            kind = "application/rss+xml"
        self.send_response(200)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def run(*command, **options):
    return subprocess.run(list(command), check=True, **options)


def xdotool(*arguments):
    return subprocess.run(["xdotool", *arguments], check=True, capture_output=True, text=True).stdout.strip()


def window_named(title, timeout=30):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", title], capture_output=True, text=True)
        if found.stdout.strip():
            return found.stdout.split()[0]
        time.sleep(0.2)
    raise SystemExit(f"screenshots: no window named {title}")


def shoot(window, name):
    time.sleep(1.0)
    run("import", "-window", window, os.path.join(DOCS, name))
    print(f"screenshots: docs/{name}")


def gather_week(folder, env):
    """A week of trends: each day's scrapes made by quillory-cli watch, its clock set back."""
    # libfaketime itself, not the faketime command, so that SIGTERM reaches the watch.
    library = glob.glob("/usr/lib/*/faketime/libfaketimeMT.so.1")[0]
    for days_ago in range(7, -1, -1):
        watch = subprocess.Popen([os.path.join(BUILD, "quillory-cli"), "watch", "--folder", folder, "--every", "1s"],
                                 env=dict(env, LD_PRELOAD=library, FAKETIME=f"-{days_ago}d"),
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(2.5)
        watch.terminate()
        watch.wait(timeout=30)


def harvested_suggest_table(folder):
    rows = []
    for phrase in ["red wine", "red wine glasses", "red wine and cheese", "red wine benefits", "white wine",
                   "rose wine", "wine tasting", "wine cooler"]:
        cells = [phrase]
        for word in SUGGESTIONS:
            cells += [f"{phrase} {word}", ""]
        rows.append("|".join(cell.replace(" ", SECTION) for cell in cells) + "|\r\n")
    with open(os.path.join(folder, "dbsuggest.dat"), "w", encoding="utf-8", newline="") as f:
        f.write("".join(rows))


def start_program(folder, env, theme):
    with open(os.path.join(folder, "quillory.ini"), "r+", encoding="utf-8") as f:
        text = f.read().split("[Look]")[0]
        f.seek(0)
        f.write(text + f"[Look]\nTheme={theme}\n")
        f.truncate()
    program = subprocess.Popen([os.path.join(BUILD, "quillory")], env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    window = window_named("^Quillory")
    xdotool("windowsize", window, "1380", "860")
    xdotool("windowmove", window, "10", "10")
    xdotool("windowfocus", "--sync", window)
    return program, window


def main():
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Servers)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    folder = tempfile.mkdtemp(prefix="quillory-screenshots-")
    base = f"http://127.0.0.1:{server.server_port}"
    with open(os.path.join(folder, "quillory.ini"), "w", encoding="utf-8") as f:
        f.write(f"[HotTrends]\nSource=trending\nGeo=US,GB\n[Suggest]\nEngine=bing\nPauseMin=0\nPauseMax=0\n"
                f"[Endpoints]\nTrends={base}\nBing={base}\n")
    env = dict(os.environ, QUILLORY_HOME=folder, LANG="en_US.UTF-8", LC_ALL="en_US.UTF-8")
    gather_week(folder, env)
    harvested_suggest_table(folder)

    # A display of its own: the first number no X server holds.
    for number in range(93, 120):
        display = f":{number}"
        xvfb = subprocess.Popen(["Xvfb", display, "-screen", "0", "1400x880x24", "-nolisten", "tcp"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(1)
        if xvfb.poll() is None:
            break
    env["DISPLAY"] = display
    os.environ["DISPLAY"] = display
    program = None
    try:
        for theme, picture in (("dark", "main-window-dark.png"), ("light", "main-window.png")):
            program, window = start_program(folder, env, theme)
            shoot(window, picture)
            if theme == "dark":
                program.terminate()
                program.wait(timeout=30)
        # The history of one keyword: the list clicked, the keyword found with the find box (Ctrl+F),
        # then the panel (Alt+H).
        xdotool("mousemove", "--window", window, "300", "250", "click", "1")
        xdotool("key", "ctrl+f")
        xdotool("type", "--delay", "30", "taylor swift tour")
        time.sleep(0.8)
        xdotool("key", "Down")
        xdotool("key", "alt+h")
        shoot(window, "history-panel.png")
        xdotool("key", "alt+h")
        xdotool("key", "Escape")
        # The Suggest page, its first phrase chosen so that the preview shows its suggestions.
        xdotool("key", "ctrl+Tab")
        time.sleep(0.5)
        xdotool("mousemove", "--window", window, "150", "200", "click", "1")
        shoot(window, "suggest.png")
        # The options.
        xdotool("key", "alt+o")
        options = window_named("^Options$")
        xdotool("windowfocus", "--sync", options)
        shoot(options, "options.png")
        xdotool("key", "Escape")
    finally:
        if program and program.poll() is None:
            program.terminate()
            program.wait(timeout=30)
        xvfb.terminate()
        server.shutdown()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
