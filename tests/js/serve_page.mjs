// Drives the page of `kalvynex-inventory serve` in headless Chromium: the
// server runs on a free port over a fresh demo database; the page must load
// without a console error or a failed request, its query builder must build
// the URL of its fields, and its browser must walk from the networks to a
// period with both texts, whose plot must hold the pole-zero curve and the
// FAP points on both axes, with the period's findings below, and to a period
// stored under the location "??", which the documents write as empty.
//
//   node tests/js/serve_page.mjs INVENTORY_BINARY
//   node tests/js/serve_page.mjs --url http://127.0.0.1:PORT   (a running server)
//
// KALVYNEX_PAGE_SCREENSHOT=FILE saves a screenshot of the page at the end;
// CHROMIUM names the browser (default /usr/bin/chromium).
import { spawn, execFileSync } from "node:child_process";
import { mkdtempSync, rmSync, writeFileSync, readFileSync } from "node:fs";
import { createServer } from "node:net";
import { tmpdir } from "node:os";
import { dirname, join } from "node:path";
import { fileURLToPath } from "node:url";
import puppeteer from "puppeteer-core";

const ROOT = join(dirname(fileURLToPath(import.meta.url)), "..", "..");
const TIMEOUT_MS = 15000;

function fail(message) {
  console.error("serve_page: " + message);
  process.exitCode = 1;
  throw new Error(message);
}

