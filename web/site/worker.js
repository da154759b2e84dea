// The page's heavy work, off the main thread: TVQ files through formats/core/ compiled to
// WebAssembly (tvq.js), other pictures through the browser's own decoders. Jobs run one at
// a time, in the order they come; a newer view makes the one still running stop.
'use strict';
importScripts('tvq.js');

const BAND_BYTES = 4 << 20; // RGBA bytes of the rows made and sent at a time
const WINDOW_BYTES = 16 << 20; // read from the user's file at a time
const core = ZodTvq().then((M) => {
  M.FS.mkdir('/in');
  M.forgetWindow = readThroughWindow(M);
  return M;
});

// The core reads a block of 256 KiB at a time, and each read of a File costs a round trip
// to the browser: reads are served from a window of the file read at once.
// A file that cannot be read (gone, changed) is a failed read for the core, which says so.
function readThroughWindow(M) {
  let file = null, start = 0, bytes = new Uint8Array(0);
  M.FS.filesystems.WORKERFS.stream_ops.read = (stream, buffer, offset, length, position) => {
    const blob = stream.node.contents;
    if (blob !== file || position < start || position + length > start + bytes.length) {
      const end = Math.min(blob.size, position + Math.max(length, WINDOW_BYTES));
      file = null;
      bytes = new Uint8Array(0);
      try {
        bytes = new Uint8Array(new FileReaderSync().readAsArrayBuffer(blob.slice(position, end)));
      } catch (_) {
        throw new M.FS.ErrnoError(29); // EIO
      }
      file = blob;
      start = position;
    }
    const count = Math.max(0, Math.min(length, bytes.length - (position - start)));
    buffer.set(bytes.subarray(position - start, position - start + count), offset);
    return count;
  };
  return () => { file = null; bytes = new Uint8Array(0); };
}

let latestView = 0;
let queue = Promise.resolve();

onmessage = ({data}) => {
  if (data.op === 'view') latestView = data.id;
  queue = queue.then(() => run(data));
};

async function run(job) {
  let M = null;
  try {
    M = await core;
    const reply = await JOBS[job.op](M, job);
    postMessage({id: job.id, done: true, ...reply});
  } catch (error) {
    postMessage({id: job.id, done: true, error: error.message || String(error)});
  } finally {
    if (M) {
      M._zod_close();
      M.forgetWindow();
      try { M.FS.unmount('/in'); } catch (_) { /* nothing was mounted */ }
    }
  }
}

// Lets messages in between bands, so that a newer view is seen.
const yieldToMessages = () => new Promise((resolve) => {
  const channel = new MessageChannel();
  channel.port1.onmessage = resolve;
  channel.port2.postMessage(null);
});

const isTvq = (file) => /\.tvq$/i.test(file.name);
const copyOut = (M, pointer, bytes) => M.HEAPU8.slice(pointer, pointer + bytes);

// Mounts `file` and opens it in the core: its size, or a refusal in zod-tvq info's words.
function openTvq(M, file) {
  M.FS.mount(M.FS.filesystems.WORKERFS, {blobs: [{name: 'file', data: file}]}, '/in');
  const verdict = M.ccall('zod_open', 'number', ['string'], ['/in/file']);
  if (verdict < 0) throw new Error('the file could not be read');
  if (verdict > 0) throw new Error(M.UTF8ToString(M._zod_refusal()));
  return {width: M._zod_width(), height: M._zod_height()};
}

const bandRows = (rowBytes, height) => Math.max(1, Math.min(height, Math.floor(BAND_BYTES / rowBytes)));
const unreadable = () => new Error('the file could not be read to its end');

// A picture the browser decodes, as RGBA rows read a band at a time: unpremultiplied, or
// over black as the view shows it.
async function decodePicture(file, overBlack) {
  let bitmap;
  try {
    bitmap = await createImageBitmap(file, {colorSpaceConversion: 'none', premultiplyAlpha: 'none'});
  } catch (_) {
    throw new Error('not a picture this browser can read');
  }
  const {width, height} = bitmap;
  const canvas = new OffscreenCanvas(width, height);
  const context = canvas.getContext('2d', {willReadFrequently: true});
  if (overBlack) context.fillRect(0, 0, width, height);
  context.drawImage(bitmap, 0, 0);
  bitmap.close();
  return {width, height, canvas, rows: (y, count) => context.getImageData(0, y, width, count).data};
}

