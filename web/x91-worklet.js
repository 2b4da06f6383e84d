// The x91 player's audio end: plays the decoded audio the worker sends, and
// asks it for more whenever less than LOW_SECONDS is queued, so decoding keeps
// just ahead of playback. It runs on the audio thread: it never decodes and
// never allocates while playing but for the queue's small arrays.

const LOW_SECONDS = 1.5;
const REPORT_EVERY = 4410; // frames between position reports to the page (0.1 s)

class X91PlayerProcessor extends AudioWorkletProcessor {
  constructor() {
    super();
    this.worker = null; // port to the decoding worker
    this.generation = 0; // bumped by every open and seek: older audio is dropped
    this.queue = []; // { left, right } chunks, the first read from `offset`
    this.offset = 0;
    this.queued = 0;
    this.position = 0; // the frame the next output plays
    this.playing = false;
    this.finished = false; // the worker has sent the last chunk
    this.asked = false;
    this.sinceReport = 0;
    this.started = false;
    this.port.onmessage = ({ data }) => this.onPage(data);
  }

  onPage(message) {
    if (message.type === 'worker') {
      this.worker = message.port;
      this.worker.onmessage = ({ data }) => this.onWorker(data);
    } else if (message.type === 'play') {
      this.playing = message.playing;
    }
  }

  onWorker(message) {
    if (message.type === 'restart') {
      this.generation = message.generation;
      this.queue = [];
      this.offset = this.queued = 0;
      this.position = message.position;
      this.finished = false;
      this.asked = false;
      this.started = false;
      this.report();
      return;
    }
    if (message.generation !== this.generation) return;
    if (message.type === 'audio') {
      this.queue.push(message);
      this.queued += message.left.length;
      this.asked = false;
    } else if (message.type === 'end') {
      this.finished = true;
      this.asked = false;
    }
  }

  report(extra = {}) {
    this.sinceReport = 0;
    this.port.postMessage({ type: 'position', position: this.position, ...extra });
  }

  process(inputs, outputs) {
    const [left, right = left] = outputs[0];
    let written = 0;
    if (this.playing) {
      while (written < left.length && this.queue.length > 0) {
        const chunk = this.queue[0];
        const n = Math.min(left.length - written, chunk.left.length - this.offset);
        left.set(chunk.left.subarray(this.offset, this.offset + n), written);
        right.set(chunk.right.subarray(this.offset, this.offset + n), written);
        written += n;
        this.offset += n;
        this.queued -= n;
        if (this.offset === chunk.left.length) {
          this.queue.shift();
          this.offset = 0;
        }
      }
      this.position += written;
      this.sinceReport += written;
      if (written > 0 && !this.started) {
        this.started = true;
        this.report({ started: true });
      } else if (this.sinceReport >= REPORT_EVERY) {
        this.report();
      }
      if (this.finished && this.queue.length === 0) {
        this.playing = false;
        this.report({ ended: true });
      }
    }
    left.fill(0, written);
    right.fill(0, written);
    if (this.worker && !this.finished && !this.asked && this.queued < LOW_SECONDS * sampleRate) {
      this.asked = true;
      this.worker.postMessage({ type: 'need', generation: this.generation, queued: this.queued });
    }
    return true;
  }
}

registerProcessor('x91-player', X91PlayerProcessor);
