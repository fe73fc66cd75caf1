// Reads every StationXML document the C++ tests kept (see
// tests/support/stationxml.h, KALVYNEX_STATIONXML_DIR) with seisplotjs's
// parser and compares what it finds with what the tests' own reader found:
// every network, station and channel, and of each pole-zero channel the
// sensitivity, normalisation factor, zeros and poles (relative 1e-9).
//
//   node tests/js/read_stationxml.mjs DIR [MIN_DOCUMENTS]
import { readdirSync, readFileSync } from "node:fs";
import { join } from "node:path";
import { DOMParser } from "@xmldom/xmldom";
import { seisplotjs } from "./seisplotjs_node.mjs";

const { stationxml } = seisplotjs;

const [dir, minimum = "1"] = process.argv.slice(2);
if (!dir) {
  console.error("usage: read_stationxml.mjs DIR [MIN_DOCUMENTS]");
  process.exit(2);
}

const failures = [];
let documents = 0;
let channels = 0;
let poleZeroChannels = 0;

function close(theirs, ours, what) {
  // null: the tests' reader found no finite number there.
  if (ours === null) {
    if (Number.isFinite(theirs)) failures.push(`${what}: ${theirs}, expected not finite`);
    return;
  }
  const scale = Math.max(Math.abs(ours), Number.MIN_VALUE);
  if (!(Math.abs(theirs - ours) <= 1e-9 * scale)) failures.push(`${what}: ${theirs} != ${ours}`);
}

function part(c, name) {
  return typeof c[name] === "function" ? c[name]() : c[name];
}

function compareRoots(theirs, ours, what) {
  if (theirs.length !== ours.length) {
    failures.push(`${what}: ${theirs.length} roots, expected ${ours.length}`);
    return;
  }
  ours.forEach(([re, im], i) => {
    close(part(theirs[i], "real"), re, `${what}[${i}].real`);
    close(part(theirs[i], "imag"), im, `${what}[${i}].imag`);
  });
}

for (const name of readdirSync(dir).filter((n) => n.endsWith(".xml")).sort()) {
  const path = join(dir, name);
  const expected = JSON.parse(readFileSync(path.replace(/\.xml$/, ".json"), "utf8"));
  let networks;
  try {
    const xml = new DOMParser().parseFromString(readFileSync(path, "utf8"), "text/xml");
    networks = stationxml.parseStationXml(xml);
  } catch (e) {
    failures.push(`${name}: seisplotjs refuses it: ${e.message}`);
    continue;
  }
  ++documents;
  const found = [];
  for (const net of networks) {
    for (const sta of net.stations) {
      for (const cha of sta.channels) found.push({ net, sta, cha });
    }
  }
  if (found.length !== expected.length) {
    failures.push(`${name}: ${found.length} channels, expected ${expected.length}`);
    continue;
  }
  expected.forEach((ours, i) => {
    const { net, sta, cha } = found[i];
    channels += 1;
    const id = `${name} ${ours.network}.${ours.station}.${ours.location}.${ours.channel}`;
    const codes = [net.networkCode, sta.stationCode, cha.locationCode, cha.channelCode];
    const want = [ours.network, ours.station, ours.location, ours.channel];
    if (codes.join("\u0000") !== want.join("\u0000")) {
      failures.push(`${id}: seisplotjs finds ${JSON.stringify(codes)}`);
      return;
    }
    const start = cha.startDate.toUTC().toISO({ suppressMilliseconds: true });
    if (start !== ours.start) failures.push(`${id}: start ${start}, expected ${ours.start}`);
    if (!ours.has_pole_zero) return;
    poleZeroChannels += 1;
    const response = cha.response;
    if (!response || !response.instrumentSensitivity || !response.stages) {
      failures.push(`${id}: seisplotjs finds no response`);
      return;
    }
    close(response.instrumentSensitivity.sensitivity, ours.sensitivity, `${id} sensitivity`);
    const filter = response.stages[0].filter;
    if (!(filter instanceof stationxml.PolesZeros)) {
      failures.push(`${id}: the first stage is no PolesZeros`);
      return;
    }
    close(filter.normalizationFactor, ours.normalization_factor, `${id} normalization factor`);
    compareRoots(filter.zeros, ours.zeros, `${id} zeros`);
    compareRoots(filter.poles, ours.poles, `${id} poles`);
  });
}

console.log(
  `seisplotjs read ${documents} documents, ${channels} channels, ` +
    `${poleZeroChannels} with pole zeros`,
);
if (documents < Number(minimum)) failures.push(`fewer than ${minimum} documents were read`);
if (poleZeroChannels === 0) failures.push("no pole-zero channel was read");
for (const f of failures.slice(0, 50)) console.error(f);
if (failures.length > 50) console.error(`... ${failures.length - 50} more`);
process.exit(failures.length === 0 ? 0 : 1);
