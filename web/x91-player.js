// An x91 player for a page: a worker decodes (x91-worker.js), an audio
// worklet plays (x91-worklet.js), and the page only hears of it through
// events, so it never waits on the codec.
//
//   const player = new X91Player();
//   player.addEventListener('info', (e) => show(e.detail.tags));
//   await player.open(file);            // a File, Blob, ArrayBuffer, Response or ReadableStream
//   player.seek(30); player.pause(); player.play();
//
// Events (their detail): 'info' ({ length, tags, pictures, seekable, ... }),
// 'peaks' ({ from, peaks, done }: minimum and maximum per 10 ms), 'time'
// ({ seconds }), 'firstaudio' ({ ms } from open to the first audio played),
// 'ended', 'warning' and 'error' ({ status, statusName, message }).

import { X91_SAMPLE_RATE } from './x91.js';

export class X91Player extends EventTarget {
  constructor() {
    super();
    this.length = 0;
    this.position = 0;
    this.playing = false;
    this.started = null;
  }

  // Starts the decoding worker, which loads the codec, and sets up the audio
  // graph, which stays silent until play(). A page may call it as it loads,
  // before any gesture, so that opening a file waits for neither; open()
  // does it when needed.
  preload() {
    if (this.worker) return;
    this.worker = new Worker(new URL('./x91-worker.js', import.meta.url), { type: 'module' });
    this.worker.onmessage = ({ data }) => this.onWorker(data);
    this.worker.onerror = (e) => this.emit('error', { status: -10, statusName: 'X91_ERR_INTERNAL', message: e.message });
    this.start().catch(() => {}); // open() meets the same failure and reports it
  }

  // Sets up the audio graph and the worker; open() does it when needed. The
  // browser lets audio start only after a user's gesture: call it from one.
  async start() {
    this.started ??= this.setUp();
    return this.started;
  }

  async setUp() {
    this.preload(); // the module loads while the audio graph is set up
    this.context = new AudioContext({ sampleRate: X91_SAMPLE_RATE });
    await this.context.audioWorklet.addModule(new URL('./x91-worklet.js', import.meta.url));
    this.node = new AudioWorkletNode(this.context, 'x91-player', {
      numberOfInputs: 0,
      outputChannelCount: [2],
    });
    this.node.connect(this.context.destination);
    this.node.port.onmessage = ({ data }) => this.onWorklet(data);
    const channel = new MessageChannel();
    this.node.port.postMessage({ type: 'worker', port: channel.port1 }, [channel.port1]);
    this.worker.postMessage({ type: 'worklet', port: channel.port2 }, [channel.port2]);
  }

  // Opens and plays a file: a File or Blob, an ArrayBuffer or typed array (a
  // copy is taken), or a Response or ReadableStream, which plays as it arrives
  // and can be sought once it has arrived whole.
  async open(source) {
    this.openedAt = performance.now();
    this.firstAudio = false;
    if (source instanceof Response) source = source.body;
    const stream = source instanceof ReadableStream;
    // The file is read while the audio graph is set up.
    const bytes = stream ? null : source instanceof Blob ? source.arrayBuffer() : copyOf(source);
    await this.start();
    this.length = this.position = 0;
    if (stream) {
      this.worker.postMessage({ type: 'open', stream: source }, [source]);
    } else {
      const buffer = await bytes;
      this.worker.postMessage({ type: 'open', bytes: buffer }, [buffer]);
    }
    this.play();
  }

  play() {
    this.playing = true;
    this.context?.resume();
    this.node?.port.postMessage({ type: 'play', playing: true });
  }

  pause() {
    this.playing = false;
    this.node?.port.postMessage({ type: 'play', playing: false });
  }

  // Moves playback to `seconds` into the file.
  seek(seconds) {
    const frame = Math.max(0, Math.min(this.length, Math.round(seconds * X91_SAMPLE_RATE)));
    this.worker?.postMessage({ type: 'seek', frame });
  }

  get duration() {
    return this.length / X91_SAMPLE_RATE;
  }

  get currentTime() {
    return this.position / X91_SAMPLE_RATE;
  }

  emit(type, detail) {
    this.dispatchEvent(new CustomEvent(type, { detail }));
  }

  onWorker(message) {
    if (message.type === 'info') this.length = message.length;
    this.emit(message.type, message);
  }

  onWorklet(message) {
    this.position = message.position;
    this.emit('time', { seconds: this.currentTime });
    if (message.started && !this.firstAudio) {
      this.firstAudio = true;
      this.firstAudioMs = performance.now() - this.openedAt;
      this.emit('firstaudio', { ms: this.firstAudioMs });
    }
    if (message.ended) {
      this.playing = false;
      this.emit('ended', {});
    }
  }
}

function copyOf(bytes) {
  const view = ArrayBuffer.isView(bytes) ? bytes : new Uint8Array(bytes);
  return new Uint8Array(view.buffer, view.byteOffset, view.byteLength).slice().buffer;
}
