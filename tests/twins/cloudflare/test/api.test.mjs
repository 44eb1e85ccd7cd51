// The double's API: tokens, accounts, the subdomain, upload sessions and their checks, deployment,
// addresses, custom domains, listings and fault injection, driven over HTTPS as the program drives it.
import assert from 'node:assert/strict';
import { after, before, beforeEach, describe, test } from 'node:test';

import {
  ACCOUNT, api, assetHash, bucketBody, control, deployScript, manifestOf, multipart, publish, site, siteFiles, startTwin,
} from './helpers.mjs';

const T = { timeout: 60000 };
let twin;

before(async () => { twin = await startTwin(); });
after(async () => {
  const { code } = await twin.stop();
  assert.equal(code, 0, 'the double exits cleanly when its standard input closes');
});
beforeEach(async () => {
  await control(twin, 'POST', '/config', {});
  await control(twin, 'POST', '/reset');
});

const GALLERY = {
  '/index.html': '<!doctype html><h1>Summer</h1><img src="thumbs/a.jpg">\n',
  '/thumbs/a.jpg': Buffer.from([0xff, 0xd8, 0xff, 0xe0, 1, 2, 3, 4, 0xff, 0xd9]),
  '/style.css': 'body { margin: 0 }\n',
  '/lanternfold-gallery.json': '{"kind":"gallery","title":"Summer"}\n',
  '/media/Été à la mer.txt': 'sea\n',
};

describe('tokens and accounts', () => {
  test('every API call checks the bearer token', T, async () => {
    const cases = [
      { token: 'wrong-token', status: 401, code: 10000 },
      { token: null, status: 400, code: 6003 },
      { token: 'test-token', status: 200 },
    ];
    for (const path of ['/accounts?per_page=50', `/accounts/${ACCOUNT}/workers/subdomain`, `/accounts/${ACCOUNT}/workers/scripts`]) {
      for (const c of cases) {
        const reply = await api(twin, 'GET', path, { token: c.token });
        assert.equal(reply.status, c.status, `${path} with ${c.token}`);
        assert.deepEqual(Object.keys(reply.json), ['success', 'errors', 'messages', 'result'].concat(reply.json.result_info ? ['result_info'] : []));
        assert.equal(reply.json.success, c.status === 200);
        if (c.code) assert.equal(reply.json.errors[0].code, c.code);
      }
    }
    const verify = await api(twin, 'GET', '/user/tokens/verify');
    assert.equal(verify.json.result.status, 'active');
  });

  test('accounts, subdomains and unknown accounts follow the configuration', T, async () => {
    const listing = await api(twin, 'GET', '/accounts?per_page=50');
    assert.deepEqual(listing.json.result.map((a) => [a.id, a.name]), [[ACCOUNT, 'Test Account']]);

    await control(twin, 'POST', '/config', {
      tokens: ['other'],
      accounts: [{ id: 'a1', name: 'One' }, { id: 'a2', name: 'Two', subdomain: null }, { id: 7, name: 'Odd' }],
      subdomain: 'shared',
    });
    assert.equal((await api(twin, 'GET', '/accounts')).status, 401, 'the old token is no longer accepted');
    const several = await api(twin, 'GET', '/accounts?per_page=50', { token: 'other' });
    assert.deepEqual(several.json.result.map((a) => a.id), ['a1', 'a2', 7]);
    assert.equal((await api(twin, 'GET', '/accounts/a1/workers/subdomain', { token: 'other' })).json.result.subdomain, 'shared');
    const none = await api(twin, 'GET', '/accounts/a2/workers/subdomain', { token: 'other' });
    assert.equal(none.status, 404);
    assert.equal(none.json.success, false);
    const unknown = await api(twin, 'GET', '/accounts/nope/workers/subdomain', { token: 'other' });
    assert.equal(unknown.status, 403);

    await control(twin, 'POST', '/config', { accounts: [] });
    assert.deepEqual((await api(twin, 'GET', '/accounts?per_page=50')).json.result, []);
  });

  test('unknown paths and methods get v4 refusals', T, async () => {
    const path = await api(twin, 'GET', '/zones/nothing/here');
    assert.equal(path.status, 404);
    assert.equal(path.json.errors[0].code, 7003);
    const method = await api(twin, 'POST', '/accounts');
    assert.equal(method.status, 405);
    assert.equal(method.json.success, false);
  });
});

