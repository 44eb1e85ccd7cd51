// How the deployed sites answer, set per script through the control port, so that tests can make one
// site slow, failing or silent while the others answer as usual. A behaviour holds for every request
// to that script's sites (its Workers address and its custom host names) whose path contains
// `pathContains` (any path when absent), until it is replaced, cleared or the double is reset.
//
//   {"script": "summer", "behaviour": "slow", "ms": 1000}       answers normally after ms milliseconds
//   {"script": "summer", "behaviour": "failing", "status": 500} answers with that status and a short text
//   {"script": "summer", "behaviour": "silent"}                 never answers; the connection stays open
//   {"script": "summer", "behaviour": "normal"}                 forgets what was set for the script

export const SITE_BEHAVIOURS = ['slow', 'failing', 'silent', 'normal'];

export class SiteBehaviourError extends Error {}

export function makeSiteBehaviour(input) {
  if (!input || typeof input !== 'object') throw new SiteBehaviourError('a site behaviour must be a JSON object');
  if (typeof input.script !== 'string' || input.script === '') throw new SiteBehaviourError('"script" must be a script name');
  if (!SITE_BEHAVIOURS.includes(input.behaviour)) {
    throw new SiteBehaviourError(`"behaviour" must be one of ${SITE_BEHAVIOURS.join(', ')}`);
  }
  if (input.pathContains !== undefined && typeof input.pathContains !== 'string') {
    throw new SiteBehaviourError('"pathContains" must be a string');
  }
  const ms = input.ms === undefined ? 1000 : input.ms;
  if (typeof ms !== 'number' || ms < 0) throw new SiteBehaviourError('"ms" must be a number of milliseconds');
  const status = input.status === undefined ? 500 : input.status;
  if (!Number.isInteger(status) || status < 100 || status > 599) throw new SiteBehaviourError('"status" must be an HTTP status');
  return { script: input.script, behaviour: input.behaviour, pathContains: input.pathContains, ms, status };
}

export class SiteBehaviours {
  constructor() {
    this.byScript = new Map();
  }

  set(behaviour) {
    if (behaviour.behaviour === 'normal') this.byScript.delete(behaviour.script);
    else this.byScript.set(behaviour.script, behaviour);
  }

  clear() {
    this.byScript.clear();
  }

  list() {
    return [...this.byScript.values()];
  }

  // The behaviour for a request to the script's site, or null to answer as usual.
  forRequest(script, pathAndQuery) {
    const behaviour = this.byScript.get(script);
    if (!behaviour) return null;
    if (behaviour.pathContains !== undefined && !pathAndQuery.includes(behaviour.pathContains)) return null;
    return behaviour;
  }
}

// Applies a behaviour before a site answers. Resolves true when the request is answered (or left
// unanswered on purpose) and the site must not serve it; false when the site serves it as usual.
export async function applySiteBehaviour(behaviour, request, response, answer) {
  if (!behaviour) return false;
  switch (behaviour.behaviour) {
    case 'slow':
      await new Promise((resolve) => setTimeout(resolve, behaviour.ms));
      return request.socket.destroyed;
    case 'failing': {
      const text = `The site is failing (HTTP ${behaviour.status}).\n`;
      response.writeHead(behaviour.status, { 'content-type': 'text/plain; charset=utf-8', 'content-length': Buffer.byteLength(text) });
      response.end(text);
      answer(behaviour.status);
      return true;
    }
    case 'silent':
      return true;
    default:
      return false;
  }
}
