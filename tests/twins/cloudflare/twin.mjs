#!/usr/bin/env node
// The Cloudflare double: one HTTPS port for the API host and every deployed site, one plain HTTP control
// port for tests. See README.md for the interface.
//
//   node twin.mjs [--state-dir DIR] [--ignore-stdin]
//
// Prints {"httpsPort", "controlPort", "caFile", "spkiHash"} as one line on standard output when ready, and exits
// when standard input closes.
import { mkdtemp, mkdir, rm } from 'node:fs/promises';
import http from 'node:http';
import https from 'node:https';
import os from 'node:os';
import path from 'node:path';

import { CertificateAuthority } from './lib/certificates.mjs';
import { ApiError, CloudflareDouble, errorEnvelope } from './lib/cloudflare-api.mjs';
import { ConfigError, defaultConfig, makeConfig } from './lib/config.mjs';
import { FaultError, Faults, makeFault, Recorder } from './lib/recorder.mjs';
import { applySiteBehaviour, makeSiteBehaviour, SiteBehaviourError, SiteBehaviours } from './lib/site-behaviour.mjs';
import { Watchdog } from './lib/watchdog.mjs';

// A bucket of files near the 25 MiB limit, in Base64, must fit.
const MAX_BODY = 512 * 1024 * 1024;

function log(message) {
  process.stderr.write(`[cloudflare double] ${message}\n`);
}

function parseArguments(argv) {
  const options = { stateDir: null, ignoreStdin: false };
  for (let i = 0; i < argv.length; i++) {
    if (argv[i] === '--state-dir' && i + 1 < argv.length) {
      options.stateDir = path.resolve(argv[++i]);
    } else if (argv[i] === '--ignore-stdin') {
      options.ignoreStdin = true;
    } else {
      process.stderr.write('usage: node twin.mjs [--state-dir DIR] [--ignore-stdin]\n');
      process.exit(2);
    }
  }
  return options;
}

function readBody(request) {
  return new Promise((resolve, reject) => {
    const chunks = [];
    let length = 0;
    request.on('data', (chunk) => {
      length += chunk.length;
      if (length > MAX_BODY) {
        reject(new Error('request body too large'));
        request.destroy();
        return;
      }
      chunks.push(chunk);
    });
    request.on('end', () => resolve(Buffer.concat(chunks)));
    request.on('error', reject);
  });
}

function sendJson(response, status, value) {
  const text = JSON.stringify(value);
  response.writeHead(status, {
    'content-type': 'application/json; charset=utf-8',
    'content-length': Buffer.byteLength(text),
  });
  response.end(text);
}

function hostOf(request) {
  const raw = String(request.headers.host || request.socket.servername || '').toLowerCase();
  // "[::1]:443" keeps its brackets off; "name:443" loses the port.
  if (raw.startsWith('[')) return raw.slice(1, raw.indexOf(']'));
  return raw.replace(/:\d+$/, '').replace(/\.$/, '');
}

const HOP_BY_HOP = new Set(['connection', 'keep-alive', 'transfer-encoding', 'upgrade', 'proxy-connection', 'te', 'trailer', 'host']);

class Twin {
  constructor(options) {
    this.options = options;
    this.config = defaultConfig();
    this.recorder = new Recorder();
    this.faults = new Faults();
    this.siteBehaviours = new SiteBehaviours();
    this.sockets = new Set();
    this.stopping = null;
  }

