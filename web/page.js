// The x91 player page: open a file (picker or drop), see its title, artist,
// cover, length and waveform, play it and seek by clicking the waveform.
import { X91Player } from './x91-player.js';

const PEAK_FRAMES = 441; // frames per waveform bucket, as the worker makes them

const $ = (id) => document.getElementById(id);
const player = new X91Player();
let fileName = '';
let peaks = new Float32Array(0);
let peaksDone = false;
let coverUrl = null;
let drawPending = false;

function formatTime(seconds) {
  const s = Math.max(0, seconds);
  const minutes = Math.floor(s / 60);
  const rest = Math.floor(s % 60);
  return `${minutes}:${String(rest).padStart(2, '0')}`;
}

function showError(text, kind = 'error') {
  const box = $('error');
  box.textContent = text;
  box.dataset.kind = kind;
  box.hidden = !text;
}

function showCover(pictures) {
  if (coverUrl) URL.revokeObjectURL(coverUrl);
  coverUrl = null;
  const picture = pictures.find((p) => p.type === 3) ?? pictures[0];
  if (picture) coverUrl = URL.createObjectURL(new Blob([picture.data], { type: picture.mime }));
  $('cover').hidden = !coverUrl;
  if (coverUrl) $('cover').src = coverUrl;
}

async function openFile(file) {
  if (!file) return;
  fileName = file.name;
  showError('');
  $('title').textContent = fileName;
  $('artist').textContent = '';
  $('details').textContent = 'Opening…';
  $('play').disabled = true;
  document.body.dataset.state = 'opening';
  peaks = new Float32Array(0);
  peaksDone = false;
  showCover([]);
  redraw();
  try {
    await player.open(file);
  } catch (error) {
    player.emit('error', { message: error.message });
  }
}

player.addEventListener('info', ({ detail }) => {
  const tag = (name) => detail.tags.find(([n]) => n.toUpperCase() === name)?.[1];
  $('title').textContent = tag('TITLE') ?? fileName;
  $('artist').textContent = tag('ARTIST') ?? '';
  const album = tag('ALBUM');
  $('details').textContent =
    `${formatTime(detail.length / 44100)} · 44.1 kHz stereo` + (album ? ` · ${album}` : '');
  showCover(detail.pictures);
  $('play').disabled = false;
  $('play').textContent = player.playing ? 'Pause' : 'Play';
  if (peaks.length === 0) peaks = new Float32Array(2 * Math.ceil(detail.length / PEAK_FRAMES));
  document.body.dataset.state = 'open';
  redraw();
});

player.addEventListener('peaks', ({ detail }) => {
  peaks.set(detail.peaks.subarray(0, Math.max(0, peaks.length - 2 * detail.from)), 2 * detail.from);
  peaksDone = detail.done;
  if (peaksDone) document.body.dataset.waveform = 'done';
  redraw();
});

player.addEventListener('time', () => redraw());

player.addEventListener('ended', () => {
  $('play').textContent = 'Play';
});

player.addEventListener('warning', ({ detail }) => {
  showError(`${fileName}: ${detail.message} (the rest plays on)`, 'warning');
});

player.addEventListener('error', ({ detail }) => {
  showError(`${fileName}: ${detail.message}`);
  $('title').textContent = 'No file open';
  $('details').textContent = '';
  $('play').disabled = true;
  document.body.dataset.state = 'error';
  player.pause();
});

$('file').addEventListener('change', (e) => {
  openFile(e.target.files[0]);
  e.target.value = ''; // the same file can be opened again
});

$('play').addEventListener('click', () => {
  if (player.playing) player.pause();
  else player.play();
  $('play').textContent = player.playing ? 'Pause' : 'Play';
});

$('waveform').addEventListener('click', (e) => {
  if (!player.length) return;
  const box = e.currentTarget.getBoundingClientRect();
  player.seek(((e.clientX - box.left) / box.width) * player.duration);
});

document.addEventListener('dragover', (e) => {
  e.preventDefault();
  $('drop').classList.add('dragging');
});
document.addEventListener('dragleave', () => $('drop').classList.remove('dragging'));
document.addEventListener('drop', (e) => {
  e.preventDefault();
  $('drop').classList.remove('dragging');
  openFile(e.dataTransfer.files[0]);
});

// Drawing waits for the next frame, so a burst of events draws once.
function redraw() {
  if (drawPending) return;
  drawPending = true;
  requestAnimationFrame(() => {
    drawPending = false;
    draw();
  });
}

function draw() {
  const canvas = $('waveform');
  const scale = window.devicePixelRatio || 1;
  const width = Math.round(canvas.clientWidth * scale);
  const height = Math.round(canvas.clientHeight * scale);
  if (canvas.width !== width || canvas.height !== height) [canvas.width, canvas.height] = [width, height];
  const g = canvas.getContext('2d');
  g.clearRect(0, 0, width, height);
  const buckets = peaks.length / 2;
  const middle = height / 2;
  const played = player.length ? (player.position / player.length) * width : 0;
  for (let x = 0; x < width && buckets > 0; ++x) {
    const first = Math.floor((x * buckets) / width);
    const last = Math.max(first + 1, Math.floor(((x + 1) * buckets) / width));
    let low = 0;
    let high = 0;
    for (let b = first; b < last && b < buckets; ++b) {
      low = Math.min(low, peaks[2 * b]);
      high = Math.max(high, peaks[2 * b + 1]);
    }
    g.fillStyle = x < played ? '#2d6cdf' : '#9db7e8';
    g.fillRect(x, middle - high * middle, 1, Math.max(1, (high - low) * middle));
  }
  if (player.length) {
    g.fillStyle = '#d0342c';
    g.fillRect(Math.min(played, width - 2 * scale), 0, 2 * scale, height);
  }
  $('time').textContent = `${formatTime(player.currentTime)} / ${formatTime(player.duration)}`;
  $('play').textContent = player.playing ? 'Pause' : 'Play';
}

window.addEventListener('resize', redraw);
// The codec loads while the page waits for a file.
player.preload();
// For tests and tools: the page's player.
window.x91Player = player;
