// Deployed sites as discovery reads them: every site at its Workers address and at each custom host
// name, the script and domain listings that name them, and sites told to be slow, failing or silent.
import assert from 'node:assert/strict';
import { after, before, beforeEach, test } from 'node:test';

import { ACCOUNT, api, control, deployScript, publish, site, startTwin } from './helpers.mjs';

const T = { timeout: 60000 };
let twin;

before(async () => { twin = await startTwin(); });
after(async () => {
  const { code } = await twin.stop();
  assert.equal(code, 0);
});
beforeEach(async () => {
  await control(twin, 'POST', '/config', {});
  await control(twin, 'POST', '/reset');
});

const MANIFEST = '{"app": "Lanternfold", "kind": "gallery", "title": "Summer", "description": "", "count": 2, "cover": "cover.jpg", "updated": "2026-12-05T09:54:35Z"}\n';

test('a site answers at its Workers address and at every custom host name, and the listings name them', T, async () => {
  await publish(twin, 'summer', { '/index.html': '<h1>Summer</h1>', '/lanternfold-gallery.json': MANIFEST });
  await deployScript(twin, 'plain', { modules: { 'w.js': 'export default { fetch() { return new Response("no assets"); } };' } });
  for (const hostname of ['summer-holidays.example.com', 'sun.example.com']) {
    const attached = await api(twin, 'PUT', `/accounts/${ACCOUNT}/workers/domains`, { json: { hostname, service: 'summer' } });
    assert.equal(attached.status, 200, attached.text);
  }

  for (const host of ['summer.lf-test.workers.dev', 'summer-holidays.example.com', 'sun.example.com']) {
    const reply = await site(twin, host, '/lanternfold-gallery.json?v=1764928475');
    assert.equal(reply.status, 200, host);
    assert.equal(reply.text, MANIFEST, host);
  }

  const scripts = await api(twin, 'GET', `/accounts/${ACCOUNT}/workers/scripts`);
  const listed = Object.fromEntries(scripts.json.result.map((script) => [script.id, script]));
  assert.equal(listed.summer.has_assets, true);
  assert.equal(listed.plain.has_assets, false);
  assert.match(listed.summer.modified_on, /^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{6}Z$/);

  const domains = await api(twin, 'GET', `/accounts/${ACCOUNT}/workers/domains`);
  assert.deepEqual(domains.json.result.map((domain) => [domain.service, domain.hostname]).sort(),
    [['summer', 'summer-holidays.example.com'], ['summer', 'sun.example.com']]);
});

test('a site can be made slow, failing or silent, for some paths or all, and back to normal', T, async () => {
  await publish(twin, 'summer', { '/index.html': '<h1>Summer</h1>', '/lanternfold-gallery.json': MANIFEST });
  await publish(twin, 'winter', { '/index.html': '<h1>Winter</h1>' });
  const host = 'summer.lf-test.workers.dev';

  await control(twin, 'POST', '/sites/behaviour', { script: 'summer', behaviour: 'failing', status: 503, pathContains: '.json' });
  assert.equal((await site(twin, host, '/lanternfold-gallery.json')).status, 503);
  assert.equal((await site(twin, host, '/')).status, 200);
  assert.equal((await site(twin, 'winter.lf-test.workers.dev', '/')).status, 200);

  await control(twin, 'POST', '/sites/behaviour', { script: 'summer', behaviour: 'slow', ms: 600 });
  const started = Date.now();
  const slow = await site(twin, host, '/lanternfold-gallery.json');
  assert.equal(slow.status, 200);
  assert.ok(Date.now() - started >= 600, 'the reply came before the delay was over');

  await control(twin, 'POST', '/sites/behaviour', { script: 'summer', behaviour: 'silent' });
  const silent = site(twin, host, '/');
  const waited = await control(twin, 'GET', `/wait?host=${host}&count=4&timeoutMs=10000`);
  assert.equal(waited.status, 200);
  const listed = await control(twin, 'GET', '/sites/behaviour');
  assert.deepEqual(listed.json.map((behaviour) => [behaviour.script, behaviour.behaviour]), [['summer', 'silent']]);
  // Back to normal: the waiting request stays unanswered, a new one is served.
  await control(twin, 'POST', '/sites/behaviour', { script: 'summer', behaviour: 'normal' });
  assert.equal((await site(twin, host, '/')).status, 200);
  silent.catch(() => {});

  const refused = await control(twin, 'POST', '/sites/behaviour', { script: 'summer', behaviour: 'sleepy' });
  assert.equal(refused.status, 400);
});
