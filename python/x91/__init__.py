"""x91 audio files to and from NumPy arrays, over the C library libx91.so.

    samples, tags = x91.decode("song.x91")               # (frames, 2) int16
    samples, tags = x91.decode(data, dtype="float32")    # int16 / 32768
    x91.encode(samples, "out.x91", quality=100, tuned=False, tags={"TITLE": "Song"})
    with x91.Decoder(open("song.x91", "rb")) as d:       # piece by piece, with seek
        d.seek(44100); second = d.read(44100)

Errors are X91Error exceptions whose `status` is the library's Status."""

from ._library import HAS_PICTURES, Picture, Status, X91Error
from .decoder import Decoder, decode
from .encoder import encode

SAMPLE_RATE = 44100

__all__ = ["Decoder", "HAS_PICTURES", "Picture", "SAMPLE_RATE", "Status", "X91Error", "decode",
           "encode"]
