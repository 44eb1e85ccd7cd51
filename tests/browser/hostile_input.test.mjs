// File names, captions and a gallery title made of markup, quotes, "</script>", line breaks, tabs,
// right-to-left marks, combining characters, emoji and bytes that are not UTF-8, built by
// `lanternfold build` and read back from Chromium's DOM: every text arrives exactly as intended and
// none of them adds an element or attribute of its own. A control gallery of plain names built with
// the same settings gives every kind of element and attribute the pages may hold.
//
// Environment: LF_BINARY (the lanternfold program), LF_BROWSER_OUT (a folder for the built sites),
// LF_CHROMIUM.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { chromium } from 'playwright-core';

const program = process.env.LF_BINARY;
const outRoot = path.resolve(process.env.LF_BROWSER_OUT || 'hostile-input-out');
const chromiumPath = process.env.LF_CHROMIUM || '/usr/bin/chromium';

const title = `<i>Trip</i> "&amp;" 'x' </title><script>alert(1)</script>`;
// Names (as bytes) and the typed captions of the hostile gallery; null: no typed caption.
const hostile = [
  { name: '<img src=x onerror=alert(1)>.jpg', caption: '<b onclick="alert(1)">bold</b>' },
  { name: `"quoted" & 'single' =x.jpg`, caption: `say "hi" & 'bye' &amp; &lt;` },
  // A file name cannot hold "/", so "</script>" comes in the caption only.
  { name: '<script>alert(1)<script>.jpg', caption: '</script><script>alert(2)</script><!--' },
  { name: 'tab\there\nand line.jpg', caption: 'line one\nline\ttwo\n\nline three' },
  { name: '\u202Eevil\u202C \u200Fmark.jpg', caption: '\u202Bright-to-left\u202C \u200Emark \u061Cمرحبا' },
  { name: 'e\u0301\u0327 a\u0308\u20DD.jpg', caption: 'Zalgo z\u0351\u0352\u0353 e\u0301' },
  { name: '\u{1F44D}\u{1F3FD} \u{1F1EB}\u{1F1F7} \u{1F468}\u200D\u{1F469}\u200D\u{1F467}.jpg', caption: '\u{1F9D1}\u{1F3FF}\u200D\u{1F680} emoji' },
  { name: Buffer.from([0x63, 0x61, 0x66, 0xE9, 0x20, 0xF0, 0x9F, 0x20, 0x3C, 0x62, 0x3E, 0x2E, 0x6A, 0x70, 0x67]), caption: null },
  { name: 'plain.jpg', caption: null, exifCaption: Buffer.from([0x63, 0x61, 0x66, 0xE9, 0x20, 0x3C, 0x62, 0x3E]) },
];

const utf8 = new TextDecoder();  // replaces broken sequences as the browser does
const nameText = (name) => (Buffer.isBuffer(name) ? utf8.decode(name) : name);
const stem = (name) => nameText(name).replace(/\.jpg$/, '');
const firstLine = (text) => text.split('\n').find((line) => line !== '') ?? '';

let browser;
let sites;

// Writes a folder of small pictures under the given names with a project file, builds it and
// returns the built site's folder.
function buildGallery(folderName, items, galleryTitle) {
  const pictures = path.join(outRoot, folderName);
  fs.mkdirSync(pictures, { recursive: true });
  const source = path.join(outRoot, 'source.jpg');
  const captions = {};
  items.forEach((item, index) => {
    const file = Buffer.concat([Buffer.from(pictures + '/'), Buffer.isBuffer(item.name) ? item.name : Buffer.from(item.name)]);
    fs.copyFileSync(source, file);
    // Distinct dates keep the order by date taken the order of the list.
    const stamp = new Date(Date.UTC(2024, 0, 1 + index));
    fs.utimesSync(file, stamp, stamp);
    if (item.caption !== null) captions[nameText(item.name)] = item.caption;
    if (item.exifCaption) {
      const raw = path.join(outRoot, `caption-${index}.bin`);
      fs.writeFileSync(raw, item.exifCaption);
      execFileSync('exiftool', ['-q', '-overwrite_original', `-ImageDescription<=${raw}`, file.toString('latin1')]);
      fs.utimesSync(file, stamp, stamp);
    }
  });
  const settings = { title: galleryTitle, show_filename: true, captions_on_index: true };
  fs.writeFileSync(path.join(pictures, 'lanternfold.json'),
    JSON.stringify({ app: 'Lanternfold', version: '1.0', settings, captions }));
  const index = execFileSync(program, ['build', pictures], { encoding: 'utf8', stdio: ['ignore', 'pipe', 'inherit'] }).trim();
  return path.dirname(index);
}