describe('asset upload and deployment', () => {
  test('a first publish uploads every file, serves the site, and a second uploads nothing', T, async () => {
    const first = await publish(twin, 'summer', GALLERY);
    const hashes = first.entries.map((e) => e.hash);
    assert.deepEqual(first.session.json.result.buckets.flat().sort(), [...new Set(hashes)].sort());
    assert.ok(first.uploads.length >= 1);
    const last = first.uploads.at(-1);
    assert.equal(last.status, 201, 'the last bucket completes the session');
    assert.equal(typeof last.json.result.jwt, 'string');
    for (const reply of first.uploads.slice(0, -1)) assert.equal(reply.json.result.jwt, undefined);
    assert.equal(first.deploy.status, 200, first.deploy.text);
    assert.equal(first.deploy.json.result.has_assets, true);
    assert.deepEqual(first.enable.json.result, { enabled: true, previews_enabled: true });

    const page = await site(twin, 'summer.lf-test.workers.dev', '/');
    assert.equal(page.status, 200);
    assert.equal(page.text, GALLERY['/index.html']);
    assert.match(page.headers['content-type'], /^text\/html/);
    const picture = await site(twin, 'summer.lf-test.workers.dev', '/thumbs/a.jpg');
    assert.deepEqual(picture.body, GALLERY['/thumbs/a.jpg']);
    assert.equal((await site(twin, 'summer.lf-test.workers.dev', '/missing.html')).status, 404);
    const accented = await site(twin, 'summer.lf-test.workers.dev', encodeURI('/media/Été à la mer.txt'));
    assert.equal(accented.text, 'sea\n');

    // The same files again: no bucket, and the upload token is the completion token.
    const second = await publish(twin, 'summer', GALLERY);
    assert.deepEqual(second.session.json.result.buckets, []);
    assert.equal(second.uploads.length, 0);
    assert.equal(second.completionToken, second.session.json.result.jwt);
    assert.equal(second.deploy.status, 200, second.deploy.text);

    // One changed page: only its hash is asked for, also for another script of the account.
    const changed = { ...GALLERY, '/index.html': '<!doctype html><h1>Summer!</h1>\n' };
    const third = await publish(twin, 'winter', changed);
    assert.deepEqual(third.session.json.result.buckets, [[siteFiles(changed).find((e) => e.path === '/index.html').hash]]);
    assert.equal((await site(twin, 'winter.lf-test.workers.dev', '/')).text, changed['/index.html']);
    assert.equal((await site(twin, 'summer.lf-test.workers.dev', '/')).text, GALLERY['/index.html'], 'the other site is unchanged');

    const state = (await control(twin, 'GET', '/state')).json;
    assert.deepEqual(state.scripts.map((s) => s.name).sort(), ['summer', 'winter']);
    const scriptUpload = (await control(twin, 'GET', '/requests')).json.find((r) => r.method === 'PUT' && r.path.endsWith('/workers/scripts/summer'));
    assert.deepEqual(scriptUpload.parts.map((p) => [p.name, p.filename, p.contentType]),
      [['metadata', null, 'application/json'], ['lanternfold.js', 'lanternfold.js', 'application/javascript+module']]);
    assert.equal(JSON.parse(scriptUpload.parts[0].text).main_module, 'lanternfold.js');
    assert.match(scriptUpload.parts[1].text, /env\.ASSETS\.fetch/);
    assert.deepEqual(state.scripts.find((s) => s.name === 'summer').assetPaths, Object.keys(GALLERY).sort());
  });

  test('buckets follow maxBucketFiles and maxBucketBytes and hold each missing hash once', T, async () => {
    const files = { '/a.txt': 'a', '/b.txt': 'b', '/c.txt': 'c', '/d.txt': 'a', '/e.html': 'e', '/big.txt': 'x'.repeat(10), '/f.txt': 'f' };
    const entries = siteFiles(files);
    const open = async () => (await api(twin, 'POST', `/accounts/${ACCOUNT}/workers/scripts/s/assets-upload-session`, { json: manifestOf(entries) })).json.result.buckets;
    await control(twin, 'POST', '/config', { maxBucketFiles: 2 });
    const byCount = await open();
    assert.deepEqual(byCount.map((b) => b.length), [2, 2, 2]);
    assert.equal(new Set(byCount.flat()).size, 6, '/a.txt and /d.txt share one hash');
    await control(twin, 'POST', '/config', { maxBucketBytes: 3 });
    const bySize = await open();
    const sizeOf = new Map(entries.map((e) => [e.hash, e.size]));
    assert.deepEqual(bySize.map((b) => b.map((h) => sizeOf.get(h))), [[1, 1], [10], [1, 1, 1]]);
  });

  test('uploaded parts are checked against the manifest, and a refused upload stores nothing', T, async () => {
    const entries = siteFiles({ '/index.html': '<p>hello</p>', '/notes.txt': '' });
    const session = await api(twin, 'POST', `/accounts/${ACCOUNT}/workers/scripts/checked/assets-upload-session`, { json: manifestOf(entries) });
    const jwt = session.json.result.jwt;
    const [html, txt] = entries;
    assert.equal(txt.hash, assetHash(Buffer.alloc(0), 'txt'));
    const upload = (parts, { token = jwt, query = '?base64=true' } = {}) => {
      const { body, contentType } = multipart(parts);
      return api(twin, 'POST', `/accounts/${ACCOUNT}/workers/assets/upload${query}`, { token, body, contentType });
    };
    const part = (entry, data) => ({ name: entry.hash, filename: entry.hash, contentType: entry.mime, data });
    const cases = [
      { why: 'wrong size', parts: [part(html, Buffer.from('<p>hello</p>!').toString('base64'))], status: 400 },
      { why: 'content that does not match its hash', parts: [part(html, Buffer.from('<p>HELLO</p>').toString('base64'))], status: 400 },
      { why: 'raw bytes instead of Base64', parts: [part(html, '<p>hello</p>')], status: 400 },
      { why: 'Base64 with a line break', parts: [part(html, Buffer.from('<p>hello</p>').toString('base64').replace(/(.{8})/, '$1\r\n'))], status: 400 },
      { why: 'a hash of no file in the session', parts: [{ ...part(html, html.bytes.toString('base64')), name: '0'.repeat(32) }], status: 400 },
      { why: 'one good and one bad part', parts: [part(txt, ''), part(html, 'AAAA')], status: 400 },
      { why: 'the API token instead of the upload token', parts: [part(txt, '')], options: { token: 'test-token' }, status: 401 },
      { why: 'no base64=true', parts: [part(txt, '')], options: { query: '' }, status: 400 },
    ];
    for (const c of cases) {
      const reply = await upload(c.parts, c.options);
      assert.equal(reply.status, c.status, c.why);
      assert.equal(reply.json.success, false, c.why);
    }
    assert.deepEqual((await control(twin, 'GET', '/state')).json.assetHashes, [], 'nothing was stored');

    // A deployment with the upload token is refused while files are missing.
    const early = await deployScript(twin, 'checked', { modules: { 'lanternfold.js': 'export default {fetch(){return new Response("x")}}' }, bindings: [{ type: 'assets', name: 'ASSETS' }], assets: { jwt, config: {} } });
    assert.equal(early.status, 400);

    const partial = await upload([part(txt, '')]);
    assert.equal(partial.status, 200);
    assert.deepEqual(partial.json.result, {});
    const done = await upload([part(html, html.bytes.toString('base64'))]);
    assert.equal(done.status, 201);
    assert.notEqual(done.json.result.jwt, jwt);
  });

  test('production limits: 25 MiB per file and 20,000 files per site', T, async () => {
    const open = (manifest) => api(twin, 'POST', `/accounts/${ACCOUNT}/workers/scripts/limits/assets-upload-session`, { json: { manifest } });
    const hash = 'a'.repeat(32);
    assert.equal((await open({ '/big.mp4': { hash, size: 26214400 } })).status, 200, 'exactly 25 MiB is accepted');
    assert.equal((await open({ '/big.mp4': { hash, size: 26214401 } })).status, 400);
    const many = (count) => Object.fromEntries(Array.from({ length: count }, (_, i) => [`/f${i}.txt`, { hash: i.toString(16).padStart(32, '0'), size: 1 }]));
    assert.equal((await open(many(20000))).status, 200, 'exactly 20,000 files are accepted');
    const tooMany = await open(many(20001));
    assert.equal(tooMany.status, 400);
    assert.match(tooMany.json.errors[0].message, /20001/);
    for (const bad of [{ '/x': { hash: 'ABC', size: 1 } }, { 'x': { hash, size: 1 } }, { '/../x': { hash, size: 1 } }, { '/x': { hash, size: -1 } }]) {
      assert.equal((await open(bad)).status, 400, JSON.stringify(bad));
    }
  });

  test('an empty site still gets a session, and an assets-only deployment serves its files', T, async () => {
    const empty = await api(twin, 'POST', `/accounts/${ACCOUNT}/workers/scripts/empty/assets-upload-session`, { json: { manifest: {} } });
    assert.deepEqual(empty.json.result.buckets, []);

    const entries = siteFiles({ '/index.html': 'home', '/about/index.html': 'about', '/404.html': 'not here' });
    const session = await api(twin, 'POST', `/accounts/${ACCOUNT}/workers/scripts/plain/assets-upload-session`, { json: manifestOf(entries) });
    const { body, contentType } = bucketBody(entries, session.json.result.buckets[0]);
    const done = await api(twin, 'POST', `/accounts/${ACCOUNT}/workers/assets/upload?base64=true`, { token: session.json.result.jwt, body, contentType });
    const deploy = await deployScript(twin, 'plain', { assets: { jwt: done.json.result.jwt, config: { html_handling: 'auto-trailing-slash', not_found_handling: '404-page' } } });
    assert.equal(deploy.status, 200, deploy.text);
    assert.equal((await site(twin, 'plain.lf-test.workers.dev', '/')).status, 404, 'workers.dev is off until enabled');
    await api(twin, 'POST', `/accounts/${ACCOUNT}/workers/scripts/plain/subdomain`, { json: { enabled: true } });
    const host = 'plain.lf-test.workers.dev';
    assert.equal((await site(twin, host, '/about/')).text, 'about');
    const redirect = await site(twin, host, '/about');
    assert.equal(redirect.status, 307);
    assert.equal(redirect.headers.location, '/about/');
    const missing = await site(twin, host, '/nowhere');
    assert.equal(missing.status, 404);
    assert.equal(missing.text, 'not here');
  });
});

