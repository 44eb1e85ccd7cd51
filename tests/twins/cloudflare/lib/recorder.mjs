// What the double remembers about the traffic it saw (for assertions) and the faults a test asked for.
import { boundaryOf, parseMultipart } from './multipart.mjs';

const TEXT_LIMIT = 64 * 1024;

function isTextType(contentType) {
  const type = (contentType || '').split(';')[0].trim().toLowerCase();
  return type === 'application/json' || type.startsWith('text/') || type.includes('javascript');
}

function describeParts(body, contentType) {
  if (!boundaryOf(contentType)) return undefined;
  try {
    return parseMultipart(body, contentType).map((part) => ({
      name: part.name,
      filename: part.filename,
      contentType: part.contentType,
      size: part.data.length,
      text: isTextType(part.contentType) && part.data.length <= TEXT_LIMIT ? part.data.toString('utf8') : null,
    }));
  } catch (error) {
    return { error: error.message };
  }
}

export class Recorder {
  constructor() {
    this.requests = [];
    this.waiters = new Set();
    this.sequence = 0;
  }

  add({ kind, method, host, url, headers, body }) {
    const contentType = headers['content-type'] || null;
    const record = {
      seq: ++this.sequence,
      time: new Date().toISOString(),
      kind,
      method,
      host,
      path: url.pathname,
      query: Object.fromEntries(url.searchParams),
      headers,
      contentType,
      bodyLength: body.length,
      body: body.length > 0 && body.length <= TEXT_LIMIT && (isTextType(contentType) || contentType === null)
        ? body.toString('utf8') : null,
      status: null,
      fault: null,
    };
    const parts = describeParts(body, contentType);
    if (parts !== undefined) record.parts = parts;
    this.requests.push(record);
    this.notify();
    return record;
  }

  clear() {
    this.requests = [];
    this.notify();
  }

  notify() {
    for (const waiter of this.waiters) waiter();
  }

  // Resolves with the matching records once there are `count` of them, or null after `timeoutMs`.
  waitFor(matches, count, timeoutMs) {
    return new Promise((resolve) => {
      const check = () => {
        const found = this.requests.filter(matches);
        if (found.length >= count) {
          finish(found);
        }
      };
      const finish = (value) => {
        clearTimeout(timer);
        this.waiters.delete(check);
        resolve(value);
      };
      const timer = setTimeout(() => finish(null), timeoutMs);
      this.waiters.add(check);
      check();
    });
  }
}

export const FAULT_ACTIONS = ['drop', 'cut', 'status', 'fail', 'delay', 'hang'];

export class FaultError extends Error {}

export function makeFault(input) {
  if (!input || typeof input !== 'object') throw new FaultError('a fault must be a JSON object');
  if (!FAULT_ACTIONS.includes(input.action)) throw new FaultError(`"action" must be one of ${FAULT_ACTIONS.join(', ')}`);
  for (const key of ['method', 'pathContains', 'host']) {
    if (input[key] !== undefined && typeof input[key] !== 'string') throw new FaultError(`"${key}" must be a string`);
  }
  const times = input.times === undefined ? 1 : input.times;
  if (!Number.isInteger(times) || times < 1) throw new FaultError('"times" must be a positive integer');
  const status = input.status === undefined ? 503 : input.status;
  if (!Number.isInteger(status) || status < 100 || status > 599) throw new FaultError('"status" must be an HTTP status');
  if (input.errors !== undefined && !Array.isArray(input.errors)) throw new FaultError('"errors" must be an array');
  const ms = input.ms === undefined ? 0 : input.ms;
  if (typeof ms !== 'number' || ms < 0) throw new FaultError('"ms" must be a number of milliseconds');
  const defaultErrors = status === 401 || status === 403
    ? [{ code: 10000, message: 'Authentication error' }]
    : input.action === 'fail'
      ? [{ code: 10000, message: 'Internal error' }]
      : [{ code: 10013, message: 'Service unavailable' }];
  return {
    method: input.method ? input.method.toUpperCase() : undefined,
    pathContains: input.pathContains,
    host: input.host ? input.host.toLowerCase() : undefined,
    action: input.action,
    status,
    errors: input.errors || defaultErrors,
    times,
    ms,
  };
}

export class Faults {
  constructor() {
    this.queue = [];
  }

  add(fault) {
    this.queue.push(fault);
  }

  clear() {
    this.queue = [];
  }

  // Takes one hit of the first queued fault that matches the request, or returns null.
  take({ method, host, pathAndQuery }) {
    const index = this.queue.findIndex((fault) => (!fault.method || fault.method === method)
      && (!fault.host || fault.host === host)
      && (fault.pathContains === undefined || pathAndQuery.includes(fault.pathContains)));
    if (index < 0) return null;
    const fault = this.queue[index];
    fault.times -= 1;
    if (fault.times <= 0) this.queue.splice(index, 1);
    return fault;
  }
}
