// Starting the double for a test file and talking to it the way the program does: HTTPS to the real
// host names, routed to the double's port, trusting only the double's CA.
import { spawn } from 'node:child_process';
import { createHash, randomUUID } from 'node:crypto';
import { readFileSync } from 'node:fs';
import http from 'node:http';
import https from 'node:https';
import path from 'node:path';
import { createInterface } from 'node:readline';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
export const TWIN = path.join(here, '..', 'twin.mjs');
export const TOKEN = 'test-token';
export const ACCOUNT = '0123456789abcdef0123456789abcdef';
export const API = '/client/v4';

export async function startTwin() {
  const child = spawn(process.execPath, [TWIN], { stdio: ['pipe', 'pipe', 'pipe'] });
  let stderr = '';
  child.stderr.on('data', (chunk) => { stderr += chunk; });
  const exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve({ code, signal })));
  const line = await new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error(`the double did not start within 30 s:\n${stderr}`)), 30000);
    const lines = createInterface({ input: child.stdout });
    lines.once('line', (text) => { clearTimeout(timer); resolve(text); });
    child.once('exit', (code) => { clearTimeout(timer); reject(new Error(`the double exited with ${code}:\n${stderr}`)); });
  });
  const ready = JSON.parse(line);
  return {
    ...ready,
    ca: readFileSync(ready.caFile),
    child,
    exited,
    stderr: () => stderr,
    // Closing standard input is how a test ends the double.
    async stop() {
      child.stdin.end();
      const timer = setTimeout(() => child.kill('SIGKILL'), 20000);
      const result = await exited;
      clearTimeout(timer);
      return result;
    },
  };
}

// One HTTPS request to `host` through the double's port. Resolves with {status, headers, body: Buffer,
// text, json} or rejects on a transport failure. localAddress (another loopback address such as
// 127.0.0.2) makes the request come from another visitor.
export function httpsRequest(twin, { host, method = 'GET', path: requestPath = '/', headers = {}, body, localAddress }) {
  return new Promise((resolve, reject) => {
    const request = https.request({
      host: '127.0.0.1',
      port: twin.httpsPort,
      ...(localAddress ? { localAddress } : {}),
      servername: host,
      ca: twin.ca,
      method,
      path: requestPath,
      headers: { host, ...headers, ...(body !== undefined ? { 'content-length': Buffer.byteLength(body) } : {}) },
      agent: false,
      timeout: 30000,
    }, (response) => {
      const chunks = [];
      response.on('data', (chunk) => chunks.push(chunk));
      response.on('end', () => {
        const content = Buffer.concat(chunks);
        let json;
        try { json = JSON.parse(content.toString('utf8')); } catch { json = undefined; }
        resolve({ status: response.statusCode, headers: response.headers, body: content, text: content.toString('utf8'), json });
      });
      response.on('error', reject);
      response.on('aborted', () => reject(new Error('response aborted')));
    });
    request.on('timeout', () => request.destroy(new Error('request timed out')));
    request.on('error', reject);
    request.end(body);
  });
}

// A Cloudflare API call as the program makes it.
export function api(twin, method, apiPath, { token = TOKEN, json, body, contentType } = {}) {
  const headers = {};
  if (token !== null) headers.authorization = `Bearer ${token}`;
  let payload;
  if (json !== undefined) {
    payload = JSON.stringify(json);
    headers['content-type'] = 'application/json';
  } else if (body !== undefined) {
    payload = body;
    headers['content-type'] = contentType;
  }
  return httpsRequest(twin, { host: 'api.cloudflare.com', method, path: API + apiPath, headers, body: payload });
}

export function site(twin, host, sitePath = '/', options = {}) {
  return httpsRequest(twin, { host, path: sitePath, ...options });
}

export function control(twin, method, controlPath, json) {
  return new Promise((resolve, reject) => {
    const payload = json === undefined ? undefined : JSON.stringify(json);
    const request = http.request({
      host: '127.0.0.1', port: twin.controlPort, method, path: controlPath, agent: false,
      headers: payload === undefined ? {} : { 'content-type': 'application/json', 'content-length': Buffer.byteLength(payload) },
    }, (response) => {
      const chunks = [];
      response.on('data', (chunk) => chunks.push(chunk));
      response.on('end', () => resolve({ status: response.statusCode, json: JSON.parse(Buffer.concat(chunks).toString('utf8')) }));
    });
    request.on('error', reject);
    request.end(payload);
  });
}

// The program's asset hash: SHA-256 over the Base64 text followed by the extension, first 32 hex digits.
export function assetHash(bytes, extension) {
  return createHash('sha256').update(Buffer.from(bytes).toString('base64') + extension, 'utf8').digest('hex').slice(0, 32);
}

