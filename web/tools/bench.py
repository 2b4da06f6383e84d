#!/usr/bin/env python3
"""The browser build's goals, measured in headless Chromium: the decoder's
speed as a multiple of real time, the size of what a page loads, and the
time from opening a three-minute file to its first audio. The decode is timed
both by the clock and by the processor time the browser spends, which a busy
machine disturbs less.

    web/tools/bench.py --site BUILD/web-wasm/web --x91 BUILD/x91 [--screenshot web/screenshot.png] [FILE.x91]

Without a file it encodes a track of real music (the Debian package
drascula-music, installed when missing, 3:02), cached in
~/.cache/x91-web-bench. Each figure is the median of five runs."""

import argparse
import os
import shutil
import statistics
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from headless import Browser, Site  # noqa: E402

TRACK = "/usr/share/scummvm/drascula/audio/track1.ogg"
RUNS = 5

DECODE_JS = """
async (name) => {
  const { loadX91 } = await import('/x91.js');
  const x91 = await loadX91();
  const bytes = await (await fetch('/data/' + name)).arrayBuffer();
  const start = performance.now();
  const decoder = x91.openBuffer(bytes);
  let frames = 0;
  for (let c; (c = decoder.read()).frames > 0;) frames += c.frames;
  const ms = performance.now() - start;
  decoder.close();
  return { ms, frames };
}
"""


def music_file(x91):
    cache = os.path.join(os.environ.get("XDG_CACHE_HOME", os.path.expanduser("~/.cache")),
                         "x91-web-bench")
    os.makedirs(cache, exist_ok=True)
    target = os.path.join(cache, "track1.x91")
    if os.path.exists(target):
        return target
    if not os.path.exists(TRACK) or not shutil.which("sox"):
        sudo = [] if os.geteuid() == 0 else ["sudo"]
        subprocess.run(sudo + ["apt-get", "install", "-y", "-qq", "drascula-music", "sox",
                               "libsox-fmt-vorbis"], check=True)
    wav = os.path.join(cache, "track1.wav")
    subprocess.run(["sox", TRACK, "-r", "44100", "-b", "16", "-c", "2", "-e", "signed-integer",
                    wav], check=True)
    subprocess.run([x91, "--tag", "TITLE=Drascula: track 1", "--tag",
                    "ARTIST=Drascula soundtrack", wav, "-o", target], check=True,
                   capture_output=True)
    os.unlink(wav)
    return target


def cpu_seconds(root):
    """The processor time (user and system) spent so far by process `root`
    and every process below it: on a busy machine the decode's wall time
    says more about the other processes than about the decoder."""
    ticks = os.sysconf("SC_CLK_TCK")
    parent, spent = {}, {}
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/stat" % pid) as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        parent[int(pid)] = int(fields[1])
        spent[int(pid)] = int(fields[11]) + int(fields[12])
    def below(pid):
        while pid > 1:
            if pid == root:
                return True
            pid = parent.get(pid, 0)
        return False
    return sum(t for pid, t in spent.items() if below(pid)) / ticks


def sizes(site):
    size = lambda *names: sum(os.path.getsize(os.path.join(site, n)) for n in names)  # noqa: E731
    module = size("x91-decoder.wasm", "x91-decoder.js", "x91.js")
    player = module + size("x91-player.js", "x91-worker.js", "x91-worklet.js")
    page = player + size("page.js", "index.html", "style.css")
    return module, player, page


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--site", required=True)
    parser.add_argument("--x91", required=True)
    parser.add_argument("--screenshot")
    parser.add_argument("file", nargs="?")
    args = parser.parse_args()
    path = os.path.abspath(args.file or music_file(args.x91))
    folder, name = os.path.split(path)
    site = Site({"/": args.site, "/data/": folder})
    browser = Browser()
    try:
        browser.open(site.url + "/index.html")
        runs, cpu = [], []
        for _ in range(RUNS):
            before = cpu_seconds(browser.process.pid)
            runs.append(browser.evaluate("(%s)(%r)" % (DECODE_JS, name)))
            cpu.append(cpu_seconds(browser.process.pid) - before)
        seconds = runs[0]["frames"] / 44100
        ms = statistics.median(r["ms"] for r in runs)
        first = []
        for _ in range(RUNS):
            browser.open(site.url + "/index.html")
            browser.set_files("#file", [path])
            browser.wait_for("window.x91Player.firstAudio")
            first.append(browser.evaluate("window.x91Player.firstAudioMs"))
        if args.screenshot:
            browser.wait_for("document.body.dataset.waveform === 'done'")
            browser.evaluate("window.x91Player.seek(window.x91Player.duration * 0.4)")
            browser.wait_for("window.x91Player.currentTime > window.x91Player.duration * 0.4")
            browser.evaluate("document.getElementById('play').click()")
            browser.evaluate("new Promise((r) => setTimeout(r, 200))")
            with open(args.screenshot, "wb") as f:
                f.write(browser.screenshot())
    finally:
        browser.close()
        site.close()
    module, player, page = sizes(args.site)
    speed = seconds / (ms / 1000)
    print("file: %s, %.1f s" % (path, seconds))
    print("decode in the page's thread: %.0f ms, %.0f x real time (goal >= 100); fastest run"
          " %.0f x" % (ms, speed, seconds / (min(r["ms"] for r in runs) / 1000)))
    print("the browser's processor time for a decode: %.2f s, %.0f x real time" % (
        statistics.median(cpu), seconds / statistics.median(cpu)))
    print("first audio after opening: %.0f ms median of %s (goal <= 200)" % (
        statistics.median(first), ", ".join("%.0f" % f for f in first)))
    print("decoder module (wasm + glue + x91.js): %.1f KB; with the player: %.1f KB (goal < 300);"
          " with the page: %.1f KB" % (module / 1024, player / 1024, page / 1024))


if __name__ == "__main__":
    main()
