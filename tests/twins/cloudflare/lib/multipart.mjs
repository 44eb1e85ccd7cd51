// A strict reader of multipart/form-data bodies (RFC 7578). The double reads the bytes itself instead of
// using a lenient form parser, so that a client that writes a malformed body is refused, as a real
// server would refuse it, rather than silently understood.

export class MultipartError extends Error {}

export function boundaryOf(contentType) {
  const match = /^\s*multipart\/form-data\s*;(.*)$/i.exec(contentType || '');
  if (!match) return null;
  for (const param of match[1].split(';')) {
    const eq = param.indexOf('=');
    if (eq < 0) continue;
    if (param.slice(0, eq).trim().toLowerCase() !== 'boundary') continue;
    let value = param.slice(eq + 1).trim();
    if (value.startsWith('"') && value.endsWith('"') && value.length >= 2) value = value.slice(1, -1);
    return value || null;
  }
  return null;
}

function parseDisposition(value) {
  const result = {};
  const match = /^\s*form-data\s*(;.*)?$/i.exec(value);
  if (!match) throw new MultipartError(`part has Content-Disposition "${value}" instead of form-data`);
  const rest = match[1] || '';
  const re = /;\s*([A-Za-z*]+)\s*=\s*(?:"([^"]*)"|([^;\s]*))/g;
  let m;
  while ((m = re.exec(rest))) {
    result[m[1].toLowerCase()] = m[2] !== undefined ? m[2] : m[3];
  }
  return result;
}

// Returns [{name, filename, contentType, headers, data: Buffer}] in body order.
export function parseMultipart(body, contentType) {
  const boundary = boundaryOf(contentType);
  if (!boundary) throw new MultipartError('the Content-Type is not multipart/form-data with a boundary');
  const opening = Buffer.from(`--${boundary}`);
  const delimiter = Buffer.from(`\r\n--${boundary}`);
  if (!body.subarray(0, opening.length).equals(opening)) {
    throw new MultipartError('the body does not begin with the boundary');
  }
  const parts = [];
  let position = opening.length;
  for (;;) {
    const after = body.subarray(position, position + 2).toString('latin1');
    if (after === '--') {
      const tail = body.subarray(position + 2).toString('latin1');
      if (tail !== '' && tail !== '\r\n') throw new MultipartError('bytes follow the closing boundary');
      return parts;
    }
    if (after !== '\r\n') throw new MultipartError('a boundary is not followed by a line break');
    position += 2;
    const headerEnd = body.indexOf('\r\n\r\n', position, 'latin1');
    if (headerEnd < 0) throw new MultipartError('a part has no end of headers');
    const headers = {};
    const headerText = body.subarray(position, headerEnd).toString('utf8');
    for (const line of headerText.split('\r\n')) {
      if (line === '') continue;
      const colon = line.indexOf(':');
      if (colon <= 0) throw new MultipartError(`a part has the malformed header line "${line}"`);
      headers[line.slice(0, colon).trim().toLowerCase()] = line.slice(colon + 1).trim();
    }
    const dataStart = headerEnd + 4;
    const dataEnd = body.indexOf(delimiter, dataStart);
    if (dataEnd < 0) throw new MultipartError('the body has no closing boundary');
    const disposition = parseDisposition(headers['content-disposition'] || '');
    if (disposition.name === undefined) throw new MultipartError('a part has no name');
    parts.push({
      name: disposition.name,
      filename: disposition.filename !== undefined ? disposition.filename : null,
      contentType: headers['content-type'] || null,
      headers,
      data: body.subarray(dataStart, dataEnd),
    });
    position = dataEnd + delimiter.length;
  }
}
