"""The browser build in headless Chromium: the module's decode equals the x91
command's byte for byte (16-bit reads, float reads converted back, a fetch
body pushed in pieces), seeks give the matching slice, and the page opens a
file, shows its title and waveform, plays and seeks, and shows an error for a
damaged file while staying usable.

    browser_test.py --site BUILD/web-wasm/web --x91 BUILD/x91 [--screenshot FILE.png]
"""

import argparse
import hashlib
import math
import os
import random
import struct
import subprocess
import sys
import tempfile
import unittest
import wave
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "web", "tools"))
from headless import Browser, Site  # noqa: E402

ARGS = None
TITLE = "Chord in Ä minor"
ARTIST = "x91 tests"
RATE = 44100


def write_signal(path, seconds):
    """A chord panned across the image with a noise burst and clicks."""
    noise = random.Random(91)
    frames = bytearray()
    for n in range(int(seconds * RATE)):
        t = n / RATE
        pan = 0.5 + 0.5 * math.sin(2 * math.pi * 0.3 * t)
        tone = sum(0.1 * math.sin(2 * math.pi * f * t) for f in (220.0, 261.6, 329.6))
        hiss = noise.gauss(0, 0.08) if 1.0 < t < 1.4 else 0.0
        click = 0.4 if n % 9000 < 15 else 0.0
        for v in (tone * (1 - pan) + hiss + click, tone * pan + hiss + click):
            frames += struct.pack("<h", max(-32768, min(32767, round(v * 32767))))
    with wave.open(path, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(bytes(frames))


def command_pcm(path):
    """The command's decode of an x91 file: its 16-bit PCM bytes."""
    subprocess.run([ARGS.x91, path], check=False, capture_output=True)
    with wave.open(path + ".wav") as w:
        return w.readframes(w.getnframes())


def damage_packets(source, target):
    """Changes bytes inside packets, leaving the header and the counts."""
    data = bytearray(open(source, "rb").read())
    at = 62
    for index in range(1_000):
        size = struct.unpack_from("<I", data, at)[0]
        if size == 0:
            break
        if index in (2, 5):
            for k in range(8, size, 37):
                data[at + 4 + k] ^= 0x5A
        at += 4 + size
    open(target, "wb").write(data)


def png_pixels(png):
    """Width, height and rows of (r, g, b) of an 8-bit RGB or RGBA PNG."""
    at, chunks = 8, {}
    while at < len(png):
        size, kind = struct.unpack_from(">I4s", png, at)
        chunks.setdefault(kind, []).append(png[at + 8:at + 8 + size])
        at += 12 + size
    width, height, depth, colour = struct.unpack_from(">IIBB", chunks[b"IHDR"][0])
    assert depth == 8 and colour in (2, 6)
    step = 4 if colour == 6 else 3
    raw = zlib.decompress(b"".join(chunks[b"IDAT"]))
    stride = width * step
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - step] if i >= step else 0
            b, c = previous[i], previous[i - step] if i >= step else 0
            p = a + b - c
            nearest = a if abs(p - a) <= abs(p - b) and abs(p - a) <= abs(p - c) else (
                b if abs(p - b) <= abs(p - c) else c)
            line[i] = (line[i] + (0, a, b, (a + b) // 2, nearest)[kind]) & 0xFF
        rows.append([tuple(line[x * step:x * step + 3]) for x in range(width)])
        previous = line
    return width, height, rows


# Decodes /data/NAME in the page with the module; returns the SHA-256 of the
# 16-bit PCM, the frames and every status met. `how`: 'int16', 'float' (the
# floats turned back with Math.round(x * 32768)) or 'push' (a fetch body fed
# in its pieces).
DECODE_JS = """
async (name, how) => {
  const { loadX91, decodeStream } = await import('/x91.js');
  const x91 = await loadX91();
  const response = await fetch('/data/' + name);
  const pieces = [];
  const statuses = new Set();
  const take = (c) => {
    statuses.add(c.status);
    if (c.pcm) { pieces.push(c.pcm); return; }
    const pcm = new Int16Array(2 * c.frames);
    for (let i = 0; i < c.frames; ++i) {
      pcm[2 * i] = Math.round(c.left[i] * 32768);
      pcm[2 * i + 1] = Math.round(c.right[i] * 32768);
    }
    pieces.push(pcm);
  };
  let decoder;
  if (how === 'push') {
    decoder = x91.openPush();
    for await (const c of decodeStream(x91, response.body, { int16: true, decoder })) take(c);
  } else {
    decoder = x91.openBuffer(await response.arrayBuffer());
    for (let c; (c = how === 'int16' ? decoder.readInt16() : decoder.read()).frames > 0;) take(c);
  }
  const all = new Int16Array(pieces.reduce((n, p) => n + p.length, 0));
  pieces.reduce((at, p) => (all.set(p, at), at + p.length), 0);
  const digest = new Uint8Array(await crypto.subtle.digest('SHA-256', all.buffer));
  const result = {
    sha256: [...digest].map((b) => b.toString(16).padStart(2, '0')).join(''),
    frames: all.length / 2, length: decoder.length, statuses: [...statuses],
    tags: decoder.tags, exact: decoder.exactLength() };
  decoder.close();
  return result;
}
"""

SEEK_JS = """
async (name, targets, count) => {
  const { loadX91 } = await import('/x91.js');
  const x91 = await loadX91();
  const decoder = x91.openBuffer(await (await fetch('/data/' + name)).arrayBuffer());
  const results = [];
  for (const frame of targets) {
    decoder.seek(frame);
    const position = decoder.position;
    const pcm = new Int16Array(2 * count);
    let got = 0;
    for (let c; got < count && (c = decoder.readInt16(count - got)).frames > 0; got += c.frames)
      pcm.set(c.pcm, 2 * got);
    const digest = new Uint8Array(await crypto.subtle.digest('SHA-256', pcm.subarray(0, 2 * got)));
    results.push({ position, got, sha256: [...digest].map((b) => b.toString(16).padStart(2, '0')).join('') });
  }
  decoder.close();
  return results;
}
"""


def setUpModule():
    global DATA, SITE, BROWSER, FILES
    DATA = tempfile.TemporaryDirectory(prefix="x91-web-test-")
    d = DATA.name
    write_signal(os.path.join(d, "signal.wav"), 7)
    run = lambda *a: subprocess.run([ARGS.x91, *a], check=True, capture_output=True)  # noqa: E731
    run("--tag", "TITLE=" + TITLE, "--tag", "ARTIST=" + ARTIST, os.path.join(d, "signal.wav"))
    run("--tuned", "-q", "60", os.path.join(d, "signal.wav"), "-o", os.path.join(d, "tuned.x91"))
    damage_packets(os.path.join(d, "signal.x91"), os.path.join(d, "damaged.x91"))
    with open(os.path.join(d, "not-x91.x91"), "wb") as f:
        f.write(b"RIFF" + bytes(200))
    FILES = {name: command_pcm(os.path.join(d, name))
             for name in ("signal.x91", "tuned.x91", "damaged.x91")}
    SITE = Site({"/": ARGS.site, "/data/": d})
    BROWSER = Browser()
    BROWSER.open(SITE.url + "/index.html")


def tearDownModule():
    BROWSER.close()
    SITE.close()
    DATA.cleanup()


def call(function, *args):
    return BROWSER.evaluate("(%s)(%s)" % (function, ", ".join(map(repr_js, args))))


def repr_js(value):
    import json
    return json.dumps(value)


class ModuleTest(unittest.TestCase):
    def test_decodes_equal_the_commands_byte_for_byte(self):
        for name in ("signal.x91", "tuned.x91", "damaged.x91"):
            for how in ("int16", "float", "push"):
                with self.subTest(file=name, read=how):
                    got = call(DECODE_JS, name, how)
                    want = FILES[name]
                    self.assertEqual(got["frames"], len(want) // 4)
                    self.assertEqual(got["sha256"], hashlib.sha256(want).hexdigest())
                    self.assertEqual(got["length"], len(want) // 4)

    def test_length_tags_and_damage_statuses(self):
        clean = call(DECODE_JS, "signal.x91", "int16")
        self.assertEqual(clean["tags"], [["TITLE", TITLE], ["ARTIST", ARTIST]])
        self.assertEqual(clean["exact"], {"status": 0, "frames": 7 * RATE, "leadIn": 882})
        self.assertEqual(clean["statuses"], [0])
        damaged = call(DECODE_JS, "damaged.x91", "push")
        self.assertIn(-8, damaged["statuses"])  # X91_ERR_PACKET_DAMAGED, with its audio

    def test_seek_gives_the_matching_slice(self):
        pcm = FILES["signal.x91"]
        frames = len(pcm) // 4
        targets = [0, 1, 881, 882, 14111, 14112, 14113, 100_000, frames - 5, frames, frames + 99]
        count = 3000
        for target, got in zip(targets, call(SEEK_JS, "signal.x91", targets, count)):
            with self.subTest(frame=target):
                start = min(target, frames)
                want = pcm[4 * start:4 * (start + count)]
                self.assertEqual(got["position"], start)
                self.assertEqual(got["got"], len(want) // 4)
                self.assertEqual(got["sha256"], hashlib.sha256(want).hexdigest())

    def test_encodes_the_commands_bytes(self):
        # The page's encoder, on the 16-bit samples of the WAV the command
        # encoded, with the same tags, makes the very same file.
        got = BROWSER.evaluate("""(async () => {
          const { loadX91 } = await import('/x91.js');
          const x91 = await loadX91({ encoder: true });
          const wav = await (await fetch('/data/signal.wav')).arrayBuffer();
          const bytes = x91.encode(new Int16Array(wav, 44), { tags: %s });
          const digest = new Uint8Array(await crypto.subtle.digest('SHA-256', bytes));
          return [...digest].map((b) => b.toString(16).padStart(2, '0')).join(''); })()""" %
                               repr_js([["TITLE", TITLE], ["ARTIST", ARTIST]]))
        with open(os.path.join(DATA.name, "signal.x91"), "rb") as f:
            self.assertEqual(got, hashlib.sha256(f.read()).hexdigest())

    def test_refuses_what_is_no_x91_file(self):
        result = BROWSER.evaluate("""(async () => {
          const { loadX91 } = await import('/x91.js');
          const x91 = await loadX91();
          try { x91.openBuffer(new TextEncoder().encode('RIFF and more')); return 'opened'; }
          catch (e) { return [e.name, e.status, e.statusName]; } })()""")
        self.assertEqual(result, ["X91Error", -4, "X91_ERR_NOT_X91"])


class PageTest(unittest.TestCase):
    def open_file(self, name, state):
        BROWSER.set_files("#file", [os.path.join(DATA.name, name)])
        BROWSER.wait_for("document.body.dataset.state === %s" % repr_js(state))

    def text(self, element_id):
        return BROWSER.evaluate("document.getElementById(%s).textContent" % repr_js(element_id))

    def test_shows_title_waveform_plays_and_seeks(self):
        BROWSER.open(SITE.url + "/index.html")
        self.open_file("signal.x91", "open")
        BROWSER.wait_for("document.body.dataset.waveform === 'done'")
        self.assertEqual(self.text("title"), TITLE)
        self.assertEqual(self.text("artist"), ARTIST)
        self.assertTrue(self.text("details").startswith("0:07"))
        # Audio starts and moves on.
        BROWSER.wait_for("window.x91Player.firstAudio && window.x91Player.position > 4410")
        # A click at three quarters of the waveform seeks there.
        box = BROWSER.evaluate(
            "(() => { const r = document.getElementById('waveform').getBoundingClientRect();"
            " return [r.left, r.top, r.width, r.height]; })()")
        x, y = box[0] + 0.75 * box[2], box[1] + box[3] / 2
        for kind in ("mousePressed", "mouseReleased"):
            BROWSER.page("Input.dispatchMouseEvent",
                         {"type": kind, "x": x, "y": y, "button": "left", "clickCount": 1})
        BROWSER.wait_for("window.x91Player.position > 0.74 * window.x91Player.length")
        BROWSER.evaluate("window.x91Player.pause(), new Promise((r) => setTimeout(r, 100))")
        self.check_screenshot(box)

    def test_plays_a_stream_as_it_arrives_and_seeks_once_whole(self):
        BROWSER.open(SITE.url + "/index.html")
        BROWSER.evaluate("fetch('/data/tuned.x91').then((r) => window.x91Player.open(r))")
        BROWSER.wait_for("window.x91Player.firstAudio")
        BROWSER.wait_for("document.body.dataset.waveform === 'done'")  # once it is whole
        self.assertEqual(BROWSER.evaluate("window.x91Player.length"), 7 * RATE)
        BROWSER.evaluate("window.x91Player.seek(6)")
        BROWSER.wait_for("window.x91Player.currentTime >= 6")

    def test_shows_the_cover_of_the_pictures_the_player_reports(self):
        # The page's side of pictures: the front cover (type 3) among the
        # info's pictures shows, as an image of its bytes.
        BROWSER.open(SITE.url + "/index.html")
        BROWSER.evaluate("""(async () => {
          const picture = async (type, width) => {
            const canvas = new OffscreenCanvas(width, 3);
            canvas.getContext('2d').fillRect(0, 0, width, 3);
            const data = new Uint8Array(await (await canvas.convertToBlob()).arrayBuffer());
            return { type, mime: 'image/png', description: '', data };
          };
          const pictures = [await picture(0, 2), await picture(3, 4)];
          window.x91Player.emit('info', { length: 44100, tags: [], pictures });
        })()""")
        BROWSER.wait_for("(() => { const c = document.getElementById('cover');"
                         " return !c.hidden && c.complete && c.naturalWidth === 4; })()")

    def test_shows_the_cover_a_file_carries(self):
        # A file the page's encoder makes with a front cover: the module reads
        # the picture back whole, and the page shows it.
        BROWSER.open(SITE.url + "/index.html")
        made = BROWSER.evaluate("""(async () => {
          const { loadX91 } = await import('/x91.js');
          const x91 = await loadX91({ encoder: true });
          if (!x91.wasm._x91_encoder_add_picture) return null;
          const canvas = new OffscreenCanvas(5, 3);
          canvas.getContext('2d').fillRect(0, 0, 5, 3);
          const data = new Uint8Array(await (await canvas.convertToBlob()).arrayBuffer());
          const bytes = x91.encode(new Int16Array(2 * 44100),
            { pictures: [{ type: 3, mime: 'image/png', description: 'Front', data }] });
          const [back] = x91.openBuffer(bytes).pictures;
          await window.x91Player.open(bytes);
          return [back.type, back.mime, back.description, back.data.join() === data.join()];
        })()""")
        if made is None:
            self.skipTest("the C interface has no picture calls in this build")
        self.assertEqual(made, [3, "image/png", "Front", True])
        BROWSER.wait_for("(() => { const c = document.getElementById('cover');"
                         " return !c.hidden && c.complete && c.naturalWidth === 5; })()")

    def check_screenshot(self, box):
        png = BROWSER.screenshot()
        if ARGS.screenshot:
            with open(ARGS.screenshot, "wb") as f:
                f.write(png)
        width, height, rows = png_pixels(png)
        scale = width / BROWSER.evaluate("window.innerWidth")
        left, top, w, h = (round(v * scale) for v in box)
        wave_pixels = sum(1 for y in range(top, top + h) for x in range(left, left + w)
                          if rows[y][x] in ((0x2d, 0x6c, 0xdf), (0x9d, 0xb7, 0xe8)))
        self.assertGreater(wave_pixels, 0.05 * w * h, "no waveform in the screenshot")
        title = BROWSER.evaluate(
            "(() => { const r = document.getElementById('title').getBoundingClientRect();"
            " return [r.left, r.top, r.width, r.height]; })()")
        left, top, w, h = (round(v * scale) for v in title)
        ink = sum(1 for y in range(top, top + h) for x in range(left, left + w)
                  if sum(rows[y][x]) < 200)
        self.assertGreater(ink, 0.05 * w * h, "no title in the screenshot")

    def test_damaged_files_show_an_error_and_the_page_stays_usable(self):
        BROWSER.open(SITE.url + "/index.html")
        self.open_file("not-x91.x91", "error")
        self.assertIn("not-x91.x91: not an x91 file", self.text("error"))
        self.assertTrue(BROWSER.evaluate("document.getElementById('play').disabled"))
        self.open_file("damaged.x91", "open")
        BROWSER.wait_for("!document.getElementById('error').hidden")
        self.assertIn("damaged.x91", self.text("error"))
        self.assertIn("plays on", self.text("error"))
        self.open_file("signal.x91", "open")
        BROWSER.wait_for("document.getElementById('error').hidden")
        self.assertEqual(self.text("title"), TITLE)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--site", required=True)
    parser.add_argument("--x91", required=True)
    parser.add_argument("--screenshot")
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
