// Deployed Workers really run in workerd: bindings, the lock's module layout with run_worker_first,
// the production PBKDF2 limit, ratelimit bindings, failed uploads that keep the old deployment, and sites kept apart.
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

// A small password program in the shape of the real one: it imports its configuration module, reads
// the secret binding, checks a password with PBKDF2 and hands allowed requests to the assets.
const LOCK_CONFIG = 'export const LOCK = {"iterations":100000,"open":["\\/cover.jpg"]};\n';
const LOCK_WORKER = `import { LOCK } from "./lock-config.js";
export default {
  async fetch(request, env) {
    const url = new URL(request.url);
    if (LOCK.open.includes(url.pathname)) return env.ASSETS.fetch(request);
    if (url.pathname === '/pbkdf2') {
      const iterations = Number(url.searchParams.get('iterations'));
      const key = await crypto.subtle.importKey('raw', new TextEncoder().encode('pw'), 'PBKDF2', false, ['deriveBits']);
      try {
        const bits = await crypto.subtle.deriveBits({ name: 'PBKDF2', hash: 'SHA-256', salt: new Uint8Array(16), iterations }, key, 256);
        return new Response('derived ' + bits.byteLength);
      } catch (error) {
        return new Response(error.name + ': ' + error.message, { status: 500 });
      }
    }
    if (request.headers.get('x-key') !== env.LF_SECRET) return new Response('login page', { status: 401 });
    return env.ASSETS.fetch(request);
  }
};
`;

const FILES = { '/index.html': '<h1>Locked</h1>', '/cover.jpg': Buffer.from([0xff, 0xd8, 0xff, 0xd9]) };

async function publishLocked(name) {
  return publish(twin, name, FILES, {
    modules: { 'lanternfold.js': LOCK_WORKER, 'lock-config.js': LOCK_CONFIG },
    bindings: [{ type: 'assets', name: 'ASSETS' }, { type: 'secret_text', name: 'LF_SECRET', text: 'site-key' }],
    config: { html_handling: 'auto-trailing-slash', not_found_handling: 'none', run_worker_first: true },
  });
}

test('a locked site runs its Worker before the assets, with its secret and its configuration module', T, async () => {
  const published = await publishLocked('locked');
  assert.equal(published.deploy.status, 200, published.deploy.text);
  const host = 'locked.lf-test.workers.dev';
  const cases = [
    { path: '/', headers: {}, status: 401, text: 'login page' },
    { path: '/index.html', headers: {}, status: 401, text: 'login page' },
    { path: '/', headers: { 'x-key': 'wrong' }, status: 401 },
    { path: '/', headers: { 'x-key': 'site-key' }, status: 200, text: '<h1>Locked</h1>' },
    { path: '/cover.jpg', headers: {}, status: 200 },
  ];
  for (const c of cases) {
    const reply = await site(twin, host, c.path, { headers: c.headers });
    assert.equal(reply.status, c.status, `${c.path} ${JSON.stringify(c.headers)}`);
    if (c.text) assert.equal(reply.text, c.text);
  }
  const state = (await control(twin, 'GET', '/state')).json.scripts[0];
  assert.deepEqual(state.modules, ['lanternfold.js', 'lock-config.js']);
  assert.equal(state.compatibilityDate, '2025-09-01');
  assert.ok(state.effectiveCompatibilityDate <= '2025-09-01', 'the date is clamped to what workerd knows');
  assert.equal(state.assetsConfig.run_worker_first, true);
});

test('PBKDF2 is limited to 100000 iterations, as on Cloudflare', T, async () => {
  await publishLocked('pbkdf2');
  const host = 'pbkdf2.lf-test.workers.dev';
  const allowed = await site(twin, host, '/pbkdf2?iterations=100000');
  assert.equal(allowed.status, 200);
  assert.equal(allowed.text, 'derived 32');
  const refused = await site(twin, host, '/pbkdf2?iterations=100001');
  assert.equal(refused.status, 500);
  assert.match(refused.text, /^NotSupportedError: .*100000.*100001/);
});

