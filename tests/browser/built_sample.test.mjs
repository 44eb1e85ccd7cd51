// The sample folder built by `lanternfold build`, opened in headless Chromium over loopback: every
// page of the gallery loads, and every picture on it arrives and decodes, with no failed request.
//
// Environment: LF_BINARY (the lanternfold program), LF_SOURCE_DIR (the source tree, for
// scripts/make-sample.sh), LF_BROWSER_OUT (a folder for the built site), LF_CHROMIUM.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import { chromium } from 'playwright-core';

const program = process.env.LF_BINARY;
const sourceDir = process.env.LF_SOURCE_DIR;
const outRoot = path.resolve(process.env.LF_BROWSER_OUT || 'built-sample-out');
const chromiumPath = process.env.LF_CHROMIUM || '/usr/bin/chromium';

const types = {
  '.html': 'text/html; charset=utf-8', '.css': 'text/css; charset=utf-8', '.js': 'text/javascript; charset=utf-8',
  '.jpg': 'image/jpeg', '.png': 'image/png', '.gif': 'image/gif', '.mp4': 'video/mp4', '.wav': 'audio/wav',
  '.m4a': 'audio/mp4', '.mp3': 'audio/mpeg', '.json': 'application/json',
};

// A plain static server; a missing file is a 404, which the checks below count as a failure.
function serve(root) {
  const server = http.createServer((request, response) => {
    const relative = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
    const file = path.join(root, path.normalize(relative));
    if (!file.startsWith(root + path.sep) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { 'Content-Type': types[path.extname(file).toLowerCase()] || 'application/octet-stream' });
    fs.createReadStream(file).pipe(response);
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

let server;
let browser;
let base;
let site;

before(async () => {
  assert.ok(program && sourceDir, 'LF_BINARY and LF_SOURCE_DIR must be set');
  const sample = execFileSync(path.join(sourceDir, 'scripts/make-sample.sh'), { encoding: 'utf8' }).trim();
  // Build a copy, so the sample folder's own project file stays as it is.
  fs.rmSync(outRoot, { recursive: true, force: true });
  const pictures = path.join(outRoot, 'Sample');
  fs.cpSync(sample, pictures, { recursive: true });
  const index = execFileSync(program, ['build', pictures], { encoding: 'utf8', stdio: ['ignore', 'pipe', 'ignore'] }).trim();
  site = path.dirname(index);
  assert.equal(index, path.join(outRoot, 'Sample gallery', 'index.html'));
  server = await serve(site);
  base = `http://127.0.0.1:${server.address().port}/`;
  browser = await chromium.launch({
    executablePath: chromiumPath,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
      '--disable-sync', '--no-first-run'],
  });
});

after(async () => {
  await browser?.close();
  await new Promise((resolve) => (server ? server.close(resolve) : resolve()));
});

// Opens a page, makes its lazy pictures load, and returns what went wrong on it.
async function problemsOf(page, relative) {
  const problems = [];
  page.removeAllListeners('requestfailed');
  page.removeAllListeners('response');
  page.on('requestfailed', (request) => problems.push(`failed: ${request.url()}`));
  page.on('response', (response) => {
    if (response.status() >= 400) problems.push(`${response.status()}: ${response.url()}`);
  });
  await page.goto(base + relative, { waitUntil: 'load' });
  const broken = await page.evaluate(async () => {
    const images = [...document.images];
    for (const image of images) image.loading = 'eager';
    const results = await Promise.all(images.map((image) => image.decode().then(() => null, () => image.src)));
    return { count: images.length, broken: results.filter(Boolean) };
  });
  for (const src of broken.broken) problems.push(`undecodable: ${src}`);
  await page.waitForLoadState('networkidle');
  return { problems, images: broken.count };
}

test('every page of the built sample loads all its pictures', async () => {
  const page = await browser.newPage({ viewport: { width: 1200, height: 900 } });
  const pages = ['index.html', ...fs.readdirSync(path.join(site, 'p')).filter((name) => name.endsWith('.html')).map((name) => `p/${name}`)];
  const itemCount = JSON.parse(fs.readFileSync(path.join(site, 'lanternfold-gallery.json'), 'utf8')).count;
  assert.equal(pages.length, itemCount + 1);
  for (const relative of pages) {
    const { problems, images } = await problemsOf(page, relative);
    assert.deepEqual(problems, [], relative);
    if (relative === 'index.html') assert.equal(images, itemCount, 'one thumbnail per item on the index page');
  }
  await page.close();
});

test('the gallery manifest and cover are served', async () => {
  const page = await browser.newPage();
  for (const relative of ['lanternfold-gallery.json', 'cover.jpg']) {
    const response = await page.goto(base + relative);
    assert.equal(response.status(), 200, relative);
  }
  await page.close();
});
