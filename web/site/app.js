// The page: what is open, the Level, the view and the downloads. Every file is read and
// written by worker.js; this thread only draws what it sends and keeps the page awake.
'use strict';

const $ = (id) => document.getElementById(id);
const LEVEL_KEY = 'zod-edozuv.level';
const worker = new Worker('worker.js');
const pending = new Map(); // job id -> its callbacks
let nextId = 1;
let started = false;
let factors = [];
let open = [];       // the files opened together
let shown = -1;      // which of them is on view
let viewId = 0;      // the view job whose rows the canvas takes

function setState() {
  const state = !started ? 'loading' : pending.size ? 'busy' : 'ready';
  document.body.dataset.state = state;
  $('progress').hidden = state !== 'busy';
}

function say(lines) {
  $('message').textContent = lines.join('\n');
}

// Runs a job on the worker: `onEvent` sees what it sends on the way, the promise its end.
function ask(op, fields = {}, onEvent = () => {}) {
  const id = nextId++;
  const done = new Promise((resolve, reject) => {
    pending.set(id, {onEvent, resolve, reject});
    worker.postMessage({op, id, ...fields});
  });
  $('progress').removeAttribute('value');
  setState();
  return {id, done: done.finally(setState)};
}

worker.onmessage = ({data}) => {
  const job = pending.get(data.id);
  if (!job) return;
  if ('progress' in data) $('progress').value = data.progress;
  if (!data.done) return job.onEvent(data);
  pending.delete(data.id);
  if (data.error) job.reject(new Error(data.error));
  else job.resolve(data);
};

const cannotStart = () => say(['This browser could not start the page\'s decoder (WebAssembly in a worker).']);
worker.onerror = cannotStart;

const factor = () => factors[Number($('level').value) - 1];
const baseName = (name) => {
  const dot = name.lastIndexOf('.');
  return dot > 0 ? name.slice(0, dot) : name;
};

// --- the view ------------------------------------------------------------------------------
function clearView() {
  const canvas = $('view');
  canvas.width = canvas.height = 0;
}

// A canvas of the picture's size; black first where the picture may not cover it all.
function startCanvas(width, height, black) {
  const canvas = $('view');
  canvas.width = width;
  canvas.height = height;
  const context = canvas.getContext('2d');
  if (black) context.fillRect(0, 0, width, height); // the program's window, behind transparency
  return context;
}

async function show(index) {
  shown = index;
  const file = open[index];
  for (const [i, button] of [...$('files').children].entries()) button.setAttribute('aria-current', i === index);
  $('hint').hidden = true;
  say([]);
  let context = null;
  let width = 0;
  const job = ask('view', {file, factor: factor()}, (event) => {
    if (job.id !== viewId) return;
    if (event.bitmap) {
      startCanvas(event.bitmap.width, event.bitmap.height, true).drawImage(event.bitmap, 0, 0);
      event.bitmap.close();
    } else if (event.width) {
      width = event.width;
      context = startCanvas(event.width, event.height);
    } else if (event.pixels && context) {
      const pixels = new Uint8ClampedArray(event.pixels.buffer);
      context.putImageData(new ImageData(pixels, width, event.rows), 0, event.y);
    }
  });
  viewId = job.id;
  try {
    await job.done;
  } catch (error) {
    if (job.id !== viewId) return;
    clearView();
    say([`${file.name}: ${error.message}`]);
  }
}

function openFiles(files) {
  open = [...files];
  $('files').replaceChildren(...(open.length > 1 ? open.map((file, i) => {
    const button = document.createElement('button');
    button.textContent = file.name;
    button.onclick = () => show(i);
    return button;
  }) : []));
  const several = open.length > 1 ? ` (${open.length})` : '';
  $('export-bmp').textContent = `Export BMP${several}`;
  $('export-png').textContent = `Export PNG${several}`;
  $('export-bmp').disabled = $('export-png').disabled = !open.length;
  if (open.length) show(0);
}

// --- downloads -----------------------------------------------------------------------------
function download(blob, name) {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(blob);
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
}

// Each file through `op`, one download each, named after it; what fails is listed.
async function each(files, op, extension) {
  const failures = [];
  for (const file of files) {
    try {
      const {blob} = await ask(op, {file, factor: factor()}).done;
      download(blob, baseName(file.name) + extension);
    } catch (error) {
      failures.push(`${file.name}: ${error.message}`);
    }
  }
  say(failures);
}

// --- wiring --------------------------------------------------------------------------------
$('open').onchange = (event) => {
  openFiles(event.target.files);
  event.target.value = '';
};
$('encode').onchange = (event) => {
  const files = [...event.target.files];
  event.target.value = '';
  each(files, 'encode', '.tvq');
};
$('export-bmp').onclick = () => each(open, 'bmp', '.bmp');
$('export-png').onclick = () => each(open, 'png', '.png');
$('level').onchange = () => {
  localStorage.setItem(LEVEL_KEY, $('level').value);
  if (shown >= 0 && /\.tvq$/i.test(open[shown].name)) show(shown);
  setState();
};

document.addEventListener('dragover', (event) => {
  event.preventDefault();
  document.body.classList.add('dropping');
});
document.addEventListener('dragleave', (event) => {
  if (!event.relatedTarget) document.body.classList.remove('dropping');
});
document.addEventListener('drop', (event) => {
  event.preventDefault();
  document.body.classList.remove('dropping');
  if (event.dataTransfer.files.length) openFiles(event.dataTransfer.files);
});

// The installed app, opened from the system's file manager with TVQ files.
if ('launchQueue' in window) {
  window.launchQueue.setConsumer(async ({files}) => {
    if (files.length) openFiles(await Promise.all(files.map((handle) => handle.getFile())));
  });
}

if ('serviceWorker' in navigator) navigator.serviceWorker.register('sw.js');

ask('hello').done.then((reply) => {
  factors = reply.factors;
  $('level').replaceChildren(...factors.map((f, i) => new Option(`Level ${i + 1} (× ${f})`, i + 1)));
  const saved = Number(localStorage.getItem(LEVEL_KEY));
  $('level').value = saved >= 1 && saved <= factors.length ? saved : reply.defaultLevel;
  started = true;
  setState();
}, cannotStart);