test('a script that does not start is refused and the old deployment keeps serving', T, async () => {
  await publish(twin, 'steady', { '/index.html': 'old page' });
  const broken = await deployScript(twin, 'steady', { modules: { 'lanternfold.js': 'export default {{ syntax error' } });
  assert.equal(broken.status, 400);
  assert.equal(broken.json.success, false);
  assert.equal(broken.json.errors[0].code, 10021);
  assert.equal((await site(twin, 'steady.lf-test.workers.dev', '/')).text, 'old page');

  const refusals = [
    { why: 'a main module that is not uploaded', options: { modules: { 'a.js': 'export default {}' }, mainModule: 'b.js' } },
    { why: 'an unknown binding type', options: { modules: { 'a.js': 'export default {}' }, bindings: [{ type: 'kv_namespace', name: 'KV', namespace_id: 'x' }] } },
    ...[
      { namespace_id: '0', simple: { limit: 10, period: 60 } },
      { namespace_id: 'abc', simple: { limit: 10, period: 60 } },
      { namespace_id: -5, simple: { limit: 10, period: 60 } },
      { simple: { limit: 10, period: 60 } },
      { namespace_id: '1001', simple: { limit: 10, period: 30 } },
      { namespace_id: '1001', simple: { limit: 0, period: 60 } },
      { namespace_id: '1001' },
    ].map((binding) => ({
      why: `a ratelimit binding ${JSON.stringify(binding)}`,
      options: { modules: { 'a.js': 'export default {}' }, bindings: [{ type: 'ratelimit', name: 'LIMIT', ...binding }] },
    })),
    { why: 'an assets binding without assets', options: { modules: { 'a.js': 'export default {}' }, bindings: [{ type: 'assets', name: 'ASSETS' }] } },
    { why: 'a made-up completion token', options: { modules: { 'a.js': 'export default {}' }, assets: { jwt: 'x.y.z' } } },
  ];
  for (const r of refusals) {
    const reply = await deployScript(twin, 'steady', r.options);
    assert.equal(reply.status, 400, r.why);
  }
  assert.equal((await site(twin, 'steady.lf-test.workers.dev', '/')).text, 'old page');
});

test('a ratelimit binding is enforced per key, with the visitor\u2019s address as CF-Connecting-IP', T, async () => {
  const limited = `export default {
  async fetch(request, env) {
    const visitor = request.headers.get('cf-connecting-ip');
    const { success } = await env.LIMIT.limit({ key: visitor });
    return new Response(visitor + ' ' + success, { status: success ? 200 : 429 });
  }
};
`;
  const binding = { type: 'ratelimit', name: 'LIMIT', namespace_id: '1001', simple: { limit: 3, period: 60 } };
  const published = await publish(twin, 'limited', { '/index.html': 'x' }, {
    modules: { 'lanternfold.js': limited },
    bindings: [{ type: 'assets', name: 'ASSETS' }, binding],
    config: { run_worker_first: true },
  });
  assert.equal(published.deploy.status, 200, published.deploy.text);
  // The limit counts in fixed minutes: start early in one, so that all requests fall in it.
  if (60000 - (Date.now() % 60000) < 5000) await new Promise((resolve) => setTimeout(resolve, 60000 - (Date.now() % 60000) + 10));
  const host = 'limited.lf-test.workers.dev';
  const answers = [];
  for (let i = 0; i < 4; i++) {
    const reply = await site(twin, host, '/', { localAddress: '127.0.0.2' });
    answers.push(`${reply.status} ${reply.text}`);
  }
  // A visitor cannot pass for another by sending the header itself.
  const forged = await site(twin, host, '/', { localAddress: '127.0.0.2', headers: { 'cf-connecting-ip': '192.0.2.1' } });
  answers.push(`${forged.status} ${forged.text}`);
  const other = await site(twin, host, '/', { localAddress: '127.0.0.3' });
  answers.push(`${other.status} ${other.text}`);
  assert.deepEqual(answers, [
    '200 127.0.0.2 true', '200 127.0.0.2 true', '200 127.0.0.2 true', '429 127.0.0.2 false', '429 127.0.0.2 false',
    '200 127.0.0.3 true',
  ]);
  const state = (await control(twin, 'GET', '/state')).json.scripts[0];
  assert.deepEqual(state.bindings[1], binding);
});

test('each script serves its own files, and a completion token works only for its own script', T, async () => {
  const one = await publish(twin, 'one', { '/index.html': 'first site', '/only-one.txt': '1' });
  await publish(twin, 'two', { '/index.html': 'second site' });
  assert.equal((await site(twin, 'one.lf-test.workers.dev', '/')).text, 'first site');
  assert.equal((await site(twin, 'two.lf-test.workers.dev', '/')).text, 'second site');
  assert.equal((await site(twin, 'two.lf-test.workers.dev', '/only-one.txt')).status, 404);
  const stolen = await deployScript(twin, 'two', {
    modules: { 'lanternfold.js': 'export default { fetch(r, env) { return env.ASSETS.fetch(r); } };' },
    bindings: [{ type: 'assets', name: 'ASSETS' }],
    assets: { jwt: one.completionToken, config: {} },
  });
  assert.equal(stolen.status, 400);

  // Deleting a script takes its site and domains away.
  await api(twin, 'PUT', `/accounts/${ACCOUNT}/workers/domains`, { json: { hostname: 'one.example.com', service: 'one' } });
  assert.equal((await site(twin, 'one.example.com', '/')).text, 'first site');
  assert.equal((await api(twin, 'DELETE', `/accounts/${ACCOUNT}/workers/scripts/one`)).status, 200);
  assert.equal((await site(twin, 'one.example.com', '/')).status, 404);
  assert.equal((await site(twin, 'one.lf-test.workers.dev', '/')).status, 404);
  assert.deepEqual((await api(twin, 'GET', `/accounts/${ACCOUNT}/workers/domains`)).json.result, []);
});
