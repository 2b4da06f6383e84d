// The x91 player's decoding thread, so that the page never waits on the
// codec. It decodes for the audio worklet just ahead of playback, as the
// worklet asks, and in the time between it decodes the whole file once more
// for the waveform, in slices, so the player's requests never wait long.
//
// From the page: { type: 'worklet', port } (the worklet's end), { type:
// 'open', bytes } or { type: 'open', stream } (a ReadableStream of the file),
// { type: 'seek', frame }. To the page: 'info' (length, tags, pictures,
// seekable), 'peaks' (the waveform so far), 'warning' and 'error' (status,
// message). To the worklet: 'restart', 'audio' and 'end', each of the
// current generation.

import { loadX91, Status, X91_SAMPLE_RATE, statusName } from './x91.js';

// Seconds of audio the worklet should hold after a fill.
const AHEAD_SECONDS = 3;
// The waveform: one minimum and maximum per PEAK_FRAMES frames (10 ms).
const PEAK_FRAMES = 441;
// Milliseconds of waveform decoding between looks at the message queue.
const SLICE_MS = 20;

let x91 = null;
let worklet = null;
let generation = 0;
let player = null; // the decoder playback reads from
let overview = null; // the decoder the waveform comes from
let bytes = null; // the whole file, once it is known
let streaming = null; // the pushed stream still arriving, with its reader
let warned = false;

const ready = loadX91();

self.onmessage = async ({ data }) => {
  try {
    x91 ??= await ready;
    if (data.type === 'worklet') {
      worklet = data.port;
      worklet.onmessage = ({ data: m }) => {
        try {
          if (m.generation === generation) fill(m.queued);
        } catch (error) {
          fail(error);
        }
      };
    } else if (data.type === 'open') {
      open(data);
    } else if (data.type === 'seek') {
      seek(data.frame);
    }
  } catch (error) {
    fail(error);
  }
};

function fail(error) {
  self.postMessage({
    type: 'error',
    status: error.status ?? Status.X91_ERR_INTERNAL,
    statusName: error.statusName ?? 'X91_ERR_INTERNAL',
    message: error.message,
  });
}

function closeAll() {
  player?.close();
  overview?.close();
  player = overview = bytes = streaming = null;
  warned = false;
}

function open(source) {
  closeAll();
  ++generation;
  restart(0);
  if (source.bytes) {
    bytes = new Uint8Array(source.bytes);
    player = x91.openBuffer(bytes);
    announce();
    sendAudio(4096); // the first audio at once, without waiting to be asked
    startOverview();
  } else {
    player = x91.openPush();
    streaming = { pieces: [], size: 0, wanted: 0 };
    announce();
    pump(source.stream.getReader(), streaming).catch(fail);
  }
}

function announce() {
  self.postMessage({
    type: 'info',
    length: player.length,
    exactLength: player.exactLength(),
    tags: player.tags,
    pictures: player.pictures,
    seekable: bytes !== null,
    complete: !streaming,
  });
}

function restart(position) {
  worklet?.postMessage({ type: 'restart', generation, position });
}

function seek(frame) {
  if (!bytes) throw new Error('the file can be sought once it has arrived whole');
  ++generation;
  player.seek(frame);
  restart(player.position);
  sendAudio(4096);
}

// Decodes up to `frames` frames for the worklet and tells how many it sent:
// fewer when a stream waits for bytes or the decode ended.
function sendAudio(frames) {
  let sent = 0;
  while (sent < frames) {
    const chunk = player.read(frames - sent);
    note(chunk.status);
    if (chunk.frames === 0) {
      if (!streaming || player.ended) worklet.postMessage({ type: 'end', generation });
      return sent;
    }
    sent += chunk.frames;
    worklet.postMessage({ type: 'audio', generation, left: chunk.left, right: chunk.right }, [
      chunk.left.buffer,
      chunk.right.buffer,
    ]);
  }
  return sent;
}

// Tells the page about damage once per file: the audio goes on.
function note(status) {
  if (status === Status.X91_OK || warned) return;
  warned = true;
  self.postMessage({
    type: 'warning',
    status,
    statusName: statusName(status),
    message: player.lastError || statusName(status),
  });
}

// The worklet holds `queued` frames: top it up. What a stream cannot give
// yet is given as its bytes come.
function fill(queued) {
  if (!player) return;
  const wanted = AHEAD_SECONDS * X91_SAMPLE_RATE - queued;
  const sent = sendAudio(wanted);
  if (streaming) streaming.wanted = wanted - sent;
}

// Reads a stream as fast as it comes, feeding the decoder and decoding what
// the worklet waits for. At its end the file is whole: the player moves to a
// decoder over all of it, which seeks, at the same frame, and the waveform
// begins.
async function pump(reader, s) {
  for (;;) {
    const { done, value } = await reader.read();
    if (s !== streaming) {
      reader.cancel().catch(() => {});
      return;
    }
    if (done) break;
    s.pieces.push(value);
    s.size += value.length;
    player.feed(value);
    if (s.wanted > 0) s.wanted -= sendAudio(s.wanted);
  }
  bytes = new Uint8Array(s.size);
  let at = 0;
  for (const piece of s.pieces) {
    bytes.set(piece, at);
    at += piece.length;
  }
  streaming = null;
  const position = player.position;
  player.close();
  player = x91.openBuffer(bytes);
  player.seek(position);
  announce();
  if (s.wanted > 0) sendAudio(s.wanted);
  startOverview();
}

// The waveform: decodes the whole file in slices and sends the peaks found in
// each, as pairs of minimum and maximum over both channels, from bucket
// `from` on.
function startOverview() {
  overview = x91.openBuffer(bytes);
  const peaks = new Float32Array(2 * Math.ceil(overview.length / PEAK_FRAMES));
  const mine = overview;
  let frame = 0;
  let sent = 0;
  const slice = () => {
    if (overview !== mine) return;
    const until = performance.now() + SLICE_MS;
    let done = false;
    while (!done && performance.now() < until) {
      const chunk = overview.read();
      done = chunk.frames === 0;
      for (let i = 0; i < chunk.frames; ++i, ++frame) {
        const at = 2 * Math.floor(frame / PEAK_FRAMES);
        const low = Math.min(chunk.left[i], chunk.right[i]);
        const high = Math.max(chunk.left[i], chunk.right[i]);
        if (low < peaks[at]) peaks[at] = low;
        if (high > peaks[at + 1]) peaks[at + 1] = high;
      }
    }
    const whole = done ? Math.ceil(frame / PEAK_FRAMES) : Math.floor(frame / PEAK_FRAMES);
    self.postMessage({ type: 'peaks', from: sent, peaks: peaks.slice(2 * sent, 2 * whole), done });
    sent = whole;
    if (!done) setTimeout(slice, 0);
  };
  slice();
}