  async start() {
    if (this.options.stateDir) {
      this.stateDir = this.options.stateDir;
      await mkdir(this.stateDir, { recursive: true });
      this.temporary = false;
    } else {
      this.stateDir = await mkdtemp(path.join(os.tmpdir(), 'lanternfold-cf-double-'));
      this.temporary = true;
    }
    this.ca = new CertificateAuthority(path.join(this.stateDir, 'ca'));
    await this.ca.create();
    this.watchdog = new Watchdog();
    this.cloudflare = new CloudflareDouble({
      stateDir: this.stateDir, config: this.config, log, onRuntimeStarted: () => this.watchdog.noteRuntimes(),
    });
    await this.cloudflare.init();

    this.https = https.createServer({
      SNICallback: this.ca.sniCallback(),
      ...this.ca.defaultCertificate,
      requestTimeout: 0,
    }, (request, response) => this.guard(this.serveHttps(request, response), response));
    this.control = http.createServer((request, response) => this.guard(this.serveControl(request, response), response));
    for (const server of [this.https, this.control]) {
      server.on('connection', (socket) => {
        this.sockets.add(socket);
        socket.on('close', () => this.sockets.delete(socket));
      });
    }
    // Both ports listen on loopback only.
    await new Promise((resolve) => this.https.listen(0, '127.0.0.1', resolve));
    await new Promise((resolve) => this.control.listen(0, '127.0.0.1', resolve));
    return {
      httpsPort: this.https.address().port,
      controlPort: this.control.address().port,
      caFile: this.ca.caFile,
      spkiHash: this.ca.spkiHash,
    };
  }

  // A failure while answering one request ends that request, never the double.
  guard(promise, response) {
    promise.catch((error) => {
      log(`internal error: ${error.stack || error}`);
      if (!response.headersSent) {
        sendJson(response, 500, errorEnvelope([{ code: 10002, message: `Internal error in the double: ${error.message}` }]));
      } else {
        response.destroy();
      }
    });
  }

  // ---- HTTPS: the API and the sites --------------------------------------------------------------

  async serveHttps(request, response) {
    const host = hostOf(request);
    const url = new URL(request.url, `https://${host || 'localhost'}`);
    let body;
    try {
      body = await readBody(request);
    } catch {
      request.socket.destroy();
      return;
    }
    const isApi = host === this.config.apiHost;
    const kind = !isApi ? 'site' : /\/workers\/assets\/upload$/.test(url.pathname) ? 'upload' : 'api';
    const headers = { ...request.headers };
    const record = this.recorder.add({ kind, method: request.method, host, url, headers, body });
    const answer = (status) => { record.status = status; this.recorder.notify(); };

    const fault = this.faults.take({ method: request.method, host, pathAndQuery: request.url });
    if (fault) {
      record.fault = fault.action;
      log(`fault "${fault.action}" on ${request.method} ${host}${request.url}`);
      switch (fault.action) {
        case 'drop':
          request.socket.destroy();
          return;
        case 'cut':
          // A reply that promises more than it sends: the client sees the connection die mid-transfer.
          request.socket.end('HTTP/1.1 200 OK\r\ncontent-type: application/json\r\ncontent-length: 1000\r\n\r\n{"success":');
          return;
        case 'hang':
          return;
        case 'status':
          sendJson(response, fault.status, errorEnvelope(fault.errors));
          answer(fault.status);
          return;
        case 'fail':
          sendJson(response, 200, errorEnvelope(fault.errors));
          answer(200);
          return;
        case 'delay':
          await new Promise((resolve) => setTimeout(resolve, fault.ms));
          if (request.socket.destroyed) return;
          break;
        default:
          break;
      }
    }

    if (isApi) {
      await this.serveApi(request, response, url, body, answer);
    } else {
      await this.serveSite(request, response, host, url, body, answer);
    }
  }

  async serveApi(request, response, url, body, answer) {
    const prefix = '/client/v4';
    let status;
    let envelopeBody;
    try {
      if (url.pathname !== prefix && !url.pathname.startsWith(prefix + '/')) {
        throw new ApiError(404, 7003, `Could not route to ${url.pathname}, perhaps your object identifier is invalid?`);
      }
      const reply = await this.cloudflare.handle({
        method: request.method,
        path: url.pathname.slice(prefix.length) || '/',
        query: url.searchParams,
        headers: request.headers,
        body,
      });
      status = reply.status;
      envelopeBody = reply.body;
    } catch (error) {
      if (error instanceof ApiError) {
        status = error.status;
        const entry = { code: error.code, message: error.message };
        if (error.chain) entry.error_chain = error.chain;
        envelopeBody = errorEnvelope([entry]);
      } else {
        log(`internal error: ${error.stack || error}`);
        status = 500;
        envelopeBody = errorEnvelope([{ code: 10002, message: `Internal error in the double: ${error.message}` }]);
      }
    }
    if (request.socket.destroyed) return;
    sendJson(response, status, envelopeBody);
    answer(status);
  }