before(async () => {
  assert.ok(program, 'LF_BINARY must be set');
  fs.rmSync(outRoot, { recursive: true, force: true });
  fs.mkdirSync(outRoot, { recursive: true });
  execFileSync('vips', ['black', path.join(outRoot, 'source.jpg'), '64', '48', '--bands', '3']);
  const plain = hostile.map((item, index) => ({
    name: `plain-${index}.jpg`,
    caption: item.caption === null ? null : 'plain\ncaption',
    exifCaption: item.exifCaption ? Buffer.from('plain') : undefined,
  }));
  sites = { hostile: buildGallery('Hostile', hostile, title), plain: buildGallery('Plain', plain, 'Plain') };
  browser = await chromium.launch({
    executablePath: chromiumPath,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
      '--disable-sync', '--no-first-run'],
  });
});

after(async () => {
  await browser?.close();
});

// Everything one page's DOM says: the kinds of element and attribute it holds, its texts.
async function readPage(page, file) {
  await page.goto(pathToFileURL(file).href, { waitUntil: 'load' });
  return page.evaluate(() => {
    // The text of a caption as written: text nodes, a line feed for each <br>; anything else is
    // reported by name so that an element of the caption's own shows up.
    const captionText = (figcaption) => {
      let text = '';
      for (const node of figcaption.childNodes) {
        if (node.nodeType === Node.TEXT_NODE) text += node.data;
        else if (node.nodeName === 'BR') text += '\n';
        else if (!(node.nodeName === 'SPAN' && node.className === 'meta')) text += `[${node.nodeName}]`;
      }
      return text;
    };
    const elements = [...document.querySelectorAll('*')];
    return {
      kinds: [...new Set(elements.map((element) => `${element.nodeName}(${element.getAttributeNames().sort().join(',')})`))],
      title: document.title,
      scripts: [...document.scripts].map((script) => script.getAttribute('src')),
      heading: document.querySelector('h1')?.textContent ?? null,
      up: document.querySelector('a.up')?.textContent ?? null,
      alts: [...document.images].map((image) => image.alt),
      caps: [...document.querySelectorAll('.cap')].map((cap) => cap.textContent),
      caption: document.querySelector('figcaption') ? captionText(document.querySelector('figcaption')) : null,
      // The file name is the last part of the meta line but for the download link.
      name: [...(document.querySelector('figcaption .meta')?.childNodes ?? [])]
        .filter((node) => node.nodeType === Node.TEXT_NODE).map((node) => node.data).join('').replace(/^ · | · $/g, ''),
    };
  });
}

async function readSite(page, site) {
  const pages = [];
  for (const name of fs.readdirSync(site).filter((entry) => /^index(-\d+)?\.html$/.test(entry))) {
    pages.push({ file: name, ...(await readPage(page, path.join(site, name))) });
  }
  for (const name of fs.readdirSync(path.join(site, 'p')).filter((entry) => entry.endsWith('.html'))) {
    pages.push({ file: `p/${name}`, item: true, ...(await readPage(page, path.join(site, 'p', name))) });
  }
  return pages;
}

