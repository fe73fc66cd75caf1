// The page of the station service: the query builder, the browser of
// networks, stations, channels and periods, and the response viewer of one
// period. Every text from the service reaches the document as textContent or
// as an attribute value, never as markup.
"use strict";

(function () {
  const QUERY_PATH = "/fdsnws/station/1/query";
  const PERIOD_PATH = "/viewer/1/period";
  const SVG = "http://www.w3.org/2000/svg";

  function byId(id) {
    return document.getElementById(id);
  }

  // An element with its attributes and text.
  function element(name, attributes, text) {
    const node = document.createElement(name);
    for (const [key, value] of Object.entries(attributes || {})) node.setAttribute(key, value);
    if (text !== undefined) node.textContent = text;
    return node;
  }

  function svgElement(name, attributes, text) {
    const node = document.createElementNS(SVG, name);
    for (const [key, value] of Object.entries(attributes || {})) {
      node.setAttribute(key, String(value));
    }
    if (text !== undefined) node.textContent = text;
    return node;
  }

  function clear(node) {
    while (node.firstChild) node.removeChild(node.firstChild);
  }

  // A location code as the service takes it: "--" for the empty one.
  function locationParameter(code) {
    return code === "" ? "--" : code;
  }

  // ----- The query builder -----

  const DEFAULTS = { level: "station", format: "xml", nodata: "204" };

  function queryUrl(form) {
    const parameters = new URLSearchParams();
    for (const name of ["network", "station", "location", "channel", "starttime", "endtime"]) {
      const value = form.elements[name].value.trim();
      if (value !== "") parameters.append(name, value);
    }
    for (const name of ["level", "format", "nodata"]) {
      const value = form.elements[name].value;
      if (value !== DEFAULTS[name]) parameters.append(name, value);
    }
    const query = parameters.toString();
    return window.location.origin + QUERY_PATH + (query === "" ? "" : "?" + query);
  }

  function updateQuery() {
    const form = byId("query-form");
    const url = queryUrl(form);
    byId("query-url").textContent = url;
    byId("query-link").setAttribute("href", url);
    const hint = byId("query-hint");
    const textResponse =
      form.elements.level.value === "response" && form.elements.format.value === "text";
    hint.textContent = textResponse
      ? "The text format has no response level: the service answers 400."
      : "";
    hint.className = textResponse ? "hint error" : "hint";
  }

  // ----- The browser -----

  // The data lines of a text answer, each split at "|" (the header lines,
  // which begin with "#", left out). An answer without content (204) has
  // no lines.
  function parseTextLines(text) {
    const rows = [];
    for (const line of text.split(/\r?\n/)) {
      if (line === "" || line.startsWith("#")) continue;
      rows.push(line.split("|"));
    }
    return rows;
  }

  let browseGeneration = 0;

  function setStatus(text, isError) {
    const status = byId("browser-status");
    status.textContent = text;
    status.className = isError ? "status error" : "status";
  }

  async function fetchText(parameters) {
    const url = QUERY_PATH + "?" + new URLSearchParams(parameters).toString();
    const response = await fetch(url);
    if (response.status === 204) return [];
    const body = await response.text();
    if (!response.ok) {
      // The error document's explanation is its third line.
      const lines = body.split(/\r?\n/);
      throw new Error("HTTP " + response.status + (lines[2] ? ": " + lines[2] : ""));
    }
    return parseTextLines(body);
  }

  // Fills `list` with one button per item; `choose` runs for the one chosen.
  function fillChoices(list, items, label, detail, choose) {
    clear(list);
    if (items.length === 0) {
      list.appendChild(element("li", { class: "hint" }, "(none)"));
      return;
    }
    for (const item of items) {
      const button = element("button", { type: "button", "aria-pressed": "false" }, label(item));
      const more = detail(item);
      if (more) button.appendChild(element("span", { class: "detail" }, more));
      button.addEventListener("click", () => {
        for (const other of list.querySelectorAll("button")) {
          other.setAttribute("aria-pressed", "false");
        }
        button.setAttribute("aria-pressed", "true");
        choose(item);
      });
      const li = element("li");
      li.appendChild(button);
      list.appendChild(li);
    }
  }

  function clearFrom(level) {
    const lists = ["stations", "channels", "periods"];
    for (const id of lists.slice(lists.indexOf(level))) clear(byId(id));
  }

  function dates(start, end) {
    return (start || "?") + " \u2013 " + (end || "open");
  }

  // Runs `load` unless a later choice has started meanwhile.
  async function browse(what, load) {
    const generation = ++browseGeneration;
    setStatus("Loading " + what + "\u2026", false);
    try {
      const rows = await load();
      if (generation !== browseGeneration) return null;
      setStatus("", false);
      return rows;
    } catch (error) {
      if (generation === browseGeneration) {
        setStatus("Could not load " + what + ": " + error.message, true);
      }
      return null;
    }
  }

  async function loadNetworks() {
    const rows = await browse("networks", () => fetchText({ level: "network", format: "text" }));
    if (rows === null) return;
    const networks = rows.map((f) => ({ code: f[0], description: f[1], start: f[2], end: f[3] }));
    fillChoices(
      byId("networks"),
      networks,
      (n) => n.code,
      (n) => (n.description ? n.description + ", " : "") + dates(n.start, n.end),
      (n) => loadStations(n.code),
    );
  }

  async function loadStations(network) {
    clearFrom("stations");
    const rows = await browse("stations", () =>
      fetchText({ network: network, level: "station", format: "text" }),
    );
    if (rows === null) return;
    const stations = rows.map((f) => ({
      network: f[0],
      code: f[1],
      site: f[5],
      start: f[6],
      end: f[7],
    }));
    fillChoices(
      byId("stations"),
      stations,
      (s) => s.code,
      (s) => (s.site && s.site !== s.code ? s.site + ", " : "") + dates(s.start, s.end),
      (s) => loadChannels(s.network, s.code),
    );
  }

  // The channel level's lines are the periods: one line per period.
  async function loadChannels(network, station) {
    clearFrom("channels");
    const rows = await browse("channels", () =>
      fetchText({ network: network, station: station, level: "channel", format: "text" }),
    );
    if (rows === null) return;
    const channels = new Map();
    for (const f of rows) {
      const period = {
        network: f[0],
        station: f[1],
        location: f[2],
        channel: f[3],
        scale: f[11],
        scaleFrequency: f[12],
        start: f[15],
        end: f[16],
      };
      const key = period.location + "." + period.channel;
      if (!channels.has(key)) {
        channels.set(key, { location: period.location, channel: period.channel, periods: [] });
      }
      channels.get(key).periods.push(period);
    }
    fillChoices(
      byId("channels"),
      Array.from(channels.values()),
      (c) => (c.location === "" ? "--" : c.location) + "." + c.channel,
      (c) => c.periods.length + (c.periods.length === 1 ? " period" : " periods"),
      (c) => showPeriods(c.periods),
    );
  }

  function showPeriods(periods) {
    clearFrom("periods");
    fillChoices(
      byId("periods"),
      periods,
      (p) => p.start,
      (p) => "to " + (p.end || "open"),
      (p) => viewPeriod(p),
    );
  }

  // ----- The response viewer -----

  let viewGeneration = 0;

  async function viewPeriod(period) {
    const generation = ++viewGeneration;
    const heading = byId("viewer-heading");
    const name =
      period.network + "." + period.station + "." + period.location + "." + period.channel;
    heading.textContent = "Loading " + name + " from " + period.start + "\u2026";
    heading.className = "hint";
    clear(byId("plot"));
    clear(byId("findings"));
    clear(byId("notes"));
    const parameters = new URLSearchParams({
      net: period.network,
      sta: period.station,
      loc: locationParameter(period.location),
      cha: period.channel,
      start: period.start,
    });
    let view;
    try {
      const response = await fetch(PERIOD_PATH + "?" + parameters.toString());
      if (!response.ok) throw new Error("HTTP " + response.status);
      view = await response.json();
    } catch (error) {
      if (generation === viewGeneration) {
        heading.textContent = "Could not load " + name + ": " + error.message;
        heading.className = "hint error";
      }
      return;
    }
    if (generation !== viewGeneration) return;
    showView(view);
  }

  function numberText(value) {
    if (typeof value !== "number") return "none";
    const size = Math.abs(value);
    return size !== 0 && (size >= 1e5 || size < 1e-3)
      ? value.toExponential().replace("e+", "e")
      : String(value);
  }

  function showView(view) {
    const heading = byId("viewer-heading");
    heading.textContent =
      view.network + "." + view.station + "." + view.location + "." + view.channel +
      ", " + view.start + " to " + (view.end === null ? "open" : view.end) +
      "; SENS " + numberText(view.sens) + ", FREQ " + numberText(view.freq);
    heading.className = "";
    drawPlot(byId("plot"), view);
    const findings = byId("findings");
    if (view.findings.length === 0) {
      findings.appendChild(element("li", { class: "hint" }, "Nothing to report."));
    }
    for (const finding of view.findings) {
      const li = element("li");
      li.appendChild(element("span", { class: "kind" }, finding.kind));
      li.appendChild(document.createTextNode(finding.detail));
      findings.appendChild(li);
    }
    const notes = byId("notes");
    for (const note of view.notes) notes.appendChild(element("li", {}, note));
  }

  // ----- The plot -----

  // A point's members: [frequency, amplitude, phase], any of them null.
  const FREQUENCY = 0;
  const AMPLITUDE = 1;
  const PHASE = 2;

  function usable(value, logarithmic) {
    return typeof value === "number" && isFinite(value) && (!logarithmic || value > 0);
  }

  // The least and greatest usable value of member `m` over all points.
  function extent(series, m, logarithmic) {
    let low = Infinity;
    let high = -Infinity;
    for (const points of series) {
      for (const p of points) {
        if (usable(p[FREQUENCY], true) && usable(p[m], logarithmic)) {
          low = Math.min(low, p[m]);
          high = Math.max(high, p[m]);
        }
      }
    }
    return low <= high ? [low, high] : null;
  }

  // A logarithmic axis from the decade at or below `low` to the one at or
  // above `high`, one tick per decade (every few decades when there are many).
  function logAxis(range) {
    let low = Math.floor(Math.log10(range[0]));
    let high = Math.ceil(Math.log10(range[1]));
    if (high === low) high = low + 1;
    const step = Math.max(1, Math.ceil((high - low) / 10));
    const ticks = [];
    for (let e = low; e <= high; e += step) ticks.push({ at: e, label: decadeLabel(e) });
    return { low: low, high: high, ticks: ticks, scale: (v) => Math.log10(v) };
  }

  function decadeLabel(exponent) {
    if (exponent >= -3 && exponent <= 3) return String(Math.pow(10, exponent));
    return "1e" + exponent;
  }

  // A linear axis of phases in degrees, on multiples of a round step.
  function phaseAxis(range) {
    let low = range[0];
    let high = range[1];
    if (high - low < 10) {
      low -= 5;
      high += 5;
    }
    let step = 15;
    for (const s of [15, 30, 45, 90, 180]) {
      step = s;
      if ((high - low) / s <= 8) break;
    }
    low = Math.floor(low / step) * step;
    high = Math.ceil(high / step) * step;
    const ticks = [];
    for (let v = low; v <= high; v += step) ticks.push({ at: v, label: String(v) });
    return { low: low, high: high, ticks: ticks, scale: (v) => v };
  }

  // The path of a series: a line through its usable points, broken where a
  // point has none and, for phases, where the phase wraps (a step of more
  // than 180 degrees).
  function pathData(points, m, x, y, logarithmic) {
    let d = "";
    let drawing = false;
    let count = 0;
    let last = 0;
    for (const p of points) {
      if (!usable(p[FREQUENCY], true) || !usable(p[m], logarithmic)) {
        drawing = false;
        continue;
      }
      if (m === PHASE && drawing && Math.abs(p[m] - last) > 180) drawing = false;
      d += (drawing ? "L" : "M") + x(p[FREQUENCY]).toFixed(1) + "," + y(p[m]).toFixed(1);
      drawing = true;
      last = p[m];
      ++count;
    }
    return { d: d, count: count };
  }

  const SERIES = [
    { key: "pole_zero", name: "pole-zero", label: "Pole zeros (SAC text)" },
    { key: "fap", name: "fap", label: "FAP table" },
  ];

  function drawPanel(svg, box, panel, view, xAxis) {
    const yRange = extent([view.pole_zero, view.fap], panel.member, panel.logarithmic);
    const g = svgElement("g", { "data-panel": panel.name });
    svg.appendChild(g);
    g.appendChild(
      svgElement("text", { x: box.left, y: box.top - 8, "font-weight": "600" }, panel.title),
    );
    if (yRange === null) {
      g.appendChild(
        svgElement("text", { x: box.left + 10, y: box.top + 20 }, "No values to draw."),
      );
      return;
    }
    const yAxis = panel.logarithmic ? logAxis(yRange) : phaseAxis(yRange);
    const x = (v) =>
      box.left + ((xAxis.scale(v) - xAxis.low) / (xAxis.high - xAxis.low)) * box.width;
    const y = (v) =>
      box.top + box.height -
      ((yAxis.scale(v) - yAxis.low) / (yAxis.high - yAxis.low)) * box.height;
    const xAt = (e) => box.left + ((e - xAxis.low) / (xAxis.high - xAxis.low)) * box.width;
    const yAt = (e) =>
      box.top + box.height - ((e - yAxis.low) / (yAxis.high - yAxis.low)) * box.height;

    for (const tick of xAxis.ticks) {
      const px = xAt(tick.at);
      g.appendChild(svgElement("line", {
        class: "grid", x1: px, x2: px, y1: box.top, y2: box.top + box.height,
      }));
      g.appendChild(svgElement("text", {
        x: px, y: box.top + box.height + 16, "text-anchor": "middle",
      }, tick.label));
    }
    for (const tick of yAxis.ticks) {
      const py = yAt(tick.at);
      g.appendChild(svgElement("line", {
        class: "grid", x1: box.left, x2: box.left + box.width, y1: py, y2: py,
      }));
      g.appendChild(svgElement("text", {
        x: box.left - 6, y: py + 4, "text-anchor": "end",
      }, tick.label));
    }
    g.appendChild(svgElement("rect", {
      class: "frame", x: box.left, y: box.top, width: box.width, height: box.height,
    }));
    g.appendChild(svgElement("text", {
      x: box.left + box.width / 2, y: box.top + box.height + 34, "text-anchor": "middle",
    }, "Frequency (Hz)"));
    const yLabelX = box.left - 58;
    const yLabelY = box.top + box.height / 2;
    g.appendChild(svgElement("text", {
      x: yLabelX, y: yLabelY, "text-anchor": "middle",
      transform: "rotate(-90 " + yLabelX + " " + yLabelY + ")",
    }, panel.axisLabel));

    for (const series of SERIES) {
      const points = view[series.key];
      const path = pathData(points, panel.member, x, y, panel.logarithmic);
      if (path.count === 0) continue;
      g.appendChild(svgElement("path", {
        class: "series-" + series.name,
        d: path.d,
        "data-series": series.name,
        "data-points": path.count,
      }));
      if (series.name === "fap") {
        for (const p of points) {
          if (usable(p[FREQUENCY], true) && usable(p[panel.member], panel.logarithmic)) {
            g.appendChild(svgElement("circle", {
              class: "marker-fap", cx: x(p[FREQUENCY]).toFixed(1),
              cy: y(p[panel.member]).toFixed(1), r: 3,
            }));
          }
        }
      }
    }
  }

  function drawLegend(svg, left, top) {
    const g = svgElement("g", { class: "legend" });
    let at = left;
    for (const series of SERIES) {
      g.appendChild(svgElement("line", {
        class: "series-" + series.name, x1: at, x2: at + 28, y1: top, y2: top,
      }));
      if (series.name === "fap") {
        g.appendChild(svgElement("circle", { class: "marker-fap", cx: at + 14, cy: top, r: 3 }));
      }
      g.appendChild(svgElement("text", { x: at + 34, y: top + 4 }, series.label));
      at += 220;
    }
    svg.appendChild(g);
  }

  function drawPlot(container, view) {
    clear(container);
    const xRange = extent([view.pole_zero, view.fap], FREQUENCY, true);
    if (xRange === null) {
      container.appendChild(element("p", { class: "hint" }, "Neither text gives a response."));
      return;
    }
    const xAxis = logAxis(xRange);
    const width = 1000;
    const panelHeight = 230;
    const margin = { left: 84, right: 24, top: 56, gap: 80, bottom: 48 };
    const height = margin.top + 2 * panelHeight + margin.gap + margin.bottom;
    const svg = svgElement("svg", {
      viewBox: "0 0 " + width + " " + height,
      role: "img",
      "aria-label": "Amplitude and phase of the response against frequency",
    });
    container.appendChild(svg);
    drawLegend(svg, margin.left, 18);
    const plotWidth = width - margin.left - margin.right;
    drawPanel(svg, { left: margin.left, top: margin.top, width: plotWidth, height: panelHeight },
      {
        name: "amplitude", title: "Amplitude (displacement, " + view.unit + ")",
        axisLabel: "Amplitude (" + view.unit + ")", member: AMPLITUDE, logarithmic: true,
      }, view, xAxis);
    drawPanel(svg, {
      left: margin.left, top: margin.top + panelHeight + margin.gap, width: plotWidth,
      height: panelHeight,
    }, {
      name: "phase", title: "Phase (degrees)", axisLabel: "Phase (degrees)", member: PHASE,
      logarithmic: false,
    }, view, xAxis);
  }

  // ----- Start -----

  document.addEventListener("DOMContentLoaded", () => {
    const form = byId("query-form");
    form.addEventListener("input", updateQuery);
    form.addEventListener("change", updateQuery);
    form.addEventListener("submit", (event) => event.preventDefault());
    updateQuery();
    loadNetworks();
  });
})();
