-- Demo database for qjsqlexe: the badge and booking data of an access control
-- system with three companies. Run with: sqlite3 demo.db < demo.sql
PRAGMA encoding = 'UTF-8';

CREATE TABLE firma (
  firma      CHAR(4) PRIMARY KEY,
  bezeichnung VARCHAR(40) NOT NULL
);

-- Which companies a terminal serves: the company list of a download.
CREATE TABLE terminal_firma (
  terminal VARCHAR(20) NOT NULL,
  firma    CHAR(4) NOT NULL REFERENCES firma(firma),
  PRIMARY KEY (terminal, firma)
);

CREATE TABLE ausweis (
  firma       CHAR(4) NOT NULL REFERENCES firma(firma),
  ausweis_nr  INTEGER NOT NULL,
  name        VARCHAR(30) NOT NULL,
  vorname     VARCHAR(20),
  abteilung   VARCHAR(12),
  stundensatz DOUBLE,
  gueltig_ab  DATE,
  letzte_buchung TIMESTAMP,
  PRIMARY KEY (firma, ausweis_nr)
);

INSERT INTO firma VALUES
  ('0100', 'Brauerei Köhler GmbH'),
  ('0200', 'Stadtwerke Süderau'),
  ('0300', 'Maschinenbau Ölsner & Söhne');

INSERT INTO terminal_firma VALUES
  ('ZutCtrl', '0100'), ('ZutCtrl', '0200'), ('ZutCtrl', '0300'),
  ('Pforte2', '0200');

-- Surnames in mixed letter case, with umlauts and sharp s, so that the sort
-- shows its case-insensitive collation.
CREATE TEMP TABLE nachname (i INTEGER PRIMARY KEY, text VARCHAR(30));
INSERT INTO nachname (i, text) VALUES
  (0, 'Müller'), (1, 'meier'), (2, 'ÖZDEMIR'), (3, 'Groß'), (4, 'Äbersold'),
  (5, 'schäfer'), (6, 'Überall'), (7, 'Weiß'), (8, 'von Bülow'), (9, 'KRÄMER'),
  (10, 'Özkan'), (11, 'Zimmermann'), (12, 'bäcker'), (13, 'Fuchs'), (14, 'Löffler'),
  (15, 'HUBER'), (16, 'Jäger'), (17, 'nußbaum'), (18, 'Schmidt'), (19, 'Wöhrle');

CREATE TEMP TABLE vorname (i INTEGER PRIMARY KEY, text VARCHAR(20));
INSERT INTO vorname (i, text) VALUES
  (0, 'Jürgen'), (1, 'anna'), (2, 'Björn'), (3, 'Zoë'), (4, 'Günther'), (5, 'MARIA'),
  (6, 'Ömer'), (7, 'Käthe'), (8, 'Lukas'), (9, 'Sören'), (10, NULL);

CREATE TEMP TABLE abteilung (i INTEGER PRIMARY KEY, text VARCHAR(12));
INSERT INTO abteilung (i, text) VALUES
  (0, 'Versand'), (1, 'Produktion'), (2, 'Büro'), (3, 'Lager'), (4, 'Technik'), (5, NULL);

-- 330 badges: 110 per company, numbered from 1000 upwards in each company.
WITH RECURSIVE n(k) AS (SELECT 0 UNION ALL SELECT k + 1 FROM n WHERE k < 329)
INSERT INTO ausweis
SELECT
  CASE k % 3 WHEN 0 THEN '0100' WHEN 1 THEN '0200' ELSE '0300' END,
  1000 + k / 3,
  (SELECT text FROM nachname WHERE i = (k * 7) % 20),
  (SELECT text FROM vorname WHERE i = (k * 3) % 11),
  (SELECT text FROM abteilung WHERE i = k % 6),
  -- hourly rates with fractions, some of them whole numbers
  CASE WHEN k % 10 = 0 THEN 20 + k % 7 ELSE round(14.5 + ((k * 37) % 2150) / 100.0, 2) END,
  date('2019-01-01', '+' || ((k * 53) % 2500) || ' days'),
  -- last booking: every seventh one exactly at midnight, a few never booked
  CASE
    WHEN k % 23 = 0 THEN NULL
    WHEN k % 7 = 0 THEN datetime('2026-11-01', '+' || (k % 30) || ' days')
    ELSE datetime('2026-11-01 06:00:00', '+' || ((k * 97) % 43200) || ' minutes')
  END
FROM n;
