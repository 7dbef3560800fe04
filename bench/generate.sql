-- Builds the benchmark table: 1,000,000 rows shaped like a real download.
-- Every value is derived from the row number, so each generation gives the
-- same rows. A name is 10 to 30 characters of German-looking words in mixed
-- case, about half of them with umlauts or a sharp s.
PRAGMA journal_mode = OFF;
PRAGMA synchronous = OFF;

CREATE TABLE words(k INTEGER PRIMARY KEY, w TEXT NOT NULL);
INSERT INTO words(k, w) VALUES
  (0,'Müller'),(1,'schmidt'),(2,'SCHNEIDER'),(3,'Fischer'),(4,'weber'),(5,'Meyer'),
  (6,'Wagner'),(7,'becker'),(8,'Schulz'),(9,'HOFFMANN'),(10,'Schäfer'),(11,'koch'),
  (12,'Bauer'),(13,'richter'),(14,'Klein'),(15,'Wolf'),(16,'Schröder'),(17,'neumann'),
  (18,'Schwarz'),(19,'Zimmermann'),(20,'Braun'),(21,'KRÜGER'),(22,'hofmann'),(23,'Hartmann'),
  (24,'Lange'),(25,'schmitt'),(26,'Werner'),(27,'Schmitz'),(28,'krause'),(29,'Meier'),
  (30,'Lehmann'),(31,'Schmid'),(32,'Schulze'),(33,'maier'),(34,'Köhler'),(35,'Herrmann'),
  (36,'könig'),(37,'Walter'),(38,'Mayer'),(39,'HUBER'),(40,'Kaiser'),(41,'fuchs'),
  (42,'Peters'),(43,'Lang'),(44,'Scholz'),(45,'möller'),(46,'Weiß'),(47,'Jung'),
  (48,'Hahn'),(49,'Schubert'),(50,'vogel'),(51,'Friedrich'),(52,'Keller'),(53,'Günther'),
  (54,'Frank'),(55,'BERGER'),(56,'Winkler'),(57,'roth'),(58,'Beck'),(59,'Lorenz'),
  (60,'Baumann'),(61,'Franke'),(62,'Albrecht'),(63,'Schuster'),(64,'Straße'),(65,'gmbh'),
  (66,'& Co.'),(67,'Bäckerei'),(68,'Öl-Handel'),(69,'Übersee'),(70,'AG'),(71,'e.K.'),
  (72,'Gärtnerei'),(73,'Fleischerei'),(74,'Löwen-Apotheke'),(75,'KG'),(76,'Süd'),
  (77,'Nord'),(78,'Ost'),(79,'West'),(80,'Holz'),(81,'Bau'),(82,'Elektro'),(83,'Sanitär'),
  (84,'Möbel'),(85,'Reisen'),(86,'Druck'),(87,'Glas'),(88,'Kfz'),(89,'Zweirad'),
  (90,'Café'),(91,'Blumen'),(92,'Optik'),(93,'Schuhe'),(94,'Textil'),(95,'Spiel');

CREATE TABLE items(
  id INTEGER PRIMARY KEY,
  name TEXT NOT NULL,
  price REAL,
  day DATE,
  stamp TIMESTAMP);

WITH RECURSIVE
  n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000000),
  h(i, a, b, c, len) AS (
    SELECT i,
           (i * 2654435761) % 4294967291 % 96,
           (i * 40503 + 7) % 65521 % 96,
           (i * 9973 + 31) % 32749 % 96,
           10 + (i * 48271) % 2147483647 % 21
    FROM n)
INSERT INTO items(id, name, price, day, stamp)
SELECT i,
       substr(
         (SELECT w FROM words WHERE k = a) || ' ' ||
         (SELECT w FROM words WHERE k = b) || ' ' ||
         (SELECT w FROM words WHERE k = c) || ' ' ||
         (SELECT w FROM words WHERE k = (a + b + c) % 96) || ' ' ||
         (SELECT w FROM words WHERE k = (a * 7 + c) % 96),
         1, len),
       CASE WHEN i % 10 = 0 THEN round((i % 1000) * 1.0, 0)
            ELSE round(((i * 7919) % 1000003) / 100.0 - 2500.0, 2) END,
       date('2020-01-01', '+' || ((i * 13) % 2200) || ' days'),
       CASE WHEN i % 7 = 0
            THEN date('2021-06-01', '+' || (i % 900) || ' days') || ' 00:00:00'
            ELSE datetime('2021-06-01 00:00:00', '+' || ((i * 7877) % 77760000) || ' seconds') END
FROM h;
DROP TABLE words;
