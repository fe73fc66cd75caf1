// Queries a running station service with seisplotjs's StationQuery, at
// level network, station, channel and response, and compares what it gets
// with the StationXML document that export -f stationxml wrote for the same
// selection, both read by the same seisplotjs parser: the networks,
// stations and channels (codes, start and end dates, places), and of every
// response the sensitivity, the stages, the normalisation and the zeros and
// poles (relative 1e-9). A selection that matches nothing must come back
// empty (204).
//
//   KALVYNEX_SERVICE_URL=http://127.0.0.1:8080 \
//   KALVYNEX_EXPECTED_STATIONXML=expected.xml \
//   KALVYNEX_SELECTION='network=XX&channel=BHZ,HHZ' \
//   node tests/js/station_query.mjs
//
// KALVYNEX_SELECTION takes network, station, location and channel, as the
// export's -n, -s, -l and -c took them. Exit status 0 when everything
// agrees, 1 on a difference (each one named), 2 for a missing setting.
import { readFileSync } from "node:fs";
import { parseStationXml, seisplotjs } from "./seisplotjs_node.mjs";

const { fdsnstation, stationxml } = seisplotjs;

function setting(name) {
  const value = process.env[name];
  if (!value) {
    console.error(`station_query.mjs: set ${name} (see the top of the script)`);
    process.exit(2);
  }
  return value;
}

const service = new URL(setting("KALVYNEX_SERVICE_URL"));
const expectedPath = setting("KALVYNEX_EXPECTED_STATIONXML");
const selection = new URLSearchParams(setting("KALVYNEX_SELECTION"));
const NOTHING = "Z9"; // a network code that the selection's data never hold

const failures = [];
const fail = (what) => failures.push(what);

function query(network) {
  const q = new fdsnstation.StationQuery(service.hostname)
    .protocol(service.protocol)
    .port(Number(service.port || (service.protocol === "https:" ? 443 : 80)))
    .networkCode(network ?? selection.get("network") ?? "*");
  if (selection.has("station")) q.stationCode(selection.get("station"));
  if (selection.has("location")) q.locationCode(selection.get("location"));
  if (selection.has("channel")) q.channelCode(selection.get("channel"));
  return q;
}

function iso(date) {
  return date ? date.toUTC().toISO({ suppressMilliseconds: true }) : null;
}

function close(theirs, ours, what) {
  if (!Number.isFinite(theirs) || !Number.isFinite(ours)) {
    if (!Object.is(theirs, ours)) fail(`${what}: ${theirs}, expected ${ours}`);
    return;
  }
  const scale = Math.max(Math.abs(ours), Number.MIN_VALUE);
  if (!(Math.abs(theirs - ours) <= 1e-9 * scale)) fail(`${what}: ${theirs}, expected ${ours}`);
}

function same(theirs, ours, what) {
  if (theirs !== ours) fail(`${what}: ${JSON.stringify(theirs)}, expected ${JSON.stringify(ours)}`);
}

// Two lists of elements, in order, by their codes; calls `each` for the
// pairs when the codes agree.
function pairs(theirs, ours, codesOf, what, each) {
  const a = theirs.map(codesOf);
  const b = ours.map(codesOf);
  if (a.join(" ") !== b.join(" ")) {
    fail(`${what}: the service gives [${a.join(" ")}], the export [${b.join(" ")}]`);
    return;
  }
  theirs.forEach((t, i) => each(t, ours[i], `${what} ${b[i]}`));
}

function dates(t, o, what) {
  same(iso(t.startDate), iso(o.startDate), `${what} startDate`);
  same(iso(t.endDate), iso(o.endDate), `${what} endDate`);
}

function sensitivity(t, o, what) {
  if (!t || !o) {
    if (t || o) fail(`${what}: InstrumentSensitivity ${t ? "present" : "missing"}, the export's ${o ? "present" : "missing"}`);
    return;
  }
  close(t.sensitivity, o.sensitivity, `${what} sensitivity`);
  close(t.frequency, o.frequency, `${what} sensitivity frequency`);
  same(t.inputUnits, o.inputUnits, `${what} sensitivity input units`);
  same(t.outputUnits, o.outputUnits, `${what} sensitivity output units`);
}

function roots(t, o, what) {
  if (t.length !== o.length) {
    fail(`${what}: ${t.length}, expected ${o.length}`);
    return;
  }
  t.forEach((r, i) => {
    close(r.real(), o[i].real(), `${what}[${i}] real`);
    close(r.imag(), o[i].imag(), `${what}[${i}] imag`);
  });
}