const JOBS = {
  hello(M) {
    const factors = [];
    for (let level = 1; level <= M._zod_level_count(); ++level) factors.push(M._zod_level_factor(level));
    return {factors, defaultLevel: M._zod_default_level()};
  },

  // The picture on the canvas: its size first, then its rows a band at a time.
  async view(M, {id, file, factor}) {
    if (!isTvq(file)) {
      const bitmap = await createImageBitmap(file, {colorSpaceConversion: 'none'})
        .catch(() => { throw new Error('not a picture this browser can read'); });
      postMessage({id, bitmap}, [bitmap]);
      return {};
    }
    const {width, height} = openTvq(M, file);
    postMessage({id, width, height});
    const rows = bandRows(4 * width, height);
    for (let y = 0; y < height; y += rows) {
      if (id !== latestView) return {stale: true};
      const count = Math.min(rows, height - y);
      const pointer = M._zod_rgba_rows(y, count, factor);
      if (!pointer) throw unreadable();
      const pixels = copyOut(M, pointer, 4 * width * count);
      postMessage({id, y, rows: count, pixels, progress: (y + count) / height}, [pixels.buffer]);
      await yieldToMessages();
    }
    return {};
  },

  // What zod-tvq convert --factor F writes, or the picture on view for other files.
  async bmp(M, {id, file, factor}) {
    const picture = isTvq(file) ? openTvq(M, file) : await decodePicture(file, true);
    const {width, height} = picture;
    const header = M._zod_bmp_header(width, height);
    if (!header) throw new Error('too large for a BMP file');
    const parts = [copyOut(M, header, 54)];
    const stride = M._zod_bmp_stride(width);
    const rows = bandRows(isTvq(file) ? stride : 4 * width, height);
    // Bottom band first, each band's rows bottom first.
    for (let end = height; end > 0; end -= rows) {
      const first = Math.max(0, end - rows), count = end - first;
      let pointer;
      if (picture.rows) {
        const rgba = picture.rows(first, count);
        const input = M._zod_input(rgba.length);
        if (input) M.HEAPU8.set(rgba, input);
        pointer = input && M._zod_bmp_rows_from_rgba(width, count);
      } else {
        pointer = M._zod_bmp_rows(first, count, factor);
      }
      if (!pointer) throw picture.rows ? new Error('out of memory') : unreadable();
      parts.push(copyOut(M, pointer, stride * count));
      postMessage({id, progress: (height - first) / height});
    }
    return {blob: new Blob(parts, {type: 'image/bmp'})};
  },

  // A PNG file of the picture on view.
  async png(M, {id, file, factor}) {
    if (!isTvq(file)) {
      const picture = await decodePicture(file, true);
      return {blob: await picture.canvas.convertToBlob({type: 'image/png'})};
    }
    const {width, height} = openTvq(M, file);
    const canvas = new OffscreenCanvas(width, height);
    const context = canvas.getContext('2d');
    const rows = bandRows(4 * width, height);
    for (let y = 0; y < height; y += rows) {
      const count = Math.min(rows, height - y);
      const pointer = M._zod_rgba_rows(y, count, factor);
      if (!pointer) throw unreadable();
      const pixels = new Uint8ClampedArray(M.HEAPU8.buffer, pointer, 4 * width * count);
      context.putImageData(new ImageData(pixels, width, count), 0, y);
      postMessage({id, progress: 0.5 * (y + count) / height});
    }
    return {blob: await canvas.convertToBlob({type: 'image/png'})};
  },

  // What zod-tvq encode --factor F writes for the picture as the browser decodes it.
  async encode(M, {id, file, factor}) {
    const picture = await decodePicture(file);
    const {width, height} = picture;
    const refusal = M.UTF8ToString(M._zod_encode_refusal(width, height));
    if (refusal) throw new Error(refusal);
    const parts = [copyOut(M, M._zod_tvq_header(width, height), 32)];
    const rows = bandRows(4 * width, height);
    for (let y = 0; y < height; y += rows) {
      const count = Math.min(rows, height - y);
      const rgba = picture.rows(y, count);
      const input = M._zod_input(rgba.length);
      if (!input) throw new Error('out of memory');
      M.HEAPU8.set(rgba, input);
      const pointer = M._zod_tvq_words(width * count, factor);
      if (!pointer) throw new Error('out of memory');
      parts.push(copyOut(M, pointer, 2 * width * count));
      postMessage({id, progress: (y + count) / height});
    }
    return {blob: new Blob(parts, {type: 'application/octet-stream'})};
  },
};
