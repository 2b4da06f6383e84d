"""libx91.so through ctypes: where it is found, the prototypes of the calls
this package makes, and the library's statuses as exceptions."""

import collections
import ctypes
import ctypes.util
import enum
import os


class Status(enum.IntEnum):
    """The library's outcomes (x91.h); every error is negative."""

    OK = 0
    INVALID_ARGUMENT = -1
    INVALID_STATE = -2
    OUT_OF_MEMORY = -3
    NOT_X91 = -4
    CUT_SHORT = -5
    HEADER_DAMAGED = -6
    PACKET_TOO_LARGE = -7
    PACKET_DAMAGED = -8
    PACKET_UNREAD_BYTES = -9
    INTERNAL = -10
    NO_EXTENSION = -11
    EXTENSION_DAMAGED = -12
    EXTENSION_UNKNOWN = -13
    CHECKSUM_MISMATCH = -14
    READ_FAILED = -15
    WRITE_FAILED = -16
    TOO_DAMAGED = -17
    TRAILING_BYTES = -18


class X91Error(Exception):
    """A call of the library failed: `status` is its Status, the message its
    text and details ("cut short: packet 12 is cut short")."""

    def __init__(self, status, message):
        super().__init__(message)
        self.status = status


def _load():
    """libx91: $X91_LIBRARY, else one beside this package (the build tree's
    copy), else the system's."""
    here = os.path.dirname(os.path.abspath(__file__))
    beside = os.path.join(here, "libx91.so.0")
    name = (os.environ.get("X91_LIBRARY") or (beside if os.path.exists(beside) else None)
            or ctypes.util.find_library("x91") or "libx91.so.0")
    try:
        return ctypes.CDLL(name)
    except OSError as error:
        raise ImportError("x91 needs libx91.so (%s); install the library or set "
                          "X91_LIBRARY to its path" % error) from None


lib = _load()

c_status = ctypes.c_int
c_pointer = ctypes.c_void_p
c_size_p = ctypes.POINTER(ctypes.c_size_t)
c_u64_p = ctypes.POINTER(ctypes.c_uint64)
c_text = ctypes.c_char_p

READ_FN = ctypes.CFUNCTYPE(ctypes.c_int64, c_pointer, ctypes.POINTER(ctypes.c_uint8),
                           ctypes.c_size_t)
SEEK_FN = ctypes.CFUNCTYPE(ctypes.c_int, c_pointer, ctypes.c_int64, ctypes.c_int)
TELL_FN = ctypes.CFUNCTYPE(ctypes.c_int64, c_pointer)
WRITE_FN = ctypes.CFUNCTYPE(ctypes.c_int, c_pointer, ctypes.POINTER(ctypes.c_uint8),
                            ctypes.c_size_t)


class Io(ctypes.Structure):
    """x91_io: where a decoder reads from."""

    _fields_ = [("read", READ_FN), ("seek", SEEK_FN), ("tell", TELL_FN), ("length", TELL_FN)]


# A picture of the extension block: type as FLAC and ID3 number them (3 the
# front cover, 0 other, ...), MIME type, description, the image's bytes, and
# its width and height (0 where not known).
Picture = collections.namedtuple("Picture", "type mime description data width height",
                                 defaults=(0, 0))


class PictureStruct(ctypes.Structure):
    """x91_picture: a picture of the extension block."""

    _fields_ = [("type", ctypes.c_uint32), ("mime_type", ctypes.c_char_p),
                ("description", ctypes.c_char_p), ("width", ctypes.c_uint32),
                ("height", ctypes.c_uint32), ("depth", ctypes.c_uint32),
                ("colours", ctypes.c_uint32), ("data", ctypes.POINTER(ctypes.c_uint8)),
                ("size", ctypes.c_size_t)]


_PROTOTYPES = {
    "x91_status_text": (c_text, [c_status]),
    "x91_thread_last_error": (c_text, []),
    "x91_decoder_open_memory": (c_status, [ctypes.POINTER(c_pointer), c_pointer, ctypes.c_size_t]),
    "x91_decoder_open_callbacks": (c_status, [ctypes.POINTER(c_pointer), ctypes.POINTER(Io),
                                              c_pointer]),
    "x91_decoder_destroy": (None, [c_pointer]),
    "x91_decoder_length": (ctypes.c_uint64, [c_pointer]),
    "x91_decoder_position": (ctypes.c_uint64, [c_pointer]),
    "x91_decoder_seek": (c_status, [c_pointer, ctypes.c_uint64]),
    "x91_decoder_read": (c_status, [c_pointer, c_pointer, ctypes.c_size_t, c_size_p]),
    "x91_decoder_exact_length": (c_status, [c_pointer, c_u64_p, c_u64_p]),
    "x91_decoder_tag_count": (ctypes.c_size_t, [c_pointer]),
    "x91_decoder_tag": (c_status, [c_pointer, ctypes.c_size_t, ctypes.POINTER(c_text),
                                   ctypes.POINTER(c_text)]),
    "x91_decoder_last_error": (c_text, [c_pointer]),
    "x91_encoder_open_callback": (c_status, [ctypes.POINTER(c_pointer), WRITE_FN, c_pointer]),
    "x91_encoder_destroy": (None, [c_pointer]),
    "x91_encoder_set_quality": (c_status, [c_pointer, ctypes.c_double]),
    "x91_encoder_set_tuned": (c_status, [c_pointer, ctypes.c_int]),
    "x91_encoder_add_tag": (c_status, [c_pointer, c_text, c_text]),
    "x91_encoder_push": (c_status, [c_pointer, c_pointer, ctypes.c_size_t]),
    "x91_encoder_finish": (c_status, [c_pointer]),
    "x91_encoder_last_error": (c_text, [c_pointer]),
}
# The picture calls, where the library has them (HAS_PICTURES).
_PICTURE_PROTOTYPES = {
    "x91_decoder_picture_count": (ctypes.c_size_t, [c_pointer]),
    "x91_decoder_picture": (c_status, [c_pointer, ctypes.c_size_t, ctypes.POINTER(PictureStruct)]),
    "x91_encoder_add_picture": (c_status, [c_pointer, ctypes.POINTER(PictureStruct)]),
}
HAS_PICTURES = all(hasattr(lib, name) for name in _PICTURE_PROTOTYPES)
if HAS_PICTURES:
    _PROTOTYPES.update(_PICTURE_PROTOTYPES)
for _name, (_result, _arguments) in _PROTOTYPES.items():
    _function = getattr(lib, _name)
    _function.restype = _result
    _function.argtypes = _arguments


def text(raw):
    return raw.decode("utf-8", "replace") if raw else ""


def check(status, details=""):
    """Raises X91Error for a failed status, with the library's details."""
    if status == Status.OK:
        return
    status = Status(status) if status in Status._value2member_map_ else status
    message = text(lib.x91_status_text(status))
    raise X91Error(status, "%s: %s" % (message, details) if details and details != message
                   else message)