function response(t, o, what) {
  if (!t || !o) {
    if (t || o) fail(`${what}: Response ${t ? "present" : "missing"}, the export's ${o ? "present" : "missing"}`);
    return;
  }
  sensitivity(t.instrumentSensitivity, o.instrumentSensitivity, what);
  if (t.stages.length !== o.stages.length) {
    fail(`${what}: ${t.stages.length} stages, expected ${o.stages.length}`);
    return;
  }
  t.stages.forEach((ts, i) => {
    const os = o.stages[i];
    const at = `${what} stage ${i + 1}`;
    close(ts.gain?.value, os.gain?.value, `${at} gain`);
    close(ts.gain?.frequency, os.gain?.frequency, `${at} gain frequency`);
    same(ts.filter?.constructor.name, os.filter?.constructor.name, `${at} filter`);
    if (!(os.filter instanceof stationxml.PolesZeros) || !(ts.filter instanceof stationxml.PolesZeros)) return;
    same(ts.filter.pzTransferFunctionType, os.filter.pzTransferFunctionType, `${at} transfer function`);
    same(ts.filter.inputUnits, os.filter.inputUnits, `${at} input units`);
    close(ts.filter.normalizationFactor, os.filter.normalizationFactor, `${at} normalization factor`);
    close(ts.filter.normalizationFrequency, os.filter.normalizationFrequency, `${at} normalization frequency`);
    roots(ts.filter.zeros, os.filter.zeros, `${at} zeros`);
    roots(ts.filter.poles, os.filter.poles, `${at} poles`);
  });
}

let expected;
try {
  expected = parseStationXml(readFileSync(expectedPath, "utf8"));
} catch (e) {
  console.error(`station_query.mjs: seisplotjs cannot read ${expectedPath}: ${e.message}`);
  process.exit(1);
}
const levels = ["network", "station", "channel", "response"];
const counts = { networks: 0, stations: 0, channels: 0, responses: 0 };

for (const level of levels) {
  let networks;
  try {
    networks = await query().query(level);
  } catch (e) {
    fail(`level=${level}: the query failed: ${e.message}`);
    continue;
  }
  const depth = levels.indexOf(level);
  pairs(networks, expected, (n) => n.networkCode, `level=${level}`, (tn, on, what) => {
    dates(tn, on, what);
    if (level === "network") counts.networks += 1;
    if (depth < 1) {
      if (tn.stations.length > 0) fail(`${what}: ${tn.stations.length} stations at level=network`);
      return;
    }
    pairs(tn.stations, on.stations, (s) => s.stationCode, what, (ts, os, what) => {
      dates(ts, os, what);
      close(ts.latitude, os.latitude, `${what} latitude`);
      close(ts.longitude, os.longitude, `${what} longitude`);
      close(ts.elevation, os.elevation, `${what} elevation`);
      same(ts.name, os.name, `${what} site name`);
      if (level === "station") counts.stations += 1;
      if (depth < 2) {
        if (ts.channels.length > 0) fail(`${what}: ${ts.channels.length} channels at level=station`);
        return;
      }
      const codes = (c) => `${c.locationCode || "--"}.${c.channelCode}@${iso(c.startDate)}`;
      pairs(ts.channels, os.channels, codes, what, (tc, oc, what) => {
        dates(tc, oc, what);
        close(tc.sampleRate, oc.sampleRate, `${what} sample rate`);
        if (level === "channel") {
          counts.channels += 1;
          // At level=channel a Response may hold the sensitivity, no stage.
          if (tc.response?.stages?.length) fail(`${what}: response stages at level=channel`);
          if (tc.response?.instrumentSensitivity) {
            sensitivity(tc.response.instrumentSensitivity, oc.response?.instrumentSensitivity, what);
          }
          return;
        }
        if (oc.response) counts.responses += 1;
        response(tc.response, oc.response, what);
      });
    });
  });
}

// Nothing matches: 204, which the client reads as a document without networks.
try {
  const none = await query(NOTHING).queryChannels();
  if (none.length !== 0) fail(`network=${NOTHING}: ${none.length} networks, expected none`);
} catch (e) {
  fail(`network=${NOTHING}: the query failed: ${e.message}`);
}

console.log(
  `seisplotjs queried ${service.origin}: ${counts.networks} networks, ${counts.stations} stations, ` +
    `${counts.channels} channels, ${counts.responses} responses`,
);
if (counts.networks === 0 || counts.stations === 0 || counts.channels === 0 || counts.responses === 0) {
  fail("the selection has no network, station, channel or response to compare");
}
for (const f of failures.slice(0, 50)) console.error(f);
if (failures.length > 50) console.error(`... ${failures.length - 50} more`);
process.exit(failures.length === 0 ? 0 : 1);