test('hostile names, captions and title come back from the DOM exactly, adding no element or attribute', async () => {
  const page = await browser.newPage();
  const hostilePages = await readSite(page, sites.hostile);
  const plainPages = await readSite(page, sites.plain);
  await page.close();

  const allowed = new Set(plainPages.flatMap((entry) => entry.kinds));
  for (const entry of hostilePages) {
    for (const kind of entry.kinds) assert.ok(allowed.has(kind), `${entry.file}: ${kind} is not an element of the pages`);
    assert.deepEqual(entry.scripts, entry.item ? ['../lanternfold.js'] : [], `${entry.file}: scripts`);
  }

  const expectedCaption = (item) => {
    if (item.caption !== null) return item.caption;
    return item.exifCaption ? item.exifCaption.toString('latin1') : '';
  };
  const itemPages = hostilePages.filter((entry) => entry.item);
  assert.equal(itemPages.length, hostile.length);
  for (const item of hostile) {
    const name = nameText(item.name);
    const found = itemPages.filter((entry) => entry.name === name);
    assert.equal(found.length, 1, `one item page shows the name ${JSON.stringify(name)}: ${JSON.stringify(itemPages.map((entry) => entry.name))}`);
    const [entry] = found;
    const caption = expectedCaption(item);
    assert.equal(entry.caption, caption, `${entry.file}: caption`);
    assert.equal(entry.title, caption ? `${firstLine(caption)} \u2013 ${title}` : title, `${entry.file}: title`);
    assert.equal(entry.up.endsWith(title), true, `${entry.file}: link to the index names the gallery`);
    assert.deepEqual(entry.alts, [caption ? firstLine(caption) : stem(item.name)], `${entry.file}: alt text`);
  }

  const indexPages = hostilePages.filter((entry) => !entry.item);
  for (const entry of indexPages) {
    assert.equal(entry.title, title);
    assert.equal(entry.heading, title);
  }
  const expectedAlts = hostile.map((item) => (expectedCaption(item) ? firstLine(expectedCaption(item)) : stem(item.name)));
  assert.deepEqual(indexPages.flatMap((entry) => entry.alts).sort(), expectedAlts.sort());
  const expectedCaps = hostile.map(expectedCaption).filter(Boolean).map(firstLine);
  assert.deepEqual(indexPages.flatMap((entry) => entry.caps).sort(), expectedCaps.sort());
});

// The home page lists galleries under the titles their sites publish: someone else's text.
test('hostile gallery titles and home texts come back from the home page DOM exactly', async () => {
  const writer = process.env.LF_DEMO_HOME;
  assert.ok(writer, 'LF_DEMO_HOME must name the lf_demo_home program');
  const titles = [title, ...hostile.map((item) => item.caption).filter(Boolean), '\u202Egnp.exe', 'tab\there'];
  const homeTitle = `<h1>"Home"</h1> & 'all' </title>`;
  const description = '<script>alert(1)</script>\nsecond\tline';
  const write = (name, texts, settings) => {
    const description = {
      settings,
      galleries: texts.map((text, index) => ({
        siteName: `site-${index}`, title: text, url: `https://site-${index}.example.workers.dev/`,
        coverURL: `https://site-${index}.example.workers.dev/cover.jpg`, count: index, locked: index % 2 === 1,
      })),
    };
    const file = path.join(outRoot, `${name}.json`);
    fs.writeFileSync(file, JSON.stringify(description));
    return execFileSync(writer, [path.join(outRoot, name), file], { encoding: 'utf8' }).trim();
  };
  const hostileHome = write('home-hostile', titles, { title: homeTitle, description });
  const plainHome = write('home-plain', titles.map((_, index) => `Gallery ${index}`), { title: 'Home', description: 'one\ntwo' });

  const page = await browser.newPage();
  const read = async (file) => {
    await page.goto(pathToFileURL(file).href, { waitUntil: 'load' });
    return page.evaluate(() => {
      const ownText = (element) => [...element.childNodes].map((node) => {
        if (node.nodeType === Node.TEXT_NODE) return node.data;
        if (node.nodeName === 'BR') return '\n';
        return node.nodeName === 'svg' ? '' : `[${node.nodeName}]`;
      }).join('');
      const elements = [...document.querySelectorAll('*')];
      return {
        kinds: [...new Set(elements.map((element) => `${element.nodeName}(${element.getAttributeNames().sort().join(',')})`))],
        scripts: document.scripts.length,
        title: document.title,
        heading: document.querySelector('h1').textContent,
        description: ownText(document.querySelector('.desc')),
        cards: [...document.querySelectorAll('a.gcard h2')].map(ownText),
      };
    });
  };
  const hostileRead = await read(hostileHome);
  const plainRead = await read(plainHome);
  await page.close();

  const allowed = new Set(plainRead.kinds);
  for (const kind of hostileRead.kinds) assert.ok(allowed.has(kind), `${kind} is not an element of the home page`);
  assert.equal(hostileRead.scripts, 0);
  assert.equal(hostileRead.heading, homeTitle);
  assert.equal(hostileRead.title, homeTitle);
  assert.equal(hostileRead.description, description);
  assert.deepEqual(hostileRead.cards, titles);
});
