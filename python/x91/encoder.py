"""Encoding NumPy arrays to x91 files."""

import ctypes
import os
import tempfile

import numpy as np

from ._library import (HAS_PICTURES, WRITE_FN, Picture, PictureStruct, Status, X91Error, check,
                       lib, text)

# Frames handed to the library per push.
_PUSH_FRAMES = 1 << 16


def as_int16(samples):
    """(frames, 2) or (frames,) samples as interleaved-ready int16 frames:
    int16 as they are, floats in -1..1 as round(x * 32768) clipped (the
    inverse of decode's float32), mono on both channels."""
    samples = np.asarray(samples)
    if samples.ndim == 1:
        samples = samples[:, None]
    if samples.ndim != 2 or samples.shape[1] not in (1, 2):
        raise ValueError("samples must be (frames, 2) or (frames,), not %s" % (samples.shape,))
    if samples.shape[1] == 1:
        samples = np.repeat(samples, 2, axis=1)
    if np.issubdtype(samples.dtype, np.floating):
        samples = np.clip(np.rint(samples.astype(np.float64) * 32768), -32768, 32767)
    elif samples.dtype != np.int16:
        raise ValueError("integer samples must be int16, not %s" % samples.dtype)
    return np.ascontiguousarray(samples, dtype=np.int16)


def _encode_to(file, samples, quality, tuned, tags, pictures):
    failure = []

    def write(_user, data, size):
        try:
            file.write(ctypes.string_at(data, size))
            return 0
        except Exception as error:  # noqa: BLE001 - raised again below
            failure.append(error)
            return 1

    callback = WRITE_FN(write)
    handle = ctypes.c_void_p()
    check(lib.x91_encoder_open_callback(ctypes.byref(handle), callback, None))

    def call(status):
        if status != Status.OK:
            if failure:
                raise X91Error(Status.WRITE_FAILED, "writing failed: %s" % failure[0])
            check(status, text(lib.x91_encoder_last_error(handle)))

    try:
        call(lib.x91_encoder_set_quality(handle, float(quality)))
        call(lib.x91_encoder_set_tuned(handle, 1 if tuned else 0))
        for name, value in (tags.items() if hasattr(tags, "items") else tags or ()):
            call(lib.x91_encoder_add_tag(handle, str(name).encode(), str(value).encode()))
        for picture in pictures or ():
            call(lib.x91_encoder_add_picture(handle, ctypes.byref(_picture_struct(picture))))
        for start in range(0, len(samples), _PUSH_FRAMES):
            piece = samples[start:start + _PUSH_FRAMES]
            call(lib.x91_encoder_push(handle, piece.ctypes.data, len(piece)))
        call(lib.x91_encoder_finish(handle))
    finally:
        lib.x91_encoder_destroy(handle)


def _picture_struct(picture):
    """A Picture as the library's x91_picture; the library copies it."""
    picture = Picture(*picture)
    data = bytes(picture.data)
    # The structure keeps the texts and the array alive while it lives.
    image = (ctypes.c_uint8 * len(data)).from_buffer_copy(data)
    return PictureStruct(picture.type, picture.mime.encode(), picture.description.encode(),
                         picture.width, picture.height, 0, 0, image, len(data))


def encode(samples, file, quality=100, tuned=False, tags=None, pictures=None):
    """Encodes CD audio, (frames, 2) int16 or floats in -1..1 at 44100 Hz, to
    an x91 file at a path (written whole or not at all) or into a binary file
    object. quality: 10 to 400; tuned: the tuned encoder; tags: {NAME: value}
    or (name, value) pairs; pictures: Picture tuples (needs a library with
    picture calls, HAS_PICTURES). Raises X91Error with the library's status."""
    if pictures and not HAS_PICTURES:
        raise X91Error(Status.INVALID_STATE, "this libx91 has no picture calls")
    samples = as_int16(samples)
    if hasattr(file, "write"):
        _encode_to(file, samples, quality, tuned, tags, pictures)
        return
    path = os.fspath(file)
    folder = os.path.dirname(os.path.abspath(path))
    handle, temporary = tempfile.mkstemp(prefix=".x91-", suffix=".part", dir=folder)
    try:
        with os.fdopen(handle, "wb") as out:
            _encode_to(out, samples, quality, tuned, tags, pictures)
        os.replace(temporary, path)
    except BaseException:
        os.unlink(temporary)
        raise