  async serveSite(request, response, host, url, body, answer) {
    const script = this.cloudflare.scriptForHost(host);
    if (!script) {
      const text = 'There is nothing here yet.\n';
      response.writeHead(404, { 'content-type': 'text/plain; charset=utf-8', 'content-length': Buffer.byteLength(text) });
      response.end(text);
      answer(404);
      return;
    }
    const behaviour = this.siteBehaviours.forRequest(script.name, url.pathname + url.search);
    if (await applySiteBehaviour(behaviour, request, response, answer)) return;
    const headers = new Headers();
    for (const [name, value] of Object.entries(request.headers)) {
      if (HOP_BY_HOP.has(name) || name === 'accept-encoding' || name.startsWith(':')) continue;
      for (const v of Array.isArray(value) ? value : [value]) headers.append(name, v);
    }
    headers.set('cf-connecting-ip', request.socket.remoteAddress || '127.0.0.1');
    headers.set('x-forwarded-proto', 'https');
    let reply;
    try {
      reply = await script.mf.dispatchFetch(url.href, {
        method: request.method,
        headers,
        body: request.method === 'GET' || request.method === 'HEAD' ? undefined : body,
        redirect: 'manual',
      });
    } catch (error) {
      log(`site ${host} failed: ${error.message}`);
      if (!response.headersSent) {
        const text = 'Worker threw an exception.\n';
        response.writeHead(500, { 'content-type': 'text/plain; charset=utf-8', 'content-length': Buffer.byteLength(text) });
        response.end(text);
      }
      answer(500);
      return;
    }
    const content = Buffer.from(await reply.arrayBuffer());
    const outHeaders = [];
    for (const [name, value] of reply.headers) {
      // The body was decoded by fetch and is sent whole, so its encoding and length are set afresh.
      if (HOP_BY_HOP.has(name) || name === 'content-encoding' || name === 'content-length' || name === 'set-cookie') continue;
      outHeaders.push(name, value);
    }
    for (const cookie of reply.headers.getSetCookie()) outHeaders.push('set-cookie', cookie);
    outHeaders.push('content-length', String(content.length));
    if (request.socket.destroyed) return;
    response.writeHead(reply.status, outHeaders);
    response.end(request.method === 'HEAD' ? undefined : content);
    answer(reply.status);
  }

  // ---- control -----------------------------------------------------------------------------------

