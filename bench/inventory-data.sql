-- Benchmark data of kalvynex-inventory, loaded after data/schema-sqlite.sql:
-- 500 channels (network IN, stations S001-S100, channels BHZ BHN BHE HHZ
-- LHZ, location 00), 20 periods each (one a year from 2000, the last open),
-- 10,000 periods in all. Each period has a 2,000-character SAC text that
-- SAC's pole-zero reader takes, in the form that sacpz sources write: "*"
-- comment lines of 40 characters, ZEROS 3 with three zeros, POLES 30 with
-- thirty poles, numbers as "%+e", CONSTANT; and an 800-character FAP text
-- (20 triplet lines of 40 characters).

PRAGMA journal_mode = OFF;
PRAGMA synchronous = OFF;

CREATE TEMP TABLE texts (name TEXT PRIMARY KEY, body TEXT);

-- 20 lines over five decades: ratio 10^(5/20).
INSERT INTO texts
WITH RECURSIVE line(i, f) AS (
  SELECT 0, 0.001
  UNION ALL
  SELECT i + 1, f * 1.7782794100389228 FROM line WHERE i + 1 < 20)
SELECT 'fap', group_concat(t, '') FROM (
  SELECT printf('%12.6f %14.7e %11.5f|', f, 1.0610e-4 / f, 89.9 - i * (179.8 / 19.0)) AS t
  FROM line ORDER BY i);

-- Value lines of 28 characters ("%+e %+e|"): 3 zeros and 30 poles.
INSERT INTO texts
WITH RECURSIVE pole(k, re) AS (
  SELECT 0, 0.037
  UNION ALL
  SELECT k + 1, re * 1.3 FROM pole WHERE k + 1 < 30)
SELECT 'pz',
  'ZEROS 3|' ||
  (SELECT group_concat(printf('%+e %+e|', 0.0, 0.0), '') FROM pole WHERE k < 3) ||
  'POLES 30|' ||
  (SELECT group_concat(t, '') FROM (
     SELECT printf('%+e %+e|', -re, CASE k % 2 WHEN 0 THEN re ELSE -re END) AS t
     FROM pole ORDER BY k)) ||
  'CONSTANT +5.920000e+13|';
-- Comment lines in front bring the text to 2,000 characters.
UPDATE texts SET body = substr(replace(hex(zeroblob(100)), '00',
  '* comment line of the sacpz header text|'), 1, 2000 - length(body) - 1) || '|' || body
  WHERE name = 'pz';

CREATE TEMP TABLE channel (sta TEXT, chan TEXT);
INSERT INTO channel
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 100),
  c(chan) AS (VALUES ('BHZ'), ('BHN'), ('BHE'), ('HHZ'), ('LHZ'))
SELECT printf('S%03d', i), chan FROM n, c;

INSERT INTO CALIBRATION
WITH RECURSIVE period(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM period WHERE i + 1 < 20)
SELECT 'IN', '00', sta, chan,
  datetime('2000-01-01', printf('+%d years', i)),
  CASE WHEN i < 19 THEN datetime('2000-01-01', printf('+%d years', i + 1), '-1 seconds') END,
  1.5e9, 1, 1.0, 1,
  (SELECT body FROM texts WHERE name = 'pz'),
  (SELECT body FROM texts WHERE name = 'fap'),
  datetime('2000-01-02', printf('+%d years', i))
FROM channel, period;
