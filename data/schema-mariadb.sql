-- The calibration table for MariaDB (reached through MariaDB Connector/ODBC).
-- The name is upper case: table names are case-sensitive on Linux (the
-- default lower_case_table_names=0), and the program's select names
-- CALIBRATION. A lower-case table would pass the driver's catalog check
-- and then fail the select.
-- DATETIME(6), not DATETIME (drops fractions) nor TIMESTAMP (1970-2038 only).
-- LONGTEXT, not TEXT: TEXT holds at most 65,535 bytes.
-- DOUBLE, not FLOAT; SMALLINT for the ids: wider values fail the fetch.
-- utf8mb4_nopad_bin: codes compare byte for byte, as on the other databases;
-- the server's default collation ignores letter case and trailing blanks.
CREATE TABLE CALIBRATION (
  NETWORK   VARCHAR(8)  NOT NULL,
  LOCATION  VARCHAR(8)  NOT NULL,
  STA       VARCHAR(8)  NOT NULL,
  CHAN      VARCHAR(8)  NOT NULL,
  STARTDATE DATETIME(6) NOT NULL,
  ENDDATE   DATETIME(6) NULL,
  SENS      DOUBLE,
  ID_SENS   SMALLINT,
  FREQ      DOUBLE,
  ID_FREQ   SMALLINT,
  SAC       LONGTEXT,
  FAP       LONGTEXT,
  LDDATE    DATETIME(6) NULL
) CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin;
CREATE INDEX CALIBRATION_CHANNEL ON CALIBRATION (NETWORK, LOCATION, STA, CHAN, STARTDATE);