  async serveControl(request, response) {
    const url = new URL(request.url, 'http://127.0.0.1');
    let input;
    try {
      const body = await readBody(request);
      input = body.length > 0 ? JSON.parse(body.toString('utf8')) : undefined;
    } catch (error) {
      sendJson(response, 400, { error: `the body is not JSON: ${error.message}` });
      return;
    }
    const route = `${request.method} ${url.pathname}`;
    try {
      switch (route) {
        case 'POST /config':
          this.config = makeConfig(input || {});
          this.cloudflare.config = this.config;
          sendJson(response, 200, this.config);
          return;
        case 'GET /config':
          sendJson(response, 200, this.config);
          return;
        case 'GET /requests':
          sendJson(response, 200, this.recorder.requests);
          return;
        case 'POST /requests/clear':
          this.recorder.clear();
          sendJson(response, 200, { ok: true });
          return;
        case 'GET /wait': {
          const method = url.searchParams.get('method');
          const host = url.searchParams.get('host');
          const pathContains = url.searchParams.get('pathContains');
          const count = parseInt(url.searchParams.get('count') || '1', 10);
          const timeoutMs = parseInt(url.searchParams.get('timeoutMs') || '10000', 10);
          const found = await this.recorder.waitFor((record) => (!method || record.method === method.toUpperCase())
            && (!host || record.host === host.toLowerCase())
            && (!pathContains || (record.path + '?' + new URLSearchParams(record.query)).includes(pathContains)),
          count, timeoutMs);
          sendJson(response, found ? 200 : 408, found || { error: `fewer than ${count} matching requests after ${timeoutMs} ms` });
          return;
        }
        case 'POST /faults': {
          const faults = (Array.isArray(input) ? input : [input]).map(makeFault);
          for (const fault of faults) this.faults.add(fault);
          sendJson(response, 200, this.faults.queue);
          return;
        }
        case 'GET /faults':
          sendJson(response, 200, this.faults.queue);
          return;
        case 'POST /faults/clear':
          this.faults.clear();
          sendJson(response, 200, { ok: true });
          return;
        case 'POST /sites/behaviour': {
          const behaviours = (Array.isArray(input) ? input : [input]).map(makeSiteBehaviour);
          for (const behaviour of behaviours) this.siteBehaviours.set(behaviour);
          sendJson(response, 200, this.siteBehaviours.list());
          return;
        }
        case 'GET /sites/behaviour':
          sendJson(response, 200, this.siteBehaviours.list());
          return;
        case 'POST /sites/behaviour/clear':
          this.siteBehaviours.clear();
          sendJson(response, 200, { ok: true });
          return;
        case 'GET /state':
          sendJson(response, 200, this.cloudflare.state());
          return;
        case 'POST /reset':
          this.faults.clear();
          this.siteBehaviours.clear();
          await this.cloudflare.reset();
          this.recorder.clear();
          sendJson(response, 200, { ok: true });
          return;
        case 'POST /shutdown':
          sendJson(response, 200, { ok: true });
          response.on('finish', () => this.stop(0));
          return;
        default:
          sendJson(response, 404, { error: `no control route ${route}` });
      }
    } catch (error) {
      const known = error instanceof ConfigError || error instanceof FaultError || error instanceof SiteBehaviourError;
      sendJson(response, known ? 400 : 500, { error: error.message });
    }
  }

  stop(code) {
    if (this.stopping) return this.stopping;
    this.stopping = (async () => {
      log('stopping');
      this.https?.close();
      this.control?.close();
      for (const socket of this.sockets) socket.destroy();
      // Every workerd must be gone before the double exits, so that a test run leaves nothing behind.
      const timeout = new Promise((resolve) => setTimeout(resolve, 10000).unref());
      await Promise.race([this.cloudflare?.dispose(), timeout]);
      this.watchdog?.release();
      if (this.temporary && this.stateDir) await rm(this.stateDir, { recursive: true, force: true }).catch(() => {});
      process.exit(code);
    })();
    return this.stopping;
  }
}

// The double serves many tests in a row; an unexpected error is reported, not fatal.
process.on('uncaughtException', (error) => log(`uncaught: ${error.stack || error}`));
process.on('unhandledRejection', (error) => log(`unhandled: ${error?.stack || error}`));

const options = parseArguments(process.argv.slice(2));
const twin = new Twin(options);
for (const signal of ['SIGTERM', 'SIGINT', 'SIGHUP']) process.on(signal, () => twin.stop(0));
if (!options.ignoreStdin) {
  process.stdin.on('end', () => twin.stop(0));
  process.stdin.on('close', () => twin.stop(0));
  process.stdin.on('error', () => twin.stop(0));
  process.stdin.resume();
}
try {
  const ready = await twin.start();
  process.stdout.write(JSON.stringify(ready) + '\n');
  log(`ready: HTTPS on 127.0.0.1:${ready.httpsPort}, control on 127.0.0.1:${ready.controlPort}`);
} catch (error) {
  log(`could not start: ${error.stack || error}`);
  await twin.stop(1);
}
