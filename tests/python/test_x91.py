"""The Python package against the x91 command: decodes equal the command's
byte for byte, encodes equal its files, seeks give the matching slice, and
errors carry the library's status. Run with X91_COMMAND set to the command
and the package importable (the build tree's python/ folder)."""

import io
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import wave

import numpy as np

import x91

COMMAND = os.environ.get("X91_COMMAND", "x91")
RATE = x91.SAMPLE_RATE


def signal(seconds, seed=26):
    """A chord with noise, panned: (frames, 2) int16."""
    t = np.arange(int(seconds * RATE)) / RATE
    rng = np.random.default_rng(seed)
    tone = sum(0.1 * np.sin(2 * np.pi * f * t) for f in (220.0, 277.2, 329.6))
    pan = 0.5 + 0.5 * np.sin(2 * np.pi * 0.4 * t)
    noise = rng.normal(0, 0.03, t.shape)
    both = np.stack([tone * (1 - pan) + noise, tone * pan - noise], axis=1)
    return np.rint(np.clip(both, -1, 1) * 32767).astype(np.int16)


def write_wav(path, samples):
    with wave.open(path, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(samples.tobytes())


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def read_wav(path):
    with wave.open(path) as w:
        return np.frombuffer(w.readframes(w.getnframes()), np.int16).reshape(-1, 2)


class X91Test(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory(prefix="x91-python-test-")
        cls.samples = signal(3.3)
        cls.wav = os.path.join(cls.folder.name, "in.wav")
        write_wav(cls.wav, cls.samples)
        cls.x91 = os.path.join(cls.folder.name, "in.x91")
        subprocess.run([COMMAND, "--tag", "TITLE=Drei Töne", "--tag", "ARTIST=tests", cls.wav],
                       check=True, capture_output=True)
        subprocess.run([COMMAND, cls.x91], check=True, capture_output=True)
        cls.decoded = read_wav(cls.x91 + ".wav")

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def path(self, name):
        return os.path.join(self.folder.name, name)

    def test_decode_equals_the_command_from_every_source(self):
        data = read_bytes(self.x91)
        sources = {"path": self.x91, "bytes": data, "file": io.BytesIO(data)}
        for kind, source in sources.items():
            with self.subTest(source=kind):
                samples, tags = x91.decode(source)
                self.assertEqual(samples.dtype, np.int16)
                np.testing.assert_array_equal(samples, self.decoded)
                self.assertEqual(tags, [("TITLE", "Drei Töne"), ("ARTIST", "tests")])
        floats, _ = x91.decode(data, dtype="float32")
        self.assertEqual(floats.dtype, np.float32)
        np.testing.assert_array_equal(np.rint(floats * 32768).astype(np.int16), self.decoded)

    def test_encode_equals_the_command_for_each_mode(self):
        modes = [({}, []), ({"quality": 40}, ["-q", "40"]), ({"tuned": True}, ["--tuned"])]
        for options, arguments in modes:
            with self.subTest(**options):
                mine, theirs = self.path("mine.x91"), self.path("theirs.x91")
                x91.encode(self.samples, mine, tags={"TITLE": "Drei Töne"}, **options)
                subprocess.run([COMMAND, *arguments, "--tag", "TITLE=Drei Töne", self.wav,
                                "-o", theirs], check=True, capture_output=True)
                self.assertEqual(read_bytes(mine), read_bytes(theirs))
        # Floats in -1..1 are the inverse of decode's float32; a file object works too.
        out = io.BytesIO()
        x91.encode(self.samples.astype(np.float32) / 32768, out)
        x91.encode(self.samples, self.path("plain.x91"))
        self.assertEqual(out.getvalue(), read_bytes(self.path("plain.x91")))

    def test_decoder_reads_in_pieces_and_seeks(self):
        with x91.Decoder(self.x91) as decoder:
            self.assertEqual(decoder.length, len(self.decoded))
            self.assertEqual(decoder.exact_length, len(self.samples))
            pieces = list(decoder)
            np.testing.assert_array_equal(np.concatenate(pieces), self.decoded)
            frames = len(self.decoded)
            for target in (0, 1, 882, 14112, 14113, frames // 2, frames - 3, frames + 10):
                with self.subTest(frame=target):
                    decoder.seek(target)
                    self.assertEqual(decoder.position, min(target, frames))
                    np.testing.assert_array_equal(decoder.read(5000),
                                                  self.decoded[target:target + 5000])

    def test_a_pipe_decodes_in_one_pass(self):
        with open(self.x91, "rb") as f:
            pipe = io.BufferedReader(io.BytesIO(f.read()))
        pipe.seekable = lambda: False
        with x91.Decoder(pipe, dtype=np.float32) as decoder:
            self.assertIsNone(decoder.exact_length)  # known at the end
            samples = decoder.read()
            self.assertEqual(decoder.exact_length, len(self.samples))
            self.assertEqual(decoder.tags[0], ("TITLE", "Drei Töne"))
            with self.assertRaises(x91.X91Error) as caught:
                decoder.seek(0)
            self.assertEqual(caught.exception.status, x91.Status.INVALID_STATE)
        np.testing.assert_array_equal(np.rint(samples * 32768).astype(np.int16), self.decoded)

    def test_pictures_come_back_whole(self):
        if not x91.HAS_PICTURES:
            with self.assertRaises(x91.X91Error) as caught:
                x91.encode(self.samples, io.BytesIO(), pictures=[(3, "image/png", "", b"x")])
            self.assertEqual(caught.exception.status, x91.Status.INVALID_STATE)
            self.skipTest("this libx91 has no picture calls")
        pictures = [x91.Picture(3, "image/png", "Front", bytes(range(256)), 16, 16),
                    x91.Picture(0, "image/jpeg", "", b"\xff\xd8\xff")]
        out = io.BytesIO()
        x91.encode(self.samples, out, pictures=pictures)
        with x91.Decoder(io.BytesIO(out.getvalue())) as decoder:
            self.assertEqual(decoder.pictures, pictures)

    def test_errors_carry_the_library_status(self):
        data = read_bytes(self.x91)
        cases = {
            "not x91": (b"RIFF" + bytes(100), x91.Status.NOT_X91),
            "header cut": (data[:30], x91.Status.CUT_SHORT),
            "packet cut": (data[:len(data) // 2], x91.Status.CUT_SHORT),
        }
        for name, (source, status) in cases.items():
            with self.subTest(name):
                with self.assertRaises(x91.X91Error) as caught:
                    x91.decode(source)
                self.assertEqual(caught.exception.status, status)
                self.assertTrue(str(caught.exception))
        # The audio before the cut is kept: without the extension block at the
        # end, the decode is raw, one block of lead-in ahead of the input.
        partial, _ = caught.exception.partial
        self.assertGreater(len(partial), 882)
        np.testing.assert_array_equal(partial[882:], self.decoded[:len(partial) - 882])
        with self.assertRaises(x91.X91Error) as caught:
            x91.encode(self.samples, self.path("bad.x91"), quality=5)
        self.assertEqual(caught.exception.status, x91.Status.INVALID_ARGUMENT)
        self.assertFalse(os.path.exists(self.path("bad.x91")))  # nothing partial is left
        self.assertEqual([n for n in os.listdir(self.folder.name) if n.endswith(".part")], [])
        with self.assertRaises(ValueError):
            x91.encode(np.zeros((10, 3), np.int16), self.path("three.x91"))

    def test_a_failing_file_object_raises_read_failed(self):
        class Failing(io.RawIOBase):
            def readable(self):
                return True

            def readinto(self, buffer):
                raise OSError("disk gone")

        with self.assertRaises(x91.X91Error) as caught:
            x91.Decoder(Failing())
        self.assertEqual(caught.exception.status, x91.Status.READ_FAILED)
        self.assertIn("disk gone", str(caught.exception))


class PackageTest(unittest.TestCase):
    def test_pip_installs_it_offline(self):
        source = os.environ.get("X91_PYTHON_SOURCE")
        if not source:
            self.skipTest("X91_PYTHON_SOURCE not set")
        with tempfile.TemporaryDirectory() as scratch:
            # setuptools builds inside the folder it is given: a copy keeps
            # the source tree clean.
            copy = shutil.copytree(source, os.path.join(scratch, "source"))
            target = os.path.join(scratch, "target")
            subprocess.run([sys.executable, "-m", "pip", "install", "--quiet", "--no-index",
                            "--no-build-isolation", "--no-deps", "--target", target, copy],
                           check=True, capture_output=True)
            self.assertTrue(os.path.exists(os.path.join(target, "x91", "decoder.py")))


if __name__ == "__main__":
    unittest.main()
