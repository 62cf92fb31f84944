-- A schema of awkward names, sqlite edition: spaces, reserved words, quotes, dashes, accents
-- and CJK in names, mixed case, a name starting with a digit, keys of every kind (text, date,
-- composite, binary, none, the last with a binary column), a table of only a key and binary
-- columns, one of only an auto-increment key, a table and columns whose names hold line breaks,
-- one whose names end in a backslash, one whose name holds every quote character and a dot, a
-- table keyed by a column whose name holds a dot, with a detail table, and a view over a join;
-- the table of 300 columns is made by the test.
-- Each statement ends with ";" at the end of a line.
CREATE TABLE "Order Details" (
    "Order ID" INTEGER PRIMARY KEY AUTOINCREMENT,
    "select" VARCHAR(20),
    "from" DATE,
    "user" VARCHAR(20) DEFAULT 'guest',
    "order" INTEGER NOT NULL DEFAULT 7,
    "reply-to" VARCHAR(40),
    "it's" VARCHAR(10),
    "say ""hi""" VARCHAR(10),
    "Prix €" DECIMAL(10,2),
    "名前" VARCHAR(20),
    "MixedCase" VARCHAR(10),
    "1st" INTEGER,
    "when" TIMESTAMP,
    "at" TIME,
    "done" BOOLEAN NOT NULL DEFAULT 0,
    "memo" TEXT
);
CREATE TABLE "user" (
    "code" VARCHAR(10) PRIMARY KEY,
    "label" VARCHAR(30)
);
CREATE TABLE "Holidays" (
    "day" DATE PRIMARY KEY,
    "name" VARCHAR(30)
);
CREATE TABLE "line-items" (
    "order" INTEGER NOT NULL,
    "line no" INTEGER NOT NULL,
    "qty" INTEGER,
    PRIMARY KEY ("order", "line no")
);
CREATE TABLE "tokens" (
    "token" BLOB PRIMARY KEY,
    "note" VARCHAR(20)
);
CREATE TABLE "images" (
    "id" INTEGER PRIMARY KEY,
    "data" BLOB,
    "thumb" BLOB
);
CREATE TABLE "notes" (
    "body" VARCHAR(50),
    "created" DATE,
    "scan" BLOB
);
CREATE TABLE "counters" (
    "id" INTEGER PRIMARY KEY AUTOINCREMENT
);
CREATE TABLE "ta
b" (
    "code" VARCHAR(10) PRIMARY KEY,
    "na
me" VARCHAR(20),
    "c
r d" VARCHAR(10)
);
CREATE TABLE "dotted" (
    "k.ey" VARCHAR(10) PRIMARY KEY,
    "a.b" VARCHAR(10),
    "nm" VARCHAR(10),
    "qv_col2" VARCHAR(10),
    "m.n.o.p" VARCHAR(10)
);
CREATE TABLE "dotted_lines" (
    "id" INTEGER PRIMARY KEY,
    "k.ey" VARCHAR(10),
    "x.y" VARCHAR(10)
);
CREATE TABLE "it's ""q"" `b` [x] y.z ñ" (
    "id" INTEGER PRIMARY KEY,
    "v`a""l" VARCHAR(10)
);
CREATE TABLE "tb\" (
    "id\" INTEGER PRIMARY KEY,
    "na\" VARCHAR(20)
);
CREATE VIEW "order view" AS
    SELECT d."Order ID" AS "id", u."label" AS "label"
    FROM "Order Details" d JOIN "user" u ON u."code" = d."user";
INSERT INTO "Order Details" ("select", "from", "user", "order", "reply-to", "it's", "say ""hi""", "Prix €", "名前", "MixedCase", "1st", "when", "at", "done", "memo")
    VALUES ('first', '2024-02-29', 'ann', 3, 'a@example.com', 'x', 'y', 12.34, '東京', 'Mc', 1, '2024-03-01 13:45:30', '08:15:00', 1, 'line');
INSERT INTO "Order Details" ("select", "user", "order", "when", "at")
    VALUES ('second', 'bob', 4, '2023-12-31 23:59:59', '23:00:01');
INSERT INTO "user" VALUES ('ann', 'Ann O''Hara');
INSERT INTO "user" VALUES ('bob', 'Bob <b>');
INSERT INTO "user" VALUES ('a b&c', 'Spaces and ampersand');
INSERT INTO "Holidays" VALUES ('2024-12-25', 'Christmas');
INSERT INTO "Holidays" VALUES ('2025-01-01', 'New year');
INSERT INTO "line-items" VALUES (1, 1, 5);
INSERT INTO "line-items" VALUES (1, 2, 6);
INSERT INTO "line-items" VALUES (2, 1, 7);
INSERT INTO "tokens" VALUES (X'00FF27', 'binary key');
INSERT INTO "tokens" VALUES (X'41', 'letter A');
INSERT INTO "images" VALUES (1, X'89504E47', NULL);
INSERT INTO "images" VALUES (2, NULL, NULL);
INSERT INTO "notes" VALUES ('no key here', '2024-01-01', NULL);
INSERT INTO "ta
b" VALUES ('a', 'two
lines', 'c r ls');
INSERT INTO "tb\" VALUES (1, 'back\slash');
INSERT INTO "dotted" VALUES ('k1', 'ab-one', 'nm-one', 'qc-one', 'mnop-one');
INSERT INTO "dotted" VALUES ('k.2', 'ab-two', 'nm-two', 'qc-two', 'mnop-two');
INSERT INTO "dotted_lines" VALUES (1, 'k1', 'xy-one');
INSERT INTO "it's ""q"" `b` [x] y.z ñ" VALUES (1, 'odd-one');
