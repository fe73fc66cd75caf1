-- Benchmark data, loaded after data/schema-sqlite.sql:
--
--   BN:00:SMALL:BHZ  3 periods with short texts (12 triplet lines, 8 pole-zero lines)
--   BN:00:MANY:BHZ   2,000 periods, each with a 20,000-character FAP text
--                    (500 triplet lines of 40 characters) and a 2,000-character
--                    SAC text (ZEROS 3, POLES 67, CONSTANT)
--   BN:00:HUGE:BHZ   1 period with a 2,000,000-character FAP text (50,000
--                    triplet lines) and the same SAC text
--
-- The triplets are those of a velocity sensor stored as inverse displacement
-- in micrometres per count: frequencies spaced evenly on a log scale over
-- 0.001-100 Hz, amplitude 1.0610e-4/f, phase falling from 89.9 to -89.9
-- degrees. Every line is "%12.6f %14.7e %11.5f|" (40 characters), so the
-- text lengths are exact. Dates are text 'YYYY-MM-DD HH:MM:SS'.

PRAGMA journal_mode = OFF;
PRAGMA synchronous = OFF;

CREATE TEMP TABLE fap_template (name TEXT PRIMARY KEY, body TEXT);

-- 500 lines over five decades: ratio 10^(5/500) between neighbours.
INSERT INTO fap_template
WITH RECURSIVE line(i, f) AS (
  SELECT 0, 0.001
  UNION ALL
  SELECT i + 1, f * 1.023292992280754 FROM line WHERE i + 1 < 500)
SELECT 'many', group_concat(t, '') FROM (
  SELECT printf('%12.6f %14.7e %11.5f|', f, 1.0610e-4 / f, 89.9 - i * (179.8 / 499.0)) AS t
  FROM line ORDER BY i);

-- 50,000 lines over the same five decades: ratio 10^(5/50000).
INSERT INTO fap_template
WITH RECURSIVE line(i, f) AS (
  SELECT 0, 0.001
  UNION ALL
  SELECT i + 1, f * 1.0002302850208247 FROM line WHERE i + 1 < 50000)
SELECT 'huge', group_concat(t, '') FROM (
  SELECT printf('%12.6f %14.7e %11.5f|', f, 1.0610e-4 / f, 89.9 - i * (179.8 / 49999.0)) AS t
  FROM line ORDER BY i);

-- 12 lines over five decades: ratio 10^(5/12).
INSERT INTO fap_template
WITH RECURSIVE line(i, f) AS (
  SELECT 0, 0.001
  UNION ALL
  SELECT i + 1, f * 2.610157215682537 FROM line WHERE i + 1 < 12)
SELECT 'small', group_concat(t, '') FROM (
  SELECT printf('%12.6f %14.7e %11.5f|', f, 1.0610e-4 / f, 89.9 - i * (179.8 / 11.0)) AS t
  FROM line ORDER BY i);

-- 2,000 characters: "ZEROS 3|" (8), three zeros (3 x 28), "POLES 67|" (9),
-- 67 poles (67 x 28), "CONSTANT 5.9200000e+13|" (23).
CREATE TEMP TABLE sac_template (name TEXT PRIMARY KEY, body TEXT);
INSERT INTO sac_template
WITH RECURSIVE pole(k, re) AS (
  SELECT 0, 0.037
  UNION ALL
  SELECT k + 1, re * 1.1 FROM pole WHERE k + 1 < 67)
SELECT 'long',
  'ZEROS 3|' ||
  '+0.000000e+00 +0.000000e+00|+0.000000e+00 +0.000000e+00|+0.000000e+00 +0.000000e+00|' ||
  'POLES 67|' ||
  (SELECT group_concat(t, '') FROM (
     SELECT printf('%+.6e %+.6e|', -re, CASE k % 2 WHEN 0 THEN re ELSE -re END) AS t
     FROM pole ORDER BY k)) ||
  'CONSTANT 5.9200000e+13|';
INSERT INTO sac_template VALUES ('short',
  'ZEROS 2|POLES 4|-0.0370 0.0370|-0.0370 -0.0370|-222.1 222.1|-222.1 -222.1|CONSTANT 5.92e+13|');

INSERT INTO CALIBRATION
WITH RECURSIVE period(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM period WHERE i + 1 < 3)
SELECT 'BN', '00', 'SMALL', 'BHZ',
  datetime('2001-01-01', printf('+%d years', i * 5)),
  CASE WHEN i < 2 THEN datetime('2001-01-01', printf('+%d years', i * 5 + 5), '-1 seconds') END,
  1.5e9, 1, 1.0, 1,
  (SELECT body FROM sac_template WHERE name = 'short'),
  (SELECT body FROM fap_template WHERE name = 'small'),
  datetime('2001-01-02', printf('+%d years', i * 5))
FROM period;

-- Periods of three days from 2000-01-01 on; the latest one is open. Each
-- FAP text starts with a line of its own, so no two rows are equal.
INSERT INTO CALIBRATION
WITH RECURSIVE period(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM period WHERE i + 1 < 2000)
SELECT 'BN', '00', 'MANY', 'BHZ',
  datetime('2000-01-01', printf('+%d days', i * 3)),
  CASE WHEN i < 1999 THEN datetime('2000-01-01', printf('+%d days', i * 3 + 3), '-1 seconds') END,
  1.5e9 + i, 1, 1.0, 1,
  (SELECT body FROM sac_template WHERE name = 'long'),
  printf('%12.6f %14.7e %11.5f|', 0.0009, (1.0610e-4 / 0.0009) * (1.0 + i * 1e-6), 89.95)
    || substr((SELECT body FROM fap_template WHERE name = 'many'), 41),
  datetime('2000-01-02', printf('+%d days', i * 3))
FROM period;

INSERT INTO CALIBRATION VALUES ('BN', '00', 'HUGE', 'BHZ', '2020-01-01 00:00:00', NULL,
  1.5e9, 1, 1.0, 1,
  (SELECT body FROM sac_template WHERE name = 'long'),
  (SELECT body FROM fap_template WHERE name = 'huge'),
  '2020-01-02 00:00:00');