// A port nobody listens on now.
function freePort() {
  return new Promise((resolve, reject) => {
    const server = createServer();
    server.once("error", reject);
    server.listen(0, "127.0.0.1", () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

// The demo database, as scripts/common.sh's create_demo_database makes it,
// and an odbc.ini that names it kalvynex_page.
function createDemoDatabase(dir) {
  const database = join(dir, "calibration.sqlite");
  const sql =
    readFileSync(join(ROOT, "data", "schema-sqlite.sql"), "utf8") +
    readFileSync(join(ROOT, "data", "demo-data.sql"), "utf8");
  execFileSync("sqlite3", [database], { input: sql });
  const ini = join(dir, "odbc.ini");
  writeFileSync(ini, `[kalvynex_page]\nDriver = SQLite3\nDatabase = ${database}\nNoCreat = 1\n`);
  return ini;
}

async function waitForServer(base, server) {
  const deadline = Date.now() + TIMEOUT_MS;
  while (Date.now() < deadline) {
    if (server.exitCode !== null) fail("the server exited with status " + server.exitCode);
    try {
      const response = await fetch(base + "/fdsnws/station/1/version");
      if (response.ok) return;
    } catch {
      // Not listening yet.
    }
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
  fail("the server did not answer within " + TIMEOUT_MS + " ms");
}

async function startServer(binary, dir) {
  const ini = createDemoDatabase(dir);
  const port = await freePort();
  const server = spawn(
    binary,
    ["serve", "--dsn", "kalvynex_page", "--listen", "127.0.0.1:" + port, "--workers", "2"],
    { env: { ...process.env, ODBCINI: ini }, stdio: ["ignore", "inherit", "pipe"] },
  );
  let log = "";
  server.stderr.on("data", (chunk) => {
    log += chunk;
  });
  const base = "http://127.0.0.1:" + port;
  await waitForServer(base, server);
  return { base, server, log: () => log };
}

// Clicks the button of `list` whose first text is `label`, after it appears.
async function choose(page, list, label) {
  const selector = "#" + list + " button";
  await page.waitForFunction(
    (selector, label) =>
      Array.from(document.querySelectorAll(selector)).some(
        (b) => b.firstChild && b.firstChild.textContent === label,
      ),
    { timeout: TIMEOUT_MS },
    selector,
    label,
  );
  await page.evaluate(
    (selector, label) => {
      for (const b of document.querySelectorAll(selector)) {
        if (b.firstChild.textContent === label) b.click();
      }
    },
    selector,
    label,
  );
}

// Waits until the viewer shows the period named `prefix` or says why not.
async function viewed(page, prefix) {
  await page.waitForFunction(
    (prefix) => {
      const text = document.getElementById("viewer-heading").textContent;
      return text.startsWith(prefix) || text.startsWith("Could not load");
    },
    { timeout: TIMEOUT_MS },
    prefix,
  );
  const heading = await page.$eval("#viewer-heading", (e) => e.textContent);
  if (!heading.startsWith(prefix)) fail("the viewer says: " + heading);
}

async function checkPage(base, screenshot) {
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
    headless: true,
    args: ["--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"],
  });
  const problems = [];
  try {
    const page = await browser.newPage();
    await page.setViewport({ width: 1366, height: 900 });
    page.on("console", (message) => {
      if (message.type() === "error") problems.push("console error: " + message.text());
    });
    page.on("pageerror", (error) => problems.push("script error: " + error.message));
    page.on("requestfailed", (request) =>
      problems.push("request failed: " + request.url() + " " + request.failure()?.errorText),
    );
    page.on("response", (response) => {
      if (response.status() >= 400) {
        problems.push("HTTP " + response.status() + ": " + response.url());
      }
    });

    const opened = await page.goto(base + "/", { waitUntil: "networkidle0" });
    if (opened.status() !== 200) fail("/ answered " + opened.status());

    // The query builder: the URL of the fields, and the service answers it.
    await page.type("#query-form input[name=network]", "XX");
    await page.select("#query-form select[name=level]", "channel");
    const url = await page.$eval("#query-url", (e) => e.textContent);
    const expected = base + "/fdsnws/station/1/query?network=XX&level=channel";
    if (url !== expected) fail("the query builder shows " + url + ", not " + expected);
    const href = await page.$eval("#query-link", (e) => e.getAttribute("href"));
    if (href !== expected) fail("the query link is " + href);
    const answer = await page.evaluate(async (u) => (await fetch(u)).status, href);
    if (answer !== 200) fail("the built query answered " + answer);

    // The browser, down to the second period of XX.ABC.00.BHZ (both texts).
    await choose(page, "networks", "XX");
    await choose(page, "stations", "ABC");
    await choose(page, "channels", "00.BHZ");
    await choose(page, "periods", "2005-03-01T12:30:00");
    await viewed(page, "XX.ABC.00.BHZ, 2005-03-01T12:30:00 to 2010-12-31T23:59:59");
    const plot = await page.evaluate(() =>
      Array.from(document.querySelectorAll("#plot path[data-series]")).map((p) => ({
        panel: p.closest("g[data-panel]").getAttribute("data-panel"),
        series: p.getAttribute("data-series"),
        points: Number(p.getAttribute("data-points")),
        d: p.getAttribute("d"),
      })),
    );
    for (const panel of ["amplitude", "phase"]) {
      for (const [series, least] of [["pole-zero", 200], ["fap", 12]]) {
        const path = plot.find((p) => p.panel === panel && p.series === series);
        if (!path) fail("no " + series + " curve in the " + panel + " panel");
        if (!(path.points >= least)) fail(panel + " " + series + ": " + path.points + " points");
        const numbers = path.d.split(/[ML,]/).filter((t) => t !== "");
        if (numbers.length !== 2 * path.points || !numbers.every((t) => isFinite(Number(t)))) {
          fail(panel + " " + series + ": the path is not " + path.points + " finite points");
        }
      }
    }
    const kinds = await page.$$eval("#findings .kind", (list) => list.map((e) => e.textContent));
    if (!kinds.includes("mismatch")) fail("the findings are " + JSON.stringify(kinds));

    // A period whose stored location the documents write as the empty one.
    await choose(page, "stations", "DEF");
    await choose(page, "channels", "--.HHZ");
    await choose(page, "periods", "2015-06-01T00:00:00");
    await viewed(page, "XX.DEF.??.HHZ, 2015-06-01T00:00:00 to open");
    const series = await page.$$eval("#plot g[data-panel=amplitude] path[data-series]", (list) =>
      list.map((p) => p.getAttribute("data-series")),
    );
    if (series.join() !== "pole-zero,fap") fail("XX.DEF.??.HHZ plots " + series.join());

    // Back to the first period for the picture.
    await choose(page, "stations", "ABC");
    await choose(page, "channels", "00.BHZ");
    await choose(page, "periods", "2005-03-01T12:30:00");
    await viewed(page, "XX.ABC.00.BHZ, 2005-03-01T12:30:00");
    if (screenshot) await page.screenshot({ path: screenshot, fullPage: true });
  } finally {
    await browser.close();
  }
  if (problems.length > 0) fail(problems.join("\n"));
}

async function main() {
  const args = process.argv.slice(2);
  const screenshot = process.env.KALVYNEX_PAGE_SCREENSHOT || "";
  if (args[0] === "--url" && args.length === 2) {
    await checkPage(args[1].replace(/\/$/, ""), screenshot);
  } else if (args.length === 1) {
    const dir = mkdtempSync(join(tmpdir(), "kalvynex-page."));
    let running = null;
    try {
      running = await startServer(args[0], dir);
      await checkPage(running.base, screenshot);
    } catch (error) {
      if (running) console.error(running.log());
      throw error;
    } finally {
      if (running) running.server.kill("SIGTERM");
      rmSync(dir, { recursive: true, force: true });
    }
  } else {
    fail("usage: serve_page.mjs INVENTORY_BINARY | --url URL");
  }
  console.log("serve_page: the page loads, builds queries, browses and plots a period");
}

main().catch((error) => {
  if (process.exitCode !== 1) console.error(error);
  process.exitCode = 1;
});
