-- The calibration table for SQLite (reached through the SQLite3 ODBC driver).
-- Dates are stored as text 'YYYY-MM-DD HH:MM:SS'; keep that one format, since
-- the query orders by the stored value.
CREATE TABLE CALIBRATION (
  NETWORK   VARCHAR(8)  NOT NULL,
  LOCATION  VARCHAR(8)  NOT NULL,
  STA       VARCHAR(8)  NOT NULL,
  CHAN      VARCHAR(8)  NOT NULL,
  STARTDATE TIMESTAMP   NOT NULL,
  ENDDATE   TIMESTAMP,
  SENS      DOUBLE,
  ID_SENS   SMALLINT,
  FREQ      DOUBLE,
  ID_FREQ   SMALLINT,
  SAC       TEXT,
  FAP       TEXT,
  LDDATE    TIMESTAMP
);
CREATE INDEX CALIBRATION_CHANNEL ON CALIBRATION (NETWORK, LOCATION, STA, CHAN, STARTDATE);
