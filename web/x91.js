// x91 in the browser: decode (and encode) x91 files with the codec compiled to
// WebAssembly. Open a whole file from an ArrayBuffer, or a stream of chunks
// (a fetch body) as it arrives; read its length and tags; decode to one
// Float32Array per channel, or to 16-bit samples; seek.
//
//   const x91 = await loadX91();
//   const decoder = x91.openBuffer(await file.arrayBuffer());
//   decoder.tag('TITLE'), decoder.length / X91_SAMPLE_RATE
//   for (let c; (c = decoder.read()).frames > 0;) play(c.left, c.right);
//
// Float samples are the 16-bit ones over 32768, so Math.round(x * 32768)
// gives each 16-bit sample back exactly.

export const X91_SAMPLE_RATE = 44100;

// The library's statuses by code (x91.h). Damage statuses come with audio.
const STATUS_NAMES = [
  'X91_OK', 'X91_ERR_INVALID_ARGUMENT', 'X91_ERR_INVALID_STATE', 'X91_ERR_OUT_OF_MEMORY',
  'X91_ERR_NOT_X91', 'X91_ERR_CUT_SHORT', 'X91_ERR_HEADER_DAMAGED', 'X91_ERR_PACKET_TOO_LARGE',
  'X91_ERR_PACKET_DAMAGED', 'X91_ERR_PACKET_UNREAD_BYTES', 'X91_ERR_INTERNAL',
  'X91_ERR_NO_EXTENSION', 'X91_ERR_EXTENSION_DAMAGED', 'X91_ERR_EXTENSION_UNKNOWN',
  'X91_ERR_CHECKSUM_MISMATCH', 'X91_ERR_READ_FAILED', 'X91_ERR_WRITE_FAILED',
  'X91_ERR_TOO_DAMAGED', 'X91_ERR_TRAILING_BYTES',
];
export const Status = Object.freeze(Object.fromEntries(STATUS_NAMES.map((n, i) => [n, -i])));

// The name of a status code, e.g. 'X91_ERR_CUT_SHORT'.
export function statusName(status) {
  return STATUS_NAMES[-status] ?? `x91 status ${status}`;
}

// A failed call: `status` is the library's code, `statusName` its name, and
// the message the library's details ("packet 12 is cut short").
export class X91Error extends Error {
  constructor(status, message) {
    super(message);
    this.name = 'X91Error';
    this.status = status;
    this.statusName = statusName(status);
  }
}

// Frames a read converts at most (the module's planar read takes as many).
const READ_FRAMES = 4096;
// The C interface's x91_picture in the module's 32-bit memory: type, two text
// pointers, width, height, depth, colours, the data's pointer and size.
const PICTURE_BYTES = 36;
const utf8 = new TextDecoder();

// Loads the module: the decoder alone by default (what a player needs), or
// with { encoder: true } the one that also encodes.
export async function loadX91({ encoder = false } = {}) {
  const { default: create } = await import(encoder ? './x91-codec.js' : './x91-decoder.js');
  return new X91(await create());
}

export class X91 {
  constructor(wasm) {
    this.wasm = wasm;
    // Room for the out-parameters of one call: two 64-bit values.
    this.out = wasm._malloc(16);
    this.version = this.text(wasm._x91_version());
  }

  // A NUL-terminated UTF-8 text of the module's memory.
  text(pointer) {
    const heap = this.wasm.HEAPU8;
    let end = pointer;
    while (heap[end] !== 0) ++end;
    return utf8.decode(heap.subarray(pointer, end));
  }

  // Copies bytes into the module's memory; the caller frees the pointer.
  copyIn(bytes) {
    const pointer = this.wasm._malloc(Math.max(bytes.length, 1));
    if (pointer === 0) throw new X91Error(Status.X91_ERR_OUT_OF_MEMORY, 'out of memory');
    this.wasm.HEAPU8.set(bytes, pointer);
    return pointer;
  }

  // Throws the status of a failed open, with the library's details.
  check(status, detail) {
    if (status === Status.X91_OK) return;
    const text = this.text(this.wasm._x91_status_text(status));
    throw new X91Error(status, detail ? `${text}: ${detail}` : text);
  }

  // Whether bytes start with an x91 header a decoder can run with: X91_OK or
  // the reason not.
  probe(bytes) {
    const data = asBytes(bytes);
    const pointer = this.copyIn(data);
    try {
      return this.wasm._x91_probe(pointer, data.length);
    } finally {
      this.wasm._free(pointer);
    }
  }