describe('addresses, domains and listings', () => {
  test('custom domains need a zone of the account and serve the attached script', T, async () => {
    await publish(twin, 'summer', GALLERY);
    const attach = (json) => api(twin, 'PUT', `/accounts/${ACCOUNT}/workers/domains`, { json });
    const cases = [
      { json: { hostname: 'photos.example.com', service: 'summer', enabled: true, zone_name: 'example.com' }, status: 200 },
      { json: { hostname: 'example.com', service: 'summer', enabled: true }, status: 200 },
      { json: { hostname: 'photos.example.org', service: 'summer', enabled: true }, status: 400, code: 100117 },
      { json: { hostname: 'photos.example.org', service: 'summer', enabled: true, zone_name: 'example.com' }, status: 400, code: 100118 },
      { json: { hostname: 'photos.example.com', service: 'summer', zone_name: 'example.net' }, status: 400, code: 100117 },
      { json: { hostname: 'other.example.com', service: 'no-such-script' }, status: 400, code: 10007 },
    ];
    for (const c of cases) {
      const reply = await attach(c.json);
      assert.equal(reply.status, c.status, JSON.stringify(c.json));
      if (c.code) assert.equal(reply.json.errors[0].code, c.code);
    }
    const page = await site(twin, 'photos.example.com', '/');
    assert.equal(page.text, GALLERY['/index.html']);
    assert.equal((await site(twin, 'unknown.example.com', '/')).status, 404);

    const domains = await api(twin, 'GET', `/accounts/${ACCOUNT}/workers/domains`);
    assert.deepEqual(domains.json.result.map((d) => [d.hostname, d.service, d.zone_name]).sort(),
      [['example.com', 'summer', 'example.com'], ['photos.example.com', 'summer', 'example.com']]);
  });

  test('the script listing gives has_assets and modified_on, and a republish moves modified_on', T, async () => {
    await publish(twin, 'summer', GALLERY);
    const bare = await deployScript(twin, 'bare', { modules: { 'main.js': 'export default { fetch() { return new Response("bare"); } };' } });
    assert.equal(bare.status, 200, bare.text);
    const list = async () => (await api(twin, 'GET', `/accounts/${ACCOUNT}/workers/scripts`)).json.result;
    const before = await list();
    assert.deepEqual(before.map((s) => [s.id, s.has_assets]).sort(), [['bare', false], ['summer', true]]);
    for (const script of before) assert.match(script.modified_on, /^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{6}Z$/);
    await publish(twin, 'summer', GALLERY);
    const after = await list();
    const modified = (scripts) => scripts.find((s) => s.id === 'summer').modified_on;
    assert.ok(modified(after) > modified(before));
  });
});

