-- The calibration table for PostgreSQL (reached through psqlODBC).
-- The name is unquoted, so it is stored as calibration; the driver's catalog
-- functions still find it under CALIBRATION, and the program's unquoted
-- select works. Keep the table in the user's current schema.
-- SMALLINT for the ids: wider integers would wrap silently on the way out.
-- TIMESTAMP, not TIMESTAMPTZ: the latter is shifted by the client's time zone.
CREATE TABLE CALIBRATION (
  NETWORK   VARCHAR(8)  NOT NULL,
  LOCATION  VARCHAR(8)  NOT NULL,
  STA       VARCHAR(8)  NOT NULL,
  CHAN      VARCHAR(8)  NOT NULL,
  STARTDATE TIMESTAMP   NOT NULL,
  ENDDATE   TIMESTAMP,
  SENS      DOUBLE PRECISION,
  ID_SENS   SMALLINT,
  FREQ      DOUBLE PRECISION,
  ID_FREQ   SMALLINT,
  SAC       TEXT,
  FAP       TEXT,
  LDDATE    TIMESTAMP
);
CREATE INDEX CALIBRATION_CHANNEL ON CALIBRATION (NETWORK, LOCATION, STA, CHAN, STARTDATE);