  // A decoder over a whole file, read at will: its length and tags are known
  // at once, and it seeks. Throws X91Error when the file does not start as an
  // x91 file; damage further on shows in the reads.
  openBuffer(bytes) {
    const data = asBytes(bytes);
    const pointer = this.copyIn(data);
    try {
      const status = this.wasm._x91_decoder_open_memory(this.out, pointer, data.length);
      this.check(status, this.text(this.wasm._x91_thread_last_error()));
      return new X91Decoder(this, this.wasm.HEAPU32[this.out >> 2], false);
    } finally {
      this.wasm._free(pointer);
    }
  }

  // A decoder for bytes that come in pieces (feed, then end): it decodes in
  // one pass, and knows the exact length and the tags at the end.
  openPush() {
    this.check(this.wasm._x91_decoder_open_push(this.out));
    return new X91Decoder(this, this.wasm.HEAPU32[this.out >> 2], true);
  }

  // Encodes 16-bit interleaved stereo (Int16Array, left first), or a pair of
  // Float32Arrays [left, right] in -1..1, to the bytes of an x91 file.
  // Options: quality (10 to 400, default 100), tuned (false), tags ({NAME:
  // value} or [[name, value], ...]), pictures (as the decoder's give them;
  // needs a module with the C interface's picture calls). Needs
  // loadX91({ encoder: true }).
  encode(pcm, { quality = 100, tuned = false, tags = {}, pictures = [] } = {}) {
    const w = this.wasm;
    if (!w._x91_encoder_create) {
      throw new X91Error(Status.X91_ERR_INVALID_STATE, 'this module decodes only: loadX91({ encoder: true })');
    }
    if (pictures.length > 0 && !w._x91_encoder_add_picture) {
      throw new X91Error(Status.X91_ERR_INVALID_STATE, 'this module was built without pictures');
    }
    const samples = Array.isArray(pcm) ? interleaveFloat(pcm[0], pcm[1]) : pcm;
    this.check(w._x91_encoder_create(this.out));
    const encoder = w.HEAPU32[this.out >> 2];
    const fail = (status) => this.check(status, this.text(w._x91_encoder_last_error(encoder)));
    const pieces = [];
    const takeOutput = () => {
      for (;;) {
        fail(w._x91_encoder_take_output(encoder, this.out, this.out + 4));
        const [data, size] = [w.HEAPU32[this.out >> 2], w.HEAPU32[(this.out >> 2) + 1]];
        if (size === 0) return;
        pieces.push(w.HEAPU8.slice(data, data + size));
      }
    };
    let pointer = 0;
    try {
      fail(w._x91_encoder_set_quality(encoder, quality));
      fail(w._x91_encoder_set_tuned(encoder, tuned ? 1 : 0));
      for (const [name, value] of Array.isArray(tags) ? tags : Object.entries(tags)) {
        const texts = [name, String(value)].map((t) => this.copyIn(cString(t)));
        try {
          fail(w._x91_encoder_add_tag(encoder, texts[0], texts[1]));
        } finally {
          texts.forEach((t) => w._free(t));
        }
      }
      for (const picture of pictures) fail(this.addPicture(encoder, picture));
      const chunkFrames = 1 << 16;
      pointer = w._malloc(chunkFrames * 4);
      for (let frame = 0; 2 * frame < samples.length; frame += chunkFrames) {
        const chunk = samples.subarray(2 * frame, 2 * (frame + chunkFrames));
        w.HEAP16.set(chunk, pointer >> 1);
        fail(w._x91_encoder_push(encoder, pointer, chunk.length >> 1));
        takeOutput();
      }
      fail(w._x91_encoder_finish(encoder));
      takeOutput();
    } finally {
      w._free(pointer);
      w._x91_encoder_destroy(encoder);
    }
    return concatBytes(pieces);
  }

  // Hands one picture to an encoder, which copies it: its status.
  addPicture(encoder, { type = 3, mime = '', description = '', width = 0, height = 0, data }) {
    const w = this.wasm;
    const bytes = asBytes(data);
    const parts = [cString(mime), cString(description), bytes].map((b) => this.copyIn(b));
    const struct = w._malloc(PICTURE_BYTES);
    try {
      const fields = [type, parts[0], parts[1], width, height, 0, 0, parts[2], bytes.length];
      w.HEAPU32.set(fields, struct >> 2);
      return w._x91_encoder_add_picture(encoder, struct);
    } finally {
      w._free(struct);
      parts.forEach((p) => w._free(p));
    }
  }
}