describe('fault injection and recording', () => {
  test('faults hit the matching requests the given number of times', T, async () => {
    const path = `/accounts/${ACCOUNT}/workers/subdomain`;
    await control(twin, 'POST', '/faults', [
      { method: 'GET', pathContains: '/workers/subdomain', action: 'status', status: 503 },
      { method: 'GET', pathContains: '/workers/subdomain', action: 'fail', errors: [{ code: 10042, message: 'Nope' }] },
      { method: 'GET', pathContains: '/workers/subdomain', action: 'status', status: 403 },
    ]);
    const unavailable = await api(twin, 'GET', path);
    assert.equal(unavailable.status, 503);
    assert.equal(unavailable.json.success, false);
    const failed = await api(twin, 'GET', path);
    assert.equal(failed.status, 200);
    assert.deepEqual(failed.json, { success: false, errors: [{ code: 10042, message: 'Nope' }], messages: [], result: null });
    const forbidden = await api(twin, 'GET', path);
    assert.equal(forbidden.status, 403);
    assert.equal((await api(twin, 'GET', path)).status, 200, 'the queue is used up');
  });

  test('a dropped or cut bucket upload fails in transport and can be repeated', T, async () => {
    const entries = siteFiles({ '/index.html': 'x' });
    const session = await api(twin, 'POST', `/accounts/${ACCOUNT}/workers/scripts/dropped/assets-upload-session`, { json: manifestOf(entries) });
    const { body, contentType } = bucketBody(entries, session.json.result.buckets[0]);
    const send = () => api(twin, 'POST', `/accounts/${ACCOUNT}/workers/assets/upload?base64=true`, { token: session.json.result.jwt, body, contentType });
    await control(twin, 'POST', '/faults', { method: 'POST', pathContains: '/assets/upload', action: 'drop' });
    await assert.rejects(send(), /socket hang up|ECONNRESET/);
    await control(twin, 'POST', '/faults', { method: 'POST', pathContains: '/assets/upload', action: 'cut' });
    await assert.rejects(send(), /aborted|ECONNRESET|terminated|premature/i);
    const retry = await send();
    assert.equal(retry.status, 201);
    const uploads = (await control(twin, 'GET', '/requests')).json.filter((r) => r.kind === 'upload');
    assert.deepEqual(uploads.map((r) => r.fault), ['drop', 'cut', null]);
    assert.deepEqual(uploads.map((r) => r.status), [null, null, 201]);
    assert.equal(uploads[0].parts[0].name, entries[0].hash);
    assert.equal(uploads[0].headers.authorization, `Bearer ${session.json.result.jwt}`);
  });

  test('a hanging request can be waited for and is recorded before it answers', T, async () => {
    await control(twin, 'POST', '/faults', { pathContains: '/accounts', action: 'hang' });
    const pending = api(twin, 'GET', '/accounts').catch((error) => error);
    const waited = await control(twin, 'GET', '/wait?pathContains=/accounts&count=1&timeoutMs=10000');
    assert.equal(waited.status, 200);
    assert.equal(waited.json[0].fault, 'hang');
    const timedOut = await control(twin, 'GET', '/wait?pathContains=/never&timeoutMs=50');
    assert.equal(timedOut.status, 408);
    // Ending the double's connections is left to the reset below; the client gives up here.
    await control(twin, 'POST', '/faults', { pathContains: '/user/tokens/verify', action: 'delay', ms: 50 });
    assert.equal((await api(twin, 'GET', '/user/tokens/verify')).status, 200);
    void pending;
  });

  test('the control API refuses malformed configuration and faults', T, async () => {
    assert.equal((await control(twin, 'POST', '/config', { tokens: 'x' })).status, 400);
    assert.equal((await control(twin, 'POST', '/faults', { action: 'explode' })).status, 400);
    assert.equal((await control(twin, 'GET', '/nothing')).status, 404);
  });
});
