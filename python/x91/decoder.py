"""Decoding x91 to NumPy arrays: a whole file at once (decode), or piece by
piece from a file object, with seeking (Decoder)."""

import ctypes
import io
import os

import numpy as np

from ._library import (HAS_PICTURES, READ_FN, SEEK_FN, TELL_FN, Io, Picture, PictureStruct,
                       Status, X91Error, check, lib, text)

# Frames a read asks the library for: a packet's audio at most comes per call.
_READ_FRAMES = 1 << 14


def as_dtype(samples, dtype):
    """16-bit samples as int16, or as float32 over 32768, so that
    round(x * 32768) gives each sample back exactly."""
    dtype = np.dtype(dtype)
    if dtype == np.int16:
        return samples
    if dtype == np.float32:
        return samples.astype(np.float32) / np.float32(32768)
    raise ValueError("dtype must be int16 or float32, not %s" % dtype)


class Decoder:
    """Decodes an x91 stream from a binary file object (or a path), as it is
    read. A seekable file is read at will: length, exact length and tags are
    known at once and seek() works. Otherwise (a pipe) it is read once from
    start to end, and they are known at the end.

    Reads give (frames, 2) arrays. A damaged packet's audio still comes; its
    status is kept in `damage` (the first one met) and the decode goes on.
    What ends a stream early (damaged framing, a failed read) raises
    X91Error once the frames before it were read."""

    def __init__(self, file, dtype=np.int16):
        self._owned = None
        if isinstance(file, (str, bytes, os.PathLike)):
            file = self._owned = open(file, "rb")
        self._file = file
        self._dtype = np.dtype(dtype)
        as_dtype(np.zeros((0, 2), np.int16), self._dtype)  # refuses another dtype now
        self._error = None  # an exception a callback met, raised again later
        self._ending = None  # what ended the stream early, for the read after
        self.damage = Status.OK
        seekable = getattr(file, "seekable", lambda: False)()
        self._io = Io(READ_FN(self._read), SEEK_FN(self._seek) if seekable else SEEK_FN(),
                      TELL_FN(self._tell) if seekable else TELL_FN(), TELL_FN())
        handle = ctypes.c_void_p()
        status = lib.x91_decoder_open_callbacks(ctypes.byref(handle), ctypes.byref(self._io), None)
        if status != Status.OK:
            details = text(lib.x91_thread_last_error())
            self.close()
            self._raise_callback_error()
            check(status, details)
        self._handle = handle
        self._buffer = np.empty((_READ_FRAMES, 2), np.int16)

    # The callbacks: any exception is kept and raised from the call that led
    # to it, since it cannot cross the library.
    def _read(self, _user, buffer, size):
        try:
            data = self._file.read(size)
            ctypes.memmove(buffer, data, len(data))
            return len(data)
        except Exception as error:  # noqa: BLE001 - raised again by the caller
            self._error = error
            return -1

    def _seek(self, _user, offset, whence):
        try:
            self._file.seek(offset, whence)
            return 0
        except Exception as error:  # noqa: BLE001
            self._error = error
            return -1

    def _tell(self, _user):
        try:
            return self._file.tell()
        except Exception as error:  # noqa: BLE001
            self._error = error
            return -1

    def _raise_callback_error(self):
        if self._error is not None:
            error, self._error = self._error, None
            raise X91Error(Status.READ_FAILED, "reading failed: %s" % error) from error

    def _live(self):
        if getattr(self, "_handle", None) is None:
            raise ValueError("the decoder is closed")
        return self._handle

    def _check(self, status):
        if status != Status.OK:
            self._raise_callback_error()
            check(status, text(lib.x91_decoder_last_error(self._live())))

    def close(self):
        handle, self._handle = getattr(self, "_handle", None), None
        if handle:
            lib.x91_decoder_destroy(handle)
        if self._owned:
            self._owned.close()
            self._owned = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        self.close()

    @property
    def length(self):
        """Frames the stream decodes to (so far, for a stream read once)."""
        return lib.x91_decoder_length(self._live())

    @property
    def position(self):
        """The frame the next read gives."""
        return lib.x91_decoder_position(self._live())

    @property
    def exact_length(self):
        """The input's exact length in frames from the extension block, or None
        when the file tells none (yet)."""
        frames = ctypes.c_uint64()
        status = lib.x91_decoder_exact_length(self._live(), ctypes.byref(frames), None)
        return frames.value if status in (Status.OK, Status.CHECKSUM_MISMATCH) else None

    @property
    def tags(self):
        """The tags as (name, value) pairs in the order they were written."""
        handle = self._live()
        name, value = ctypes.c_char_p(), ctypes.c_char_p()
        pairs = []
        for i in range(lib.x91_decoder_tag_count(handle)):
            self._check(lib.x91_decoder_tag(handle, i, ctypes.byref(name), ctypes.byref(value)))
            pairs.append((text(name.value), text(value.value)))
        return pairs

    @property
    def pictures(self):
        """The pictures of the extension block in the order they were written,
        as Picture tuples (type 3 is the front cover); none where the library
        has no picture calls."""
        if not HAS_PICTURES:
            return []
        handle = self._live()
        found = []
        for i in range(lib.x91_decoder_picture_count(handle)):
            p = PictureStruct()
            self._check(lib.x91_decoder_picture(handle, i, ctypes.byref(p)))
            found.append(Picture(p.type, text(p.mime_type), text(p.description),
                                 ctypes.string_at(p.data, p.size), p.width, p.height))
        return found

    def seek(self, frame):
        """Moves to `frame` (past the end: the end). What is read from there
        equals a decode from the start. Seekable files only."""
        self._check(lib.x91_decoder_seek(self._live(), max(0, int(frame))))

    def read(self, frames=-1):
        """Up to `frames` frames (all that are left when negative) as a
        (frames, 2) array; fewer, or none, at the end. What ended the stream
        early is raised by the read after the one that gave its last frames."""
        if self._ending:
            error, self._ending = self._ending, None
            raise error
        pieces = []
        wanted = frames if frames >= 0 else float("inf")
        got = 0
        count = ctypes.c_size_t()
        while got < wanted:
            ask = int(min(_READ_FRAMES, wanted - got))
            status = lib.x91_decoder_read(self._live(), self._buffer.ctypes.data, ask,
                                          ctypes.byref(count))
            if count.value == 0:
                try:
                    self._check(status)
                except X91Error as error:
                    if not pieces:
                        raise
                    self._ending = error
                break
            if status != Status.OK and self.damage == Status.OK:
                self.damage = Status(status)
            pieces.append(self._buffer[:count.value].copy())
            got += count.value
        samples = np.concatenate(pieces) if pieces else np.zeros((0, 2), np.int16)
        return as_dtype(samples, self._dtype)

    def __iter__(self):
        """Blocks of up to a packet's audio, until the end."""
        while True:
            block = self.read(_READ_FRAMES)
            if len(block) == 0:
                return
            yield block


def decode(source, dtype=np.int16):
    """A whole x91 file, from a path or its bytes (or a binary file object):
    (samples, tags), samples a (frames, 2) array of int16, or of float32 on
    request (int16 / 32768), tags a list of (name, value) pairs. A file whose
    framing is damaged (cut short, ...) raises X91Error, whose `partial`
    holds the (samples, tags) decoded before the damage."""
    if isinstance(source, (bytes, bytearray, memoryview)):
        source = io.BytesIO(source)
    with Decoder(source, dtype) as decoder:
        samples = decoder.read()
        try:
            decoder.read(0)
        except X91Error as error:
            error.partial = (samples, decoder.tags)
            raise
        return samples, decoder.tags