// One x91 stream being decoded. Reads give the audio of one packet at most,
// with that packet's status: a damaged packet's audio still comes (status
// X91_ERR_PACKET_DAMAGED, ...), and what ends a stream early gives its status
// with 0 frames.
export class X91Decoder {
  constructor(x91, handle, pushed) {
    this.x91 = x91;
    this.wasm = x91.wasm;
    this.handle = handle;
    this.pushed = pushed;
    // The module's buffers for reads: left, right, or 16-bit interleaved.
    this.buffer = this.wasm._malloc(READ_FRAMES * 8);
    this.feedBuffer = 0;
    this.feedCapacity = 0;
  }

  // Frees the decoder. Further calls throw.
  close() {
    if (!this.handle) return;
    this.wasm._x91_decoder_destroy(this.handle);
    this.wasm._free(this.buffer);
    this.wasm._free(this.feedBuffer);
    this.handle = 0;
  }

  live() {
    if (!this.handle) throw new X91Error(Status.X91_ERR_INVALID_STATE, 'the decoder is closed');
    return this.handle;
  }

  // Throws a failed call's status with the decoder's details.
  check(status) {
    if (status !== Status.X91_OK) {
      this.x91.check(status, this.x91.text(this.wasm._x91_decoder_last_error(this.live())));
    }
  }

  // The details of the last failed call, "" after success.
  get lastError() {
    return this.x91.text(this.wasm._x91_decoder_last_error(this.live()));
  }

  // Sample frames the stream decodes to: known at once for a buffer; for a
  // pushed stream what was decoded so far, the whole once it has ended.
  get length() {
    return Number(this.wasm._x91_decoder_length(this.live()));
  }

  // The frame the next read gives.
  get position() {
    return Number(this.wasm._x91_decoder_position(this.live()));
  }

  // Whether every frame of a pushed stream was read.
  get ended() {
    return this.wasm._x91_decoder_ended(this.live()) === 1;
  }

  // What the extension block tells: { status, frames, leadIn } (status
  // X91_OK, or X91_ERR_NO_EXTENSION and the like when it tells nothing).
  exactLength() {
    const out = this.x91.out;
    const status = this.wasm._x91_decoder_exact_length(this.live(), out, out + 8);
    const values = this.wasm.HEAPU64;
    return { status, frames: Number(values[out >> 3]), leadIn: Number(values[(out >> 3) + 1]) };
  }

  // The tags in the order they were written, as [name, value] pairs.
  get tags() {
    const handle = this.live();
    const out = this.x91.out;
    const tags = [];
    const count = this.wasm._x91_decoder_tag_count(handle);
    for (let i = 0; i < count; ++i) {
      this.check(this.wasm._x91_decoder_tag(handle, i, out, out + 4));
      const heap = this.wasm.HEAPU32;
      tags.push([this.x91.text(heap[out >> 2]), this.x91.text(heap[(out >> 2) + 1])]);
    }
    return tags;
  }

  // The first value of a tag, its name compared without regard to case, or
  // undefined.
  tag(name) {
    const wanted = name.toUpperCase();
    return this.tags.find(([n]) => n.toUpperCase() === wanted)?.[1];
  }

  // The pictures of the extension block in the order they were written, as
  // { type, mime, description, width, height, data } (type 3 is the front
  // cover, 0 other; width and height 0 where not known; data a Uint8Array).
  // None from a module built without the C interface's picture calls.
  get pictures() {
    const w = this.wasm;
    if (!w._x91_decoder_picture_count) return [];
    const handle = this.live();
    const count = w._x91_decoder_picture_count(handle);
    const pictures = [];
    const struct = count > 0 ? w._malloc(PICTURE_BYTES) : 0;
    try {
      for (let i = 0; i < count; ++i) {
        this.check(w._x91_decoder_picture(handle, i, struct));
        const [type, mime, description, width, height, , , data, size] = w.HEAPU32.subarray(
          struct >> 2,
          (struct >> 2) + 9,
        );
        pictures.push({
          type,
          mime: mime ? this.x91.text(mime) : '',
          description: description ? this.x91.text(description) : '',
          width,
          height,
          data: w.HEAPU8.slice(data, data + size),
        });
      }
    } finally {
      w._free(struct);
    }
    return pictures;
  }