// A multipart/form-data body laid out byte for byte as the program builds it.
export function multipart(parts) {
  const boundary = `Lanternfold-${randomUUID().toUpperCase()}`;
  const chunks = [];
  for (const part of parts) {
    let head = `--${boundary}\r\nContent-Disposition: form-data; name="${part.name}"`;
    if (part.filename) head += `; filename="${part.filename}"`;
    head += `\r\nContent-Type: ${part.contentType}\r\n\r\n`;
    chunks.push(Buffer.from(head), Buffer.from(part.data), Buffer.from('\r\n'));
  }
  chunks.push(Buffer.from(`--${boundary}--\r\n`));
  return { body: Buffer.concat(chunks), contentType: `multipart/form-data; boundary=${boundary}` };
}

export const DEFAULT_WORKER_SCRIPT = 'export default {\n  async fetch(request, env) {\n    return env.ASSETS.fetch(request);\n  }\n};\n';

const MIME = { html: 'text/html; charset=utf-8', css: 'text/css; charset=utf-8', js: 'text/javascript; charset=utf-8', json: 'application/json; charset=utf-8', txt: 'text/plain; charset=utf-8', jpg: 'image/jpeg' };

// files: {"/index.html": "text" | Buffer}. Returns entries with path, bytes, extension, hash, size, mime.
export function siteFiles(files) {
  return Object.entries(files).sort(([a], [b]) => (a < b ? -1 : a > b ? 1 : 0)).map(([filePath, content]) => {
    const bytes = Buffer.from(content);
    const name = filePath.slice(filePath.lastIndexOf('/') + 1);
    const extension = name.includes('.') ? name.slice(name.lastIndexOf('.') + 1) : '';
    return { path: filePath, bytes, extension, hash: assetHash(bytes, extension), size: bytes.length, mime: MIME[extension.toLowerCase()] || 'application/octet-stream' };
  });
}

export function manifestOf(entries) {
  return { manifest: Object.fromEntries(entries.map((entry) => [entry.path, { hash: entry.hash, size: entry.size }])) };
}

export function bucketBody(entries, hashes) {
  const byHash = new Map(entries.map((entry) => [entry.hash, entry]));
  return multipart(hashes.filter((hash) => byHash.has(hash)).map((hash) => ({
    name: hash, filename: hash, contentType: byHash.get(hash).mime, data: byHash.get(hash).bytes.toString('base64'),
  })));
}

// The program's publish, step by step: session, buckets, script, workers.dev address.
// Returns {session, uploads (replies), deploy (reply), completionToken}.
export async function publish(twin, name, files, { modules, bindings, config, account = ACCOUNT } = {}) {
  const entries = siteFiles(files);
  const session = await api(twin, 'POST', `/accounts/${account}/workers/scripts/${name}/assets-upload-session`, { json: manifestOf(entries) });
  if (session.status !== 200) throw new Error(`session refused: ${session.text}`);
  let token = session.json.result.jwt;
  const uploads = [];
  for (const bucket of session.json.result.buckets) {
    const { body, contentType } = bucketBody(entries, bucket);
    const reply = await api(twin, 'POST', `/accounts/${account}/workers/assets/upload?base64=true`, { token, body, contentType });
    uploads.push(reply);
    if (reply.json?.success === false) throw new Error(`upload refused: ${reply.text}`);
    if (typeof reply.json?.result?.jwt === 'string') token = reply.json.result.jwt;
  }
  const deploy = await deployScript(twin, name, {
    modules: modules || { 'lanternfold.js': DEFAULT_WORKER_SCRIPT },
    bindings: bindings || [{ type: 'assets', name: 'ASSETS' }],
    assets: { jwt: token, config: config || { html_handling: 'auto-trailing-slash', not_found_handling: 'none' } },
    account,
  });
  const enable = await api(twin, 'POST', `/accounts/${account}/workers/scripts/${name}/subdomain`, { json: { enabled: true } });
  return { entries, session, uploads, deploy, enable, completionToken: token };
}

export function deployScript(twin, name, { modules = {}, mainModule, bindings = [], assets, account = ACCOUNT, compatibilityDate = '2025-09-01', extraMetadata = {} }) {
  const names = Object.keys(modules);
  const metadata = { ...(names.length ? { main_module: mainModule || names[0] } : {}), compatibility_date: compatibilityDate, bindings, ...(assets ? { assets } : {}), ...extraMetadata };
  const { body, contentType } = multipart([
    { name: 'metadata', contentType: 'application/json', data: JSON.stringify(metadata) },
    ...names.map((moduleName) => ({ name: moduleName, filename: moduleName, contentType: 'application/javascript+module', data: modules[moduleName] })),
  ]);
  return api(twin, 'PUT', `/accounts/${account}/workers/scripts/${name}`, { body, contentType });
}