  // Moves to sample frame `frame` of a buffer's decoder; what is read from
  // there equals a decode from the start.
  seek(frame) {
    this.check(this.wasm._x91_decoder_seek(this.live(), BigInt(Math.max(0, Math.floor(frame)))));
  }

  // The next bytes of a pushed stream. Throws when the header refuses them.
  feed(bytes) {
    const data = asBytes(bytes);
    if (data.length > this.feedCapacity) {
      this.wasm._free(this.feedBuffer);
      this.feedCapacity = Math.max(data.length, 1 << 16);
      this.feedBuffer = this.wasm._malloc(this.feedCapacity);
    }
    this.wasm.HEAPU8.set(data, this.feedBuffer);
    this.check(this.wasm._x91_decoder_feed(this.live(), this.feedBuffer, data.length));
  }

  // A pushed stream has no more bytes.
  end() {
    this.check(this.wasm._x91_decoder_feed_end(this.live()));
  }

  // Up to maxFrames decoded frames as { frames, left, right, status }: two
  // new Float32Arrays. 0 frames at the end, or when a pushed stream needs
  // more bytes.
  read(maxFrames = READ_FRAMES) {
    const max = Math.min(maxFrames, READ_FRAMES);
    const left = this.buffer;
    const right = left + READ_FRAMES * 4;
    const out = this.x91.out;
    const status = this.wasm._x91_web_read_planar(this.live(), left, right, max, out);
    const frames = this.wasm.HEAPU32[out >> 2];
    const heap = this.wasm.HEAPF32;
    return {
      frames,
      status,
      left: heap.slice(left >> 2, (left >> 2) + frames),
      right: heap.slice(right >> 2, (right >> 2) + frames),
    };
  }

  // As read, but the frames as 16-bit samples, interleaved, left first:
  // { frames, pcm, status }.
  readInt16(maxFrames = READ_FRAMES) {
    const max = Math.min(maxFrames, READ_FRAMES);
    const out = this.x91.out;
    const status = this.wasm._x91_decoder_read(this.live(), this.buffer, max, out);
    const frames = this.wasm.HEAPU32[out >> 2];
    const start = this.buffer >> 1;
    return { frames, status, pcm: this.wasm.HEAP16.slice(start, start + 2 * frames) };
  }
}

// Decodes a stream of chunks (a fetch body, or any async iterable of byte
// arrays) as they arrive, yielding what read() gives: { frames, left, right,
// status }. The decoder's length and tags are complete once it is done.
export async function* decodeStream(x91, chunks, { int16 = false, decoder = x91.openPush() } = {}) {
  const source = chunks.getReader ? readerChunks(chunks) : chunks[Symbol.asyncIterator]();
  try {
    for (;;) {
      const piece = int16 ? decoder.readInt16() : decoder.read();
      if (piece.frames > 0 || piece.status !== Status.X91_OK) yield piece;
      if (piece.frames > 0) continue;
      if (decoder.ended) return;
      const next = await source.next();
      if (next.done) decoder.end();
      else decoder.feed(next.value);
    }
  } finally {
    await source.return?.();
  }
}

async function* readerChunks(stream) {
  const reader = stream.getReader();
  try {
    for (;;) {
      const { done, value } = await reader.read();
      if (done) return;
      yield value;
    }
  } finally {
    reader.releaseLock();
  }
}

function asBytes(bytes) {
  if (bytes instanceof Uint8Array) return bytes;
  if (ArrayBuffer.isView(bytes)) return new Uint8Array(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  return new Uint8Array(bytes);
}

function cString(text) {
  const bytes = new TextEncoder().encode(text);
  const terminated = new Uint8Array(bytes.length + 1);
  terminated.set(bytes);
  return terminated;
}

function concatBytes(pieces) {
  const all = new Uint8Array(pieces.reduce((n, p) => n + p.length, 0));
  let at = 0;
  for (const p of pieces) {
    all.set(p, at);
    at += p.length;
  }
  return all;
}

// Float samples in -1..1 to 16-bit interleaved: the inverse of the reads'
// conversion, so decoded floats encode to the very samples they came from.
function interleaveFloat(left, right) {
  const pcm = new Int16Array(2 * left.length);
  for (let i = 0; i < left.length; ++i) {
    pcm[2 * i] = Math.max(-32768, Math.min(32767, Math.round(left[i] * 32768)));
    pcm[2 * i + 1] = Math.max(-32768, Math.min(32767, Math.round(right[i] * 32768)));
  }
  return pcm;
}
